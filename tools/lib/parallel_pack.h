// Compresses the blocks of a package on several threads and hands them
// back in the order they were queued, so the package is the same bytes for
// any number of threads: each block depends only on its own input. A large
// file's pieces (compress.h) are jobs of their own, so one big file keeps
// every thread busy.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "lib/compress.h"

// The input bytes that may be read and not yet written, per thread: the
// bound on the pack's memory, with the blocks made from them.
const size_t kPackBytesPerThread = size_t(32) << 20;

struct PackInput {
  const uint8_t* data = nullptr;  // nullptr with size 0: nothing to pack
  size_t size = 0;
};

// Gives item i's input, in order and on the calling thread: either data it
// keeps alive itself, or bytes it reads into *owned (kept until written).
using PackReadFn = std::function<bool(size_t i, PackInput* input, std::vector<uint8_t>* owned)>;
// Takes item i's input and block (empty for nothing to pack), in order
// 0..count-1 on the calling thread.
using PackWriteFn = std::function<bool(size_t i, const PackInput& input, const std::vector<uint8_t>& block)>;

// The number of threads for a --threads value: 0 means every core.
int PackThreads(int requested);
// Packs count items at level with up to threads compressing at once
// (1: all on the calling thread). No item is read while the input read and
// not yet written is maxInFlight bytes or more, unless nothing is in flight;
// so at most maxInFlight bytes plus the largest item are held at once. Stops at the first false from
// read or write and returns false; the workers are joined before it
// returns.
bool PackInOrder(size_t count, int threads, CompressLevel level, size_t maxInFlight, const PackReadFn& read,
                 const PackWriteFn& write);
