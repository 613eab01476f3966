// Decode speed of ExpandBlock as the installer is built (the flags come from
// CMakeLists.txt: decode_bench has the shipped ones, decode_bench_os plain
// -Os) against zlib's inflate of a zlib -9 stream of the same files. The
// blocks are the compressed entries of a package that bench/run.sh made, so
// the decoder sees what ships; each must expand to its corpus file before
// any time is taken. One pass decodes every block once; the passes of the
// two decoders alternate, and each reports its median pass.
//
// Usage: decode_bench LABEL PACKAGE CORPUS [PASSES]
// Prints one row: LABEL, MB/s of both, time ours/inflate, speed ours/inflate.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_util.h"
#include "package/block.h"
#if ZANDOR_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

struct Sample {
  std::string name;
  std::vector<uint8_t> original;
  std::vector<uint8_t> block;  // as the package stores it
  std::vector<uint8_t> zlib;   // zlib -9 of the original
};

// The package's compressed file entries with their corpus files; raw
// entries are left out since neither decoder would touch them.
bool LoadSamples(const std::string& packagePath, const std::string& corpus, std::vector<Sample>* samples) {
  std::map<std::string, PackageEntry> entries;
  std::vector<uint8_t> package;
  if (!PackageFiles(packagePath, &entries) || !ReadWhole(packagePath.c_str(), &package)) {
    std::fprintf(stderr, "decode_bench: %s is no package\n", packagePath.c_str());
    return false;
  }
  for (const auto& item : entries) {
    const PackageEntry& entry = item.second;
    if (entry.size <= 0 || entry.storedSize == entry.size) continue;
    if (entry.offset < 0 || entry.storedSize < 0 || size_t(entry.offset) + size_t(entry.storedSize) > package.size()) {
      std::fprintf(stderr, "decode_bench: %s lies outside the package\n", item.first.c_str());
      return false;
    }
    Sample sample;
    sample.name = item.first;
    sample.block.assign(package.begin() + entry.offset, package.begin() + entry.offset + entry.storedSize);
    if (!ReadWhole((corpus + "/" + item.first).c_str(), &sample.original)) {
      std::fprintf(stderr, "decode_bench: %s is not in %s\n", item.first.c_str(), corpus.c_str());
      return false;
    }
    samples->push_back(std::move(sample));
  }
  if (samples->empty()) std::fprintf(stderr, "decode_bench: %s holds no compressed block\n", packagePath.c_str());
  return !samples->empty();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s LABEL PACKAGE CORPUS [PASSES]\n", argv[0]);
    return 2;
  }
  int passes = argc > 4 ? std::max(1, std::atoi(argv[4])) : 7;
  std::vector<Sample> samples;
  if (!LoadSamples(argv[2], argv[3], &samples)) return 1;

  size_t largest = 0;
  double bytes = 0;
  for (const Sample& sample : samples) {
    largest = std::max(largest, sample.original.size());
    bytes += double(sample.original.size());
  }
  // One destination for both decoders, so neither gets the warmer cache.
  std::vector<uint8_t> out(largest + kBlockSlack);
  for (Sample& sample : samples) {
    size_t size = sample.original.size();
    if (ExpandBlock(sample.block.data(), sample.block.size(), out.data(), out.size()) != size ||
        std::memcmp(out.data(), sample.original.data(), size) != 0) {
      std::fprintf(stderr, "decode_bench: the block of %s does not expand to the corpus file\n", sample.name.c_str());
      return 1;
    }
#if ZANDOR_HAVE_ZLIB
    uLongf zsize = compressBound(uLong(size));
    sample.zlib.resize(zsize);
    compress2(sample.zlib.data(), &zsize, sample.original.data(), uLong(size), 9);
    sample.zlib.resize(zsize);
    uLongf outSize = uLongf(out.size());
    if (uncompress(out.data(), &outSize, sample.zlib.data(), zsize) != Z_OK || outSize != size ||
        std::memcmp(out.data(), sample.original.data(), size) != 0) {
      std::fprintf(stderr, "decode_bench: zlib does not round-trip %s\n", sample.name.c_str());
      return 1;
    }
#endif
  }

  std::vector<double> expandPasses, inflatePasses;
  for (int pass = 0; pass < passes; pass++) {
    double start = Now();
    for (const Sample& sample : samples) ExpandBlock(sample.block.data(), sample.block.size(), out.data(), out.size());
    expandPasses.push_back(Now() - start);
#if ZANDOR_HAVE_ZLIB
    start = Now();
    for (const Sample& sample : samples) {
      uLongf n = uLongf(out.size());
      uncompress(out.data(), &n, sample.zlib.data(), uLong(sample.zlib.size()));
    }
    inflatePasses.push_back(Now() - start);
#endif
  }
  double expand = Median(expandPasses), inflate = Median(inflatePasses);
  std::printf("%-34s %5zu %8.2f %9.1f", argv[1], samples.size(), bytes / 1e6, bytes / 1e6 / expand);
  if (inflate > 0) {
    std::printf(" %9.1f %9.2f %9.2f", bytes / 1e6 / inflate, expand / inflate, inflate / expand);
  } else {
    std::printf(" %9s %9s %9s", "no zlib", "-", "-");
  }
  std::printf("\n");
  return 0;
}
