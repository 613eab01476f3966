// Extraction of the corpus by three programs, each into a fresh folder:
// "zandor extract" of a package, "tar -x" of an uncompressed tar and
// "unzip" of a "zip -9" of the same files. Each is timed as a whole command
// (process start included, as the others pay it too), the three take turns
// in every round, and each extracted tree is compared with the corpus
// before its time counts. Names in CORPUS should be ASCII, since the native
// build writes the stored single-byte names.
//
// Usage: extract_bench ZANDOR PACKAGE CORPUS WORK [ROUNDS]
// Prints one row per program: its median time, MB/s of output, and ours /
// peer for the two others.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench_util.h"

namespace fs = std::filesystem;

namespace {

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every corpus file must be in copy with equal bytes; *bytes is their sum.
bool SameFiles(const std::string& corpus, const std::vector<std::string>& files, const fs::path& copy,
               double* bytes) {
  *bytes = 0;
  for (const std::string& file : files) {
    std::string original = ReadAll(corpus + "/" + file);
    if (!fs::is_regular_file(copy / file) || ReadAll(copy / file) != original) {
      std::fprintf(stderr, "extract_bench: %s differs from the corpus file %s\n", (copy / file).c_str(), file.c_str());
      return false;
    }
    *bytes += double(original.size());
  }
  return true;
}

struct Tool {
  const char* label;
  std::string input;                  // the file it extracts, for its size
  std::string (*command)(const Tool&, const std::string& into);
  std::string program;
  std::vector<double> seconds;
};

std::string ZandorCommand(const Tool& tool, const std::string& into) {
  return Quote(tool.program) + " extract " + Quote(tool.input) + " " + Quote(into) + " >/dev/null";
}
std::string TarCommand(const Tool& tool, const std::string& into) {
  return "mkdir -p " + Quote(into) + " && tar -xf " + Quote(tool.input) + " -C " + Quote(into);
}
std::string UnzipCommand(const Tool& tool, const std::string& into) {
  return "unzip -q " + Quote(tool.input) + " -d " + Quote(into);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s ZANDOR PACKAGE CORPUS WORK [ROUNDS]\n", argv[0]);
    return 2;
  }
  std::string zandor = argv[1], package = argv[2], corpus = argv[3];
  fs::path work = argv[4];
  int rounds = argc > 5 ? std::max(1, std::atoi(argv[5])) : 5;
  std::vector<std::string> files = CorpusFiles(corpus);
  if (files.empty()) {
    std::fprintf(stderr, "extract_bench: %s holds no files\n", corpus.c_str());
    return 1;
  }
  fs::remove_all(work);
  fs::create_directories(work);
  std::string tar = (work / "corpus.tar").string(), zip = (work / "corpus.zip").string();
  if (std::system(("tar -cf " + Quote(tar) + " -C " + Quote(corpus) + " .").c_str()) != 0 ||
      std::system(("cd " + Quote(corpus) + " && zip -9 -q -r -X " + Quote(zip) + " .").c_str()) != 0) {
    std::fprintf(stderr, "extract_bench: tar or zip failed\n");
    return 1;
  }

  std::vector<Tool> tools = {{"zandor extract", package, ZandorCommand, zandor, {}},
                             {"tar -x (no compression)", tar, TarCommand, "", {}},
                             {"unzip (zip -9)", zip, UnzipCommand, "", {}}};
  double bytes = 0;
  for (int round = 0; round < rounds; round++) {
    for (size_t t = 0; t < tools.size(); t++) {
      // Each round starts with another tool, so none always follows the
      // same one's writes.
      Tool& tool = tools[(t + size_t(round)) % tools.size()];
      fs::path into = work / ("out" + std::to_string(round));
      fs::remove_all(into);
      double start = Now();
      int result = std::system(tool.command(tool, into.string()).c_str());
      double seconds = Now() - start;
      if (result != 0 || !SameFiles(corpus, files, into, &bytes)) {
        std::fprintf(stderr, "extract_bench: %s failed or gave other bytes\n", tool.label);
        return 1;
      }
      tool.seconds.push_back(seconds);
      fs::remove_all(into);
    }
  }

  double ours = Median(tools[0].seconds);
  std::printf("%-26s %9s %8s %8s %12s\n", "program", "input MB", "ms", "MB/s", "ours / peer");
  for (const Tool& tool : tools) {
    double median = Median(tool.seconds);
    std::printf("%-26s %9.2f %8.1f %8.1f", tool.label, double(fs::file_size(tool.input)) / 1e6, median * 1e3,
                bytes / 1e6 / median);
    if (&tool == &tools[0]) {
      std::printf("\n");
    } else {
      std::printf(" %12.2f\n", ours / median);
    }
  }
  fs::remove_all(work);
  return 0;
}
