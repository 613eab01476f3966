// ExpandBlock built with the shipped installer's flags plus the decoder's
// own (see CMakeLists.txt), for decode_bench.
#include "package/block.cpp"
