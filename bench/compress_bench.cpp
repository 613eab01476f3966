// Block compressor and decoder on a corpus of files: compressed size per
// level against gzip -9 and xz -9 (sizes measured by bench/run.sh), compress
// speed per level, and ExpandBlock's decode speed against zlib's inflate.
// Every round trip is checked before a speed is reported.
//
// Usage: compress_bench REFERENCE_SIZES FILE...
// REFERENCE_SIZES: lines of "name gzip_bytes xz_bytes".
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench_util.h"
#include "lib/compress.h"
#include "package/block.h"
#if ZANDOR_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct Totals {
  double bytes = 0;
  double level[4] = {};
  double compressSeconds[4] = {};
  double gzip = 0, xz = 0;
  double expandSeconds = 0, inflateSeconds = 0, decodedBytes = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s REFERENCE_SIZES FILE...\n", argv[0]);
    return 2;
  }
  std::map<std::string, std::pair<double, double>> reference;
  if (FILE* f = std::fopen(argv[1], "r")) {
    char name[512];
    double gz, xz;
    while (std::fscanf(f, "%511s %lf %lf", name, &gz, &xz) == 3) reference[name] = {gz, xz};
    std::fclose(f);
  }

  Totals t;
  std::printf("%-28s %10s %10s %10s %10s %10s %10s\n", "file", "size", "fast", "default", "best",
              "gzip -9", "xz -9");
  for (int a = 2; a < argc; a++) {
    std::vector<uint8_t> data;
    if (!ReadWhole(argv[a], &data) || data.empty()) continue;
    std::string name = BaseName(argv[a]);
    double sizes[4] = {};
    std::vector<uint8_t> bestBlock;
    for (int level = 1; level <= 3; level++) {
      std::vector<uint8_t> block;
      double start = Now();
      bool ok = CompressBlock(data.data(), data.size(), CompressLevel(level), &block);
      t.compressSeconds[level] += Now() - start;
      if (!ok) {
        sizes[level] = double(data.size());  // stored raw
        continue;
      }
      std::vector<uint8_t> out(data.size() + kBlockSlack);
      if (ExpandBlock(block.data(), block.size(), out.data(), out.size()) != data.size() ||
          std::memcmp(out.data(), data.data(), data.size()) != 0) {
        std::printf("ROUND TRIP FAILED: %s level %d\n", name.c_str(), level);
        return 1;
      }
      sizes[level] = double(block.size());
      if (level == 2) bestBlock = block;
    }
    auto ref = reference.count(name) ? reference[name] : std::make_pair(0.0, 0.0);
    std::printf("%-28s %10zu %10.0f %10.0f %10.0f %10.0f %10.0f\n", name.c_str(), data.size(),
                sizes[1], sizes[2], sizes[3], ref.first, ref.second);
    t.bytes += double(data.size());
    for (int level = 1; level <= 3; level++) t.level[level] += sizes[level];
    t.gzip += ref.first;
    t.xz += ref.second;

    // Decode speed on the default level's block against inflate of zlib -9.
    if (!bestBlock.empty()) {
      std::vector<uint8_t> out(data.size() + kBlockSlack);
      t.expandSeconds += TimePerCall([&] {
        ExpandBlock(bestBlock.data(), bestBlock.size(), out.data(), out.size());
      }, 0.2);
#if ZANDOR_HAVE_ZLIB
      uLongf zsize = compressBound(uLong(data.size()));
      std::vector<uint8_t> z(zsize);
      compress2(z.data(), &zsize, data.data(), uLong(data.size()), 9);
      uLongf outSize = uLongf(out.size());
      if (uncompress(out.data(), &outSize, z.data(), zsize) != Z_OK || outSize != data.size() ||
          std::memcmp(out.data(), data.data(), data.size()) != 0) {
        std::printf("ZLIB ROUND TRIP FAILED: %s\n", name.c_str());
        return 1;
      }
      t.inflateSeconds += TimePerCall([&] {
        uLongf n = uLongf(out.size());
        uncompress(out.data(), &n, z.data(), zsize);
      }, 0.2);
#endif
      t.decodedBytes += double(data.size());
    }
  }
  if (t.bytes == 0) return 1;
  std::printf("%-28s %10.0f %10.0f %10.0f %10.0f %10.0f %10.0f\n", "TOTAL", t.bytes, t.level[1],
              t.level[2], t.level[3], t.gzip, t.xz);
  const char* names[4] = {"", "fast", "default", "best"};
  for (int level = 1; level <= 3; level++) {
    std::printf("level %-8s ratio %.4f  vs gzip -9 %.4f  vs xz -9 %.4f  compress %.2f MB/s\n",
                names[level], t.level[level] / t.bytes, t.gzip > 0 ? t.level[level] / t.gzip : 0,
                t.xz > 0 ? t.level[level] / t.xz : 0,
                t.bytes / 1e6 / t.compressSeconds[level]);
  }
  std::printf("decode: ExpandBlock %.1f MB/s", t.decodedBytes / 1e6 / t.expandSeconds);
  if (t.inflateSeconds > 0) std::printf(", zlib inflate %.1f MB/s", t.decodedBytes / 1e6 / t.inflateSeconds);
  std::printf("\n");
  return 0;
}
