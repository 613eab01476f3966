// Decode speed of ExpandBlock as the installer is built (the flags come from
// CMakeLists.txt: decode_bench has the shipped ones, decode_bench_os plain
// -Os) against zlib's inflate of a zlib -9 stream of the same files. Blocks
// are made at the default level; every round trip is checked first.
//
// Usage: decode_bench FILE...
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench_util.h"
#include "lib/compress.h"
#include "package/block.h"
#if ZANDOR_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

// The best of five runs of fn, each repeated for at least 0.1 s; seconds
// per call.
template <class Fn>
double BestTimePerCall(Fn fn) {
  double best = 1e30;
  for (int run = 0; run < 5; run++) {
    double perCall = TimePerCall(fn, 0.1);
    if (perCall < best) best = perCall;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE...\n", argv[0]);
    return 2;
  }
  double bytes = 0, expandSeconds = 0, inflateSeconds = 0;
  for (int a = 1; a < argc; a++) {
    std::vector<uint8_t> data, block;
    if (!ReadWhole(argv[a], &data) || data.empty()) continue;
    if (!CompressBlock(data.data(), data.size(), kLevelDefault, &block)) continue;  // stored raw
    std::vector<uint8_t> out(data.size() + kBlockSlack);
    if (ExpandBlock(block.data(), block.size(), out.data(), out.size()) != data.size() ||
        std::memcmp(out.data(), data.data(), data.size()) != 0) {
      std::printf("ROUND TRIP FAILED: %s\n", argv[a]);
      return 1;
    }
    bytes += double(data.size());
    expandSeconds += BestTimePerCall([&] { ExpandBlock(block.data(), block.size(), out.data(), out.size()); });
#if ZANDOR_HAVE_ZLIB
    uLongf zsize = compressBound(uLong(data.size()));
    std::vector<uint8_t> z(zsize);
    compress2(z.data(), &zsize, data.data(), uLong(data.size()), 9);
    uLongf outSize = uLongf(out.size());
    if (uncompress(out.data(), &outSize, z.data(), zsize) != Z_OK || outSize != data.size() ||
        std::memcmp(out.data(), data.data(), data.size()) != 0) {
      std::printf("ZLIB ROUND TRIP FAILED: %s\n", argv[a]);
      return 1;
    }
    inflateSeconds += BestTimePerCall([&] {
      uLongf n = uLongf(out.size());
      uncompress(out.data(), &n, z.data(), zsize);
    });
#endif
  }
  if (bytes == 0) return 1;
  std::printf("decode (%s): %.1f MB, ExpandBlock %.1f MB/s", argv[0], bytes / 1e6, bytes / 1e6 / expandSeconds);
  if (inflateSeconds > 0) {
    std::printf(", zlib inflate %.1f MB/s, ratio %.2f", bytes / 1e6 / inflateSeconds, inflateSeconds / expandSeconds);
  }
  std::printf("\n");
  return 0;
}
