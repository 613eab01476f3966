// Helpers the benchmarks share: a clock, reading a whole file, and timing a
// call by repeating it.
#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

inline double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

inline bool ReadWhole(const char* path, std::vector<uint8_t>* out) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  out->clear();
  uint8_t buf[1 << 16];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) out->insert(out->end(), buf, buf + got);
  std::fclose(f);
  return true;
}

// Repeats fn until at least `seconds` have passed; seconds per call.
template <class Fn>
double TimePerCall(Fn fn, double seconds) {
  int calls = 0;
  double start = Now(), elapsed;
  do {
    fn();
    calls++;
    elapsed = Now() - start;
  } while (elapsed < seconds);
  return elapsed / calls;
}
