// The size part of the benchmark table: per part of the corpus, the bytes
// each level's package stores for its files against gzip -9, xz -9 and
// zstd -19 of the same files, each file compressed alone and the sizes
// summed. The packages are the ones bench/run.sh timed, so sizes and speeds
// describe the same bytes. Every corpus file must be in each package with
// its size and in the reference list, so no sum leaves a file out.
//
// Usage: compress_bench CORPUS REFERENCE_SIZES FAST.pck DEFAULT.pck BEST.pck
// REFERENCE_SIZES: lines of "gzip_bytes xz_bytes zstd_bytes path", the path
// (the rest of the line) relative to CORPUS with "/"; a file's part is its
// first folder.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench_util.h"

namespace {

const int kLevels = 3;
const int kPeers = 3;
const char* const kLevelNames[kLevels] = {"fast", "default", "best"};

struct PartSizes {
  int files = 0;
  double input = 0;
  double ours[kLevels] = {};
  double peers[kPeers] = {};
};

void Add(PartSizes* sum, const PartSizes& one) {
  sum->files += one.files;
  sum->input += one.input;
  for (int i = 0; i < kLevels; i++) sum->ours[i] += one.ours[i];
  for (int i = 0; i < kPeers; i++) sum->peers[i] += one.peers[i];
}

double Ratio(double ours, double peer) { return peer > 0 ? ours / peer : 0; }

void PrintPart(const std::string& name, const PartSizes& part) {
  char files[16], input[16];
  std::snprintf(files, sizeof files, "%d", part.files);
  std::snprintf(input, sizeof input, "%.2f", part.input / 1e6);
  for (int level = 0; level < kLevels; level++) {
    bool first = level == 0;
    std::printf("%-6s %5s %9s  %-8s %9.3f %9.3f %9.3f %9.3f\n", first ? name.c_str() : "", first ? files : "",
                first ? input : "", kLevelNames[level], part.ours[level] / 1e6, Ratio(part.ours[level], part.peers[0]),
                Ratio(part.ours[level], part.peers[1]), Ratio(part.ours[level], part.peers[2]));
  }
  std::printf("%-6s %5s %9s  %-8s %9s %9.3f %9.3f %9.3f\n", "", "", "", "peer MB", "", part.peers[0] / 1e6,
              part.peers[1] / 1e6, part.peers[2] / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 + kLevels) {
    std::fprintf(stderr, "usage: %s CORPUS REFERENCE_SIZES FAST.pck DEFAULT.pck BEST.pck\n", argv[0]);
    return 2;
  }
  std::string corpus = argv[1];
  std::map<std::string, std::vector<double>> reference;
  FILE* list = std::fopen(argv[2], "r");
  if (!list) {
    std::fprintf(stderr, "compress_bench: cannot read %s\n", argv[2]);
    return 1;
  }
  char line[4352];
  while (std::fgets(line, sizeof line, list)) {
    double gz, xz, zst;
    int nameAt = 0;
    if (std::sscanf(line, "%lf %lf %lf %n", &gz, &xz, &zst, &nameAt) != 3 || nameAt == 0) continue;
    std::string name = line + nameAt;
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
    reference[name] = {gz, xz, zst};
  }
  std::fclose(list);

  std::map<std::string, PackageEntry> packages[kLevels];
  for (int level = 0; level < kLevels; level++) {
    if (!PackageFiles(argv[3 + level], &packages[level])) {
      std::fprintf(stderr, "compress_bench: %s is no package\n", argv[3 + level]);
      return 1;
    }
  }

  std::vector<std::string> files = CorpusFiles(corpus);
  std::map<std::string, PartSizes> parts;
  for (const std::string& file : files) {
    PartSizes one;
    one.files = 1;
    one.input = double(std::filesystem::file_size(corpus + "/" + file));
    for (int level = 0; level < kLevels; level++) {
      auto entry = packages[level].find(file);
      if (entry == packages[level].end() || double(entry->second.size) != one.input) {
        std::fprintf(stderr, "compress_bench: %s is not in %s with its size\n", file.c_str(), argv[3 + level]);
        return 1;
      }
      one.ours[level] = entry->second.storedSize;
    }
    auto peer = reference.find(file);
    if (peer == reference.end()) {
      std::fprintf(stderr, "compress_bench: no reference sizes for %s\n", file.c_str());
      return 1;
    }
    for (int i = 0; i < kPeers; i++) one.peers[i] = peer->second[i];
    Add(&parts[CorpusPart(file)], one);
  }
  if (files.empty()) {
    std::fprintf(stderr, "compress_bench: %s holds no files\n", corpus.c_str());
    return 1;
  }

  std::printf("%-6s %5s %9s  %-8s %9s %9s %9s %9s\n", "part", "files", "input MB", "level", "ours MB", "/gzip -9",
              "/xz -9", "/zstd -19");
  // The corpus's own parts first in the order make_corpus.sh names them.
  std::vector<std::string> order = {"bin", "text", "media"};
  for (const auto& part : parts) {
    if (std::find(order.begin(), order.end(), part.first) == order.end()) order.push_back(part.first);
  }
  PartSizes all;
  for (const std::string& part : order) {
    auto found = parts.find(part);
    if (found == parts.end()) continue;
    PrintPart(part, found->second);
    Add(&all, found->second);
  }
  PrintPart("all", all);
  return 0;
}
