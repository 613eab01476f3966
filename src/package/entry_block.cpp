#include "package/entry_block.h"

#include <algorithm>
#include <new>
#include <vector>

#include "package/block.h"

EntryBlockCheck CheckEntryBlock(const PackageEntry& entry, const uint8_t* block, size_t blockSize,
                                std::unique_ptr<uint8_t[]>* expanded) {
  expanded->reset();
  uint32_t size = static_cast<uint32_t>(entry.size);
  if (blockSize == size) return kEntryBlockGood;
  // The header is checked before anything is allocated for the size.
  if (BlockExpandedSize(block, blockSize) != size) return kEntryBlockWrongSize;
  expanded->reset(new (std::nothrow) uint8_t[size_t(size) + kBlockSlack]);
  if (!*expanded) return kEntryBlockNoMemory;
  if (ExpandBlock(block, blockSize, expanded->get(), size_t(size) + kBlockSlack) == size) return kEntryBlockGood;
  expanded->reset();
  return kEntryBlockBroken;
}

const char* EntryBlockCheckText(EntryBlockCheck check) {
  switch (check) {
    case kEntryBlockGood: return "the block holds the entry's bytes";
    case kEntryBlockWrongSize: return "the block is not a compressed block of the entry's size";
    case kEntryBlockNoMemory: return "there is no memory to expand the block";
    case kEntryBlockBroken: return "the block does not expand or fails its checksum";
    case kEntryBlockUnreadable: return "the package file ends inside the block";
  }
  return "unknown";
}

namespace {

BlockReadProgress g_blockRead;

// The stored block of one entry, read from the package file a piece at a
// time for the decoder.
struct PieceReader {
  BlockSource source;
  OsFile file = nullptr;
  uint32_t left = 0;  // bytes of the block not read yet
  bool failed = false;
  void (*drain)() = nullptr;
  std::vector<uint8_t> piece;
};

bool ReadPiece(PieceReader* reader, uint32_t count) {
  reader->piece.resize(count);
  uint32_t got = 0;
  if (count > 0 && (!OsReadFile(reader->file, reader->piece.data(), count, &got) || got != count)) {
    reader->failed = true;
    return false;
  }
  reader->left -= count;
  g_blockRead.done += count;
  return true;
}

bool MorePieces(BlockSource* source, const uint8_t** piece, size_t* size) {
  PieceReader* reader = static_cast<PieceReader*>(source->context);
  if (reader->left == 0 || reader->failed) return false;
  if (reader->drain) reader->drain();
  if (!ReadPiece(reader, std::min(reader->left, kBlockReadPiece))) return false;
  *piece = reader->piece.data();
  *size = reader->piece.size();
  return true;
}

EntryBlockCheck ReadBlockPieces(PieceReader* reader, const PackageEntry& entry, std::unique_ptr<uint8_t[]>* bytes) {
  const uint32_t size = static_cast<uint32_t>(entry.size);
  const uint32_t stored = reader->left;
  if (stored == size) {
    // Raw: the bytes as they are, read in pieces all the same.
    bytes->reset(new (std::nothrow) uint8_t[size_t(size) + kBlockSlack]);
    if (!*bytes) return kEntryBlockNoMemory;
    for (uint32_t done = 0; done < size;) {
      if (done > 0 && reader->drain) reader->drain();
      if (!ReadPiece(reader, std::min(size - done, kBlockReadPiece))) return kEntryBlockUnreadable;
      std::copy(reader->piece.begin(), reader->piece.end(), bytes->get() + done);
      done += uint32_t(reader->piece.size());
    }
    return kEntryBlockGood;
  }
  // The header and the first whole words, then the rest as it comes.
  const uint32_t first = std::min(stored, kBlockHeaderSize + kBlockReadPiece);
  if (!ReadPiece(reader, first)) return kEntryBlockUnreadable;
  std::vector<uint8_t> head;
  head.swap(reader->piece);
  if (BlockExpandedSize(head.data(), head.size()) != size) return kEntryBlockWrongSize;
  bytes->reset(new (std::nothrow) uint8_t[size_t(size) + kBlockSlack]);
  if (!*bytes) return kEntryBlockNoMemory;
  reader->source.more = MorePieces;
  reader->source.context = reader;
  const uint32_t got = ExpandBlockFrom(head.data(), head.size(), &reader->source, bytes->get(), size_t(size) + kBlockSlack);
  if (reader->failed) return kEntryBlockUnreadable;
  // Words after the end of the stream are ignored, as ExpandBlock ignores
  // them; the caller reads past them.
  return got == size ? kEntryBlockGood : kEntryBlockBroken;
}

}  // namespace

const BlockReadProgress& CurrentBlockRead() { return g_blockRead; }

EntryBlockCheck ReadEntryBlock(OsFile file, const PackageEntry& entry, std::unique_ptr<uint8_t[]>* bytes,
                               void (*drain)()) {
  bytes->reset();
  if (entry.size <= 0 || entry.storedSize <= 0) return kEntryBlockWrongSize;
  PieceReader reader;
  reader.file = file;
  reader.left = static_cast<uint32_t>(entry.storedSize);
  reader.drain = drain;
  g_blockRead.done = 0;
  g_blockRead.total = reader.left;
  EntryBlockCheck check = ReadBlockPieces(&reader, entry, bytes);
  // The rest of a bad block is read past, so the next block is next.
  while (check != kEntryBlockUnreadable && reader.left > 0) {
    if (!ReadPiece(&reader, std::min(reader.left, kBlockReadPiece))) check = kEntryBlockUnreadable;
  }
  if (check != kEntryBlockGood) bytes->reset();
  g_blockRead = BlockReadProgress();
  return check;
}
