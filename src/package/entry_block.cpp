#include "package/entry_block.h"

#include <new>

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
  }
  return "unknown";
}
