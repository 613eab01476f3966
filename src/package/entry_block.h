// A file entry's stored block checked against its directory entry: the one
// rule that extraction and the builder's verify both apply before they trust
// a block's bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "package/package.h"

enum EntryBlockCheck {
  kEntryBlockGood = 0,    // the entry's bytes, raw or expanded
  kEntryBlockWrongSize,   // compressed, but the header names another size
  kEntryBlockNoMemory,    // no room to expand it
  kEntryBlockBroken,      // it does not expand, or fails its checksum
  kEntryBlockUnreadable,  // the package file ends inside the block
};

// block holds the blockSize bytes stored for a file entry with data. A block
// as long as the entry's size is the file itself (expanded stays empty);
// any other must be a compressed block whose header names the entry's size
// and that expands to exactly that many bytes into *expanded.
EntryBlockCheck CheckEntryBlock(const PackageEntry& entry, const uint8_t* block, size_t blockSize,
                                std::unique_ptr<uint8_t[]>* expanded);
const char* EntryBlockCheckText(EntryBlockCheck check);

// The pieces a block is read in by ReadEntryBlock.
const uint32_t kBlockReadPiece = 1u << 20;

// How far ReadEntryBlock has come with the block it reads: bytes of the
// stored block read so far, of total; both 0 when no block is being read.
struct BlockReadProgress {
  uint32_t done = 0;
  uint32_t total = 0;
};
const BlockReadProgress& CurrentBlockRead();

// Reads the stored block of a file entry with data from file, which is
// positioned at it, and checks it as CheckEntryBlock does; when good,
// *bytes holds the entry's size bytes (+ kBlockSlack). A compressed block is
// expanded while it is read, a piece at a time, so the block itself is
// never held whole: the expanded bytes and one piece are all the memory it
// takes. drain (may be null) runs between pieces. The whole block is read
// even when it turns out bad, so the file is then positioned at the next
// one; only kEntryBlockUnreadable leaves it elsewhere.
EntryBlockCheck ReadEntryBlock(OsFile file, const PackageEntry& entry, std::unique_ptr<uint8_t[]>* bytes,
                               void (*drain)());
