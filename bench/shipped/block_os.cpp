// ExpandBlock built with the installer's -Os flags alone, for
// decode_bench_os: the speed before the decoder got flags of its own.
#include "package/block.cpp"
