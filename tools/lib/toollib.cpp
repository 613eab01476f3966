// The builder tool's library: compressor, package writer and the commands of
// the zandor program, shared by the tool, its tests, fuzzers and benchmarks.
