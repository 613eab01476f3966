// Fuzz target of the block decoder: arbitrary bytes are expanded into a
// destination between canaries and must never crash, write outside it or
// report a size other than the header's; the same bytes, compressed at every
// level, must expand back exactly. Fed in pieces of whole words, the block
// must give the same result and bytes as in one piece.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "lib/compress.h"
#include "package/block.h"

namespace {

const size_t kGuard = 32;
const uint8_t kCanary = 0xC3;
const size_t kMaxDest = 1 << 22;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "expand_block_fuzz: %s\n", what);
    std::abort();
  }
}

// Expands into a destination of destSize bytes guarded on both sides.
uint32_t GuardedExpand(const uint8_t* block, size_t size, size_t destSize, std::vector<uint8_t>* out) {
  std::vector<uint8_t> buf(destSize + 2 * kGuard, kCanary);
  uint32_t n = ExpandBlock(block, size, buf.data() + kGuard, destSize);
  for (size_t i = 0; i < kGuard; i++) {
    Check(buf[i] == kCanary, "write before the destination");
    Check(buf[kGuard + destSize + i] == kCanary, "write after the destination");
  }
  if (out) out->assign(buf.begin() + kGuard, buf.begin() + kGuard + destSize);
  return n;
}

// The block's words after the first piece, handed out a few words at a
// time.
struct Pieces {
  BlockSource source;
  const uint8_t* next;
  const uint8_t* end;
  size_t words;
};

bool NextPieceOf(BlockSource* source, const uint8_t** piece, size_t* size) {
  Pieces* p = static_cast<Pieces*>(source->context);
  if (p->next >= p->end) return false;
  size_t take = p->words * 4;
  if (take > size_t(p->end - p->next)) take = size_t(p->end - p->next);
  *piece = p->next;
  *size = take;
  p->next += take;
  return true;
}

// ExpandBlockFrom over the same bytes, cut after its header and a few words.
void CheckPieces(const uint8_t* block, size_t size, size_t destSize) {
  if (size < kBlockHeaderSize + 4) return;
  const size_t words = 1 + block[size - 1] % 7;
  const size_t first = kBlockHeaderSize + 4 * words < size ? kBlockHeaderSize + 4 * words : size;
  if (((first - kBlockHeaderSize) & 3) != 0) return;
  Pieces p;
  p.source.more = NextPieceOf;
  p.source.context = &p;
  p.next = block + first;
  p.end = block + size;
  p.words = words;
  std::vector<uint8_t> whole, pieced(destSize + kGuard, kCanary);
  const uint32_t n = GuardedExpand(block, size, destSize, &whole);
  const uint32_t m = ExpandBlockFrom(block, first, &p.source, pieced.data(), destSize);
  for (size_t i = 0; i < kGuard; i++) Check(pieced[destSize + i] == kCanary, "pieces write after the destination");
  Check(n == m, "pieces give another result");
  Check(n == 0 || std::memcmp(whole.data(), pieced.data(), n) == 0, "pieces give other bytes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t expanded = BlockExpandedSize(data, size);
  // Tight, usual and short destinations; a header that asks for more than
  // kMaxDest is tried against a small buffer, where it must fail.
  const size_t dests[] = {size_t(expanded) + kBlockSlack, expanded, expanded / 2};
  for (size_t destSize : dests) {
    if (destSize > kMaxDest) destSize = 64;
    uint32_t n = GuardedExpand(data, size, destSize, nullptr);
    Check(n == 0 || (n == expanded && n <= destSize), "result differs from the expanded size");
  }
  if (expanded <= kMaxDest) CheckPieces(data, size, size_t(expanded) + kBlockSlack);

  if (size > (1 << 16)) return 0;
  const CompressLevel levels[] = {kLevelFast, kLevelDefault, kLevelBest};
  for (CompressLevel level : levels) {
    std::vector<uint8_t> block;
    if (!CompressBlock(data, size, level, &block)) {
      Check(block.empty(), "refused block not empty");
      continue;
    }
    Check(block.size() < size, "block not smaller than its data");
    std::vector<uint8_t> out;
    uint32_t n = GuardedExpand(block.data(), block.size(), size + kBlockSlack, &out);
    Check(n == size, "round trip size");
    Check(std::memcmp(out.data(), data, size) == 0, "round trip bytes");
    CheckPieces(block.data(), block.size(), size + kBlockSlack);
  }
  return 0;
}
