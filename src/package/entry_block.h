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
};

// block holds the blockSize bytes stored for a file entry with data. A block
// as long as the entry's size is the file itself (expanded stays empty);
// any other must be a compressed block whose header names the entry's size
// and that expands to exactly that many bytes into *expanded.
EntryBlockCheck CheckEntryBlock(const PackageEntry& entry, const uint8_t* block, size_t blockSize,
                                std::unique_ptr<uint8_t[]>* expanded);
const char* EntryBlockCheckText(EntryBlockCheck check);
