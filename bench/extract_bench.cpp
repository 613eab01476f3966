// Extraction speed: OpenPackage + ExtractPackage of a packed folder against
// "tar -x" of the same files. Usage: extract_bench FOLDER [ROUNDS] (5
// rounds by default; names in FOLDER should be ASCII, since the native
// build writes the stored single-byte names). The extracted files
// are compared with the originals before any time is reported.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "lib/zandor_commands.h"
#include "package/extract.h"
#include "package/package.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every regular file under source must be in copy with equal bytes.
bool SameFiles(const fs::path& source, const fs::path& copy, int64_t* bytes) {
  *bytes = 0;
  for (const auto& item : fs::recursive_directory_iterator(source)) {
    if (!item.is_regular_file()) continue;
    fs::path other = copy / item.path().lexically_relative(source);
    std::string original = ReadAll(item.path());
    if (ReadAll(other) != original) {
      std::cerr << "extract_bench: " << other << " differs from " << item.path() << "\n";
      return false;
    }
    *bytes += static_cast<int64_t>(original.size());
  }
  return true;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: extract_bench FOLDER [ROUNDS]\n";
    return 2;
  }
  fs::path corpus = argv[1];
  int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  std::random_device random;
  fs::path work = fs::temp_directory_path() / ("zandor-extract-bench-" + std::to_string(random()));
  fs::create_directories(work);
  std::string package = (work / "bench.pck").string();
  std::string tarFile = (work / "bench.tar").string();

  std::ostringstream out, err;
  ZandorContext context;
  context.out = &out;
  context.err = &err;
  if (RunZandor({"pack", corpus.string(), "-o", package}, context) != kZandorOk) {
    std::cerr << "extract_bench: cannot pack " << corpus << ": " << err.str();
    fs::remove_all(work);
    return 1;
  }
  std::string tarCreate = "tar -cf '" + tarFile + "' -C '" + corpus.string() + "' .";
  if (std::system(tarCreate.c_str()) != 0) {
    std::cerr << "extract_bench: tar is not available\n";
    fs::remove_all(work);
    return 1;
  }

  std::vector<double> zandorMs, tarMs;
  int64_t bytes = 0;
  for (int round = 0; round < rounds; round++) {
    fs::path zandorOut = work / ("z" + std::to_string(round));
    fs::path tarOut = work / ("t" + std::to_string(round));
    fs::create_directories(tarOut);

    auto start = std::chrono::steady_clock::now();
    bool opened = OpenPackage(package, nullptr);
    bool complete = opened && ExtractPackage(zandorOut.string() + "/", "");
    ClosePackage();
    auto middle = std::chrono::steady_clock::now();
    std::string tarExtract = "tar -xf '" + tarFile + "' -C '" + tarOut.string() + "'";
    int tarResult = std::system(tarExtract.c_str());
    auto end = std::chrono::steady_clock::now();

    if (!complete || tarResult != 0 || !SameFiles(corpus, zandorOut, &bytes) || !SameFiles(corpus, tarOut, &bytes)) {
      std::cerr << "extract_bench: extraction failed or gave other bytes\n";
      fs::remove_all(work);
      return 1;
    }
    zandorMs.push_back(std::chrono::duration<double, std::milli>(middle - start).count());
    tarMs.push_back(std::chrono::duration<double, std::milli>(end - middle).count());
    fs::remove_all(zandorOut);
    fs::remove_all(tarOut);
  }
  double z = Median(zandorMs), t = Median(tarMs);
  std::printf("corpus %s: %lld bytes in %zu package entries, package %lld bytes, tar %lld bytes\n",
              corpus.string().c_str(), static_cast<long long>(bytes), Package().entries.size(),
              static_cast<long long>(fs::file_size(package)), static_cast<long long>(fs::file_size(tarFile)));
  std::printf("extract (median of %d): zandor %.1f ms (%.1f MB/s), tar -x %.1f ms (%.1f MB/s), ratio %.2f\n", rounds,
              z, bytes / 1e3 / z, t, bytes / 1e3 / t, z / t);
  fs::remove_all(work);
  return 0;
}
