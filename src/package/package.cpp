#include "package/package.h"

#include <cstring>
#include <memory>
#include <new>

#include "package/block.h"
#include "runtime/filesys.h"

namespace {

PackageReader g_package;
const PackageEntry g_noEntry;

// Bytes from the package file, read through a cursor that refuses to step
// past what is left.
struct ByteCursor {
  const uint8_t* data;
  size_t left;
};

bool TakeU32(ByteCursor* cursor, uint32_t* value) {
  if (cursor->left < 4) return false;
  *value = LoadLE32(cursor->data);
  cursor->data += 4;
  cursor->left -= 4;
  return true;
}

bool TakeName(ByteCursor* cursor, std::string* name) {
  const void* end = std::memchr(cursor->data, 0, cursor->left);
  if (end == nullptr) return false;
  size_t length = static_cast<const uint8_t*>(end) - cursor->data;
  name->assign(reinterpret_cast<const char*>(cursor->data), length);
  cursor->data += length + 1;
  cursor->left -= length + 1;
  return true;
}

bool ReadAt(OsFile file, int64_t position, uint8_t* buffer, uint32_t size) {
  uint32_t got = 0;
  if (!OsSeekFile(file, position)) return false;
  return OsReadFile(file, buffer, size, &got) && got == size;
}

// The expanded directory:
//   0  count   int32, zero or less: no entries
//   4  entries packed back to back, each
//        name      ANSI bytes ended by one zero byte
//        kind, size, stored size, offset            4 x int32
//        creation low, high, last write low, high   4 x uint32
// Refused: a name without its zero byte or fields cut off by the end of the
// directory, a count larger than the directory could hold, a file with data
// but no block, and file blocks that, laid back to back from the data start,
// would run into the directory block.
PackageOpenResult ParseDirectory(const uint8_t* directory, uint32_t size) {
  ByteCursor cursor = {directory, size};
  uint32_t rawCount = 0;
  if (!TakeU32(&cursor, &rawCount)) return kPackageBadDirectory;
  int32_t count = static_cast<int32_t>(rawCount);
  if (count <= 0) return kPackageOpened;
  // Every entry takes at least its name's zero byte and the fixed fields.
  if (uint64_t(count) > cursor.left / (kPackageEntryFixedSize + 1)) return kPackageBadDirectory;
  g_package.entries.reserve(count);
  int64_t dataEnd = g_package.dataStart;
  for (int32_t i = 0; i < count; i++) {
    PackageEntry entry;
    uint32_t fields[8];
    if (!TakeName(&cursor, &entry.name)) return kPackageBadDirectory;
    for (uint32_t& field : fields) {
      if (!TakeU32(&cursor, &field)) return kPackageBadDirectory;
    }
    entry.kind = static_cast<int32_t>(fields[0]);
    entry.size = static_cast<int32_t>(fields[1]);
    entry.storedSize = static_cast<int32_t>(fields[2]);
    entry.offset = static_cast<int32_t>(fields[3]);
    entry.creationTime = uint64_t(fields[5]) << 32 | fields[4];
    entry.lastWriteTime = uint64_t(fields[7]) << 32 | fields[6];
    if (entry.kind == kEntryKindFile && entry.size > 0) {
      if (entry.storedSize <= 0) return kPackageBadEntry;
      dataEnd += entry.storedSize;
      if (dataEnd > g_package.directoryPosition) return kPackageDataOverrun;
    }
    g_package.totalSize += static_cast<uint32_t>(entry.size);
    g_package.entries.push_back(entry);
  }
  return kPackageOpened;
}

// A signed installer: Authenticode appends the certificate table after the
// package, so the trailer sits just before it.
//   0x3C  e_lfanew             uint32, position of "PE\0\0"
//   +4    COFF header          20 bytes; +16 of it: size of the optional header
//   +24   optional header      magic 0x10B (PE32) or 0x20B (PE32+); the number
//                              of data directories at +92 / +108 and the
//                              directories at +96 / +112, 8 bytes each
//   directory 4 (security): position of the certificate table (a FILE
//                              offset, not an address) and its size
// The signature's digest leaves the table out, so whatever the table holds
// beyond its certificates can be changed without breaking the signature.
// Hence, once a file names a table, the package is looked for only before
// it, never at the end of the file, and the table must hold certificates
// and nothing else (CheckCertificateTable).

// A security directory that names a table of size 0 counts as none.
enum SecurityDirectory { kNoSecurityDirectory, kSecurityDirectoryFound, kSecurityDirectoryUnreadable };

SecurityDirectory ReadSecurityDirectory(OsFile file, int64_t fileSize, uint32_t* tableAt, uint32_t* tableSize) {
  uint8_t dos[64];
  if (fileSize < int64_t(sizeof dos) || !ReadAt(file, 0, dos, sizeof dos)) return kNoSecurityDirectory;
  if (dos[0] != 'M' || dos[1] != 'Z') return kNoSecurityDirectory;
  const uint32_t header = LoadLE32(dos + 0x3C);
  // The signature, the COFF header and the optional header up to the end of
  // the PE32+ data directory 4.
  uint8_t pe[24 + 112 + 5 * 8];
  if (uint64_t(header) + sizeof pe > uint64_t(fileSize)) return kNoSecurityDirectory;
  if (!ReadAt(file, header, pe, sizeof pe)) return kSecurityDirectoryUnreadable;
  if (LoadLE32(pe) != 0x00004550) return kNoSecurityDirectory;
  const uint32_t optionalSize = pe[20] | uint32_t(pe[21]) << 8;
  const uint8_t* optional = pe + 24;
  const uint32_t optionalMagic = optional[0] | uint32_t(optional[1]) << 8;
  uint32_t countAt = 0;
  if (optionalMagic == 0x10B) {
    countAt = 92;
  } else if (optionalMagic == 0x20B) {
    countAt = 108;
  } else {
    return kNoSecurityDirectory;
  }
  const uint32_t securityAt = countAt + 4 + 4 * 8;
  if (optionalSize < securityAt + 8 || LoadLE32(optional + countAt) < 5) return kNoSecurityDirectory;
  *tableAt = LoadLE32(optional + securityAt);
  *tableSize = LoadLE32(optional + securityAt + 4);
  if (*tableAt == 0 && *tableSize == 0) return kNoSecurityDirectory;
  return kSecurityDirectoryFound;
}

// Length of a DER value (tag, length, contents) from its first bytes, or 0
// when they are no definite-length SEQUENCE.
uint64_t DerSequenceLength(const uint8_t* der, uint32_t available) {
  if (available < 2 || der[0] != 0x30) return 0;
  if (der[1] < 0x80) return 2 + uint64_t(der[1]);
  const uint32_t count = der[1] & 0x7F;
  if (count == 0 || count > 4 || available < 2 + count) return 0;
  uint64_t length = 0;
  for (uint32_t i = 0; i < count; i++) length = length << 8 | der[2 + i];
  return 2 + count + length;
}

// The certificate table: entries back to back, each starting 8-aligned
// within the table:
//   0  dwLength          uint32, the entry with its header
//   4  wRevision         uint16, 0x0200 (or the older 0x0100)
//   6  wCertificateType  uint16, 2: a PKCS #7 SignedData
//   8  bCertificate      one DER SEQUENCE
// An entry's length may exceed its DER value by at most 7 alignment bytes,
// and those, like the alignment after an entry, must be zeros; the entries
// must fill the table exactly. So no byte of the table lies outside a
// certificate, and a package cannot hide in it. At most 8 entries.
bool CheckCertificateTable(OsFile file, uint32_t tableAt, uint32_t tableSize) {
  const uint32_t kMaxEntries = 8;
  const uint32_t kMaxPadding = 7;
  uint32_t at = 0;
  for (uint32_t count = 0; at < tableSize; count++) {
    if (count == kMaxEntries || tableSize - at < 16) return false;
    uint8_t head[8 + 6];
    if (!ReadAt(file, int64_t(tableAt) + at, head, sizeof head)) return false;
    const uint32_t length = LoadLE32(head);
    const uint32_t revision = head[4] | uint32_t(head[5]) << 8;
    const uint32_t type = head[6] | uint32_t(head[7]) << 8;
    if ((revision != 0x0200 && revision != 0x0100) || type != 2) return false;
    if (length < 8 || length > tableSize - at) return false;
    const uint64_t der = DerSequenceLength(head + 8, sizeof head - 8);
    if (der == 0 || 8 + der > length || length - (8 + der) > kMaxPadding) return false;
    // The entry's own padding and the alignment after it, up to 14 bytes.
    const uint32_t derEnd = at + 8 + uint32_t(der);
    uint32_t next = at + length;
    next = next + (8 - next % 8) % 8;
    if (next > tableSize) next = tableSize;
    uint8_t zeros[2 * kMaxPadding];
    const uint32_t padding = next - derEnd;
    if (padding > sizeof zeros) return false;
    if (padding > 0 && !ReadAt(file, int64_t(tableAt) + derEnd, zeros, padding)) return false;
    for (uint32_t i = 0; i < padding; i++) {
      if (zeros[i] != 0) return false;
    }
    at = next;
  }
  return at == tableSize && tableSize > 0;
}

// Where the package of a signed program ends (the position after "Pack"):
// the table must end exactly at the end of the file and be preceded by the
// trailer and at most 7 zero bytes of alignment. Answers kPackageNoMagic for
// a signed program that carries no package before its table, and
// kPackageBadSignature for a table that cannot be right.
PackageOpenResult FindSignedPackageEnd(OsFile file, int64_t fileSize, uint32_t tableAt, uint32_t tableSize,
                                       int64_t* packageEnd) {
  if (tableSize == 0 || tableAt < kPackageTrailerSize) return kPackageBadSignature;
  if (uint64_t(tableAt) + tableSize != uint64_t(fileSize)) return kPackageBadSignature;
  if (!CheckCertificateTable(file, tableAt, tableSize)) return kPackageBadSignature;

  const uint32_t kMaxPadding = 7;
  uint8_t before[kPackageTrailerSize + kMaxPadding];
  const uint32_t lookBack = tableAt < sizeof before ? tableAt : uint32_t(sizeof before);
  if (!ReadAt(file, tableAt - lookBack, before, lookBack)) return kPackageUnreadable;
  uint32_t padding = 0;
  while (padding < kMaxPadding && padding < lookBack && before[lookBack - 1 - padding] == 0) padding++;
  const uint32_t end = lookBack - padding;
  // Whatever else precedes the table (the program's last section, non-zero
  // padding) means a signed program that carries no package.
  if (end < 4 || LoadLE32(before + end - 4) != kPackageMagic) return kPackageNoMagic;
  *packageEnd = int64_t(tableAt) - padding;
  return kPackageOpened;
}

// The trailer, the last 16 bytes of the host file:
//   -16  directory unpacked size   uint32
//   -12  directory stored size     uint32, the block just before the trailer
//    -8  data start                uint32, absolute position of the first block
//    -4  magic                     "Pack"
// Every value is below 2 GiB. Refused: a stored size larger than what lies
// before the trailer, a data start beyond the directory block, and an
// unpacked size above kMaxDirectorySize (checked before any allocation).
PackageOpenResult LoadPackage(const std::string& path) {
  int64_t fileSize = FileSize(path);
  if (fileSize <= 0) return kPackageMissing;
  if (fileSize < kPackageTrailerSize) return kPackageNoMagic;
  OsFile file = OsOpenFile(path, kOsOpenRead);
  if (file == nullptr) return kPackageUnreadable;
  std::unique_ptr<void, void (*)(OsFile)> closer(file, OsCloseFile);

  uint8_t trailer[kPackageTrailerSize];
  if (!ReadAt(file, fileSize - kPackageTrailerSize, trailer, sizeof trailer)) return kPackageUnreadable;
  const bool endsInMagic = LoadLE32(trailer + 12) == kPackageMagic;
  uint32_t tableAt = 0, tableSize = 0;
  SecurityDirectory security = ReadSecurityDirectory(file, fileSize, &tableAt, &tableSize);
  if (security == kSecurityDirectoryUnreadable) return kPackageUnreadable;
  // An unsigned program whose headers name an empty table at some position
  // is read as it ends.
  if (security == kSecurityDirectoryFound && !(endsInMagic && tableSize == 0)) {
    // From here on the package ends where the certificate table begins; a
    // "Pack" at the end of the file lies inside the table.
    PackageOpenResult signedResult = FindSignedPackageEnd(file, fileSize, tableAt, tableSize, &fileSize);
    if (signedResult == kPackageBadSignature && endsInMagic) return kPackageInCertificateTable;
    if (signedResult == kPackageNoMagic && endsInMagic) return kPackageInCertificateTable;
    if (signedResult != kPackageOpened) return signedResult;
    if (fileSize < kPackageTrailerSize) return kPackageNoMagic;
    if (!ReadAt(file, fileSize - kPackageTrailerSize, trailer, sizeof trailer)) return kPackageUnreadable;
  } else if (!endsInMagic) {
    return kPackageNoMagic;
  }
  if (fileSize > INT32_MAX) return kPackageBadTrailer;
  uint32_t unpackedSize = LoadLE32(trailer);
  uint32_t storedSize = LoadLE32(trailer + 4);
  int32_t dataStart = static_cast<int32_t>(LoadLE32(trailer + 8));
  if (storedSize > uint64_t(fileSize) - kPackageTrailerSize) return kPackageBadTrailer;
  int64_t directoryPosition = fileSize - kPackageTrailerSize - storedSize;
  if (dataStart < 0 || dataStart > directoryPosition) return kPackageBadTrailer;
  if (unpackedSize > kMaxDirectorySize) return kPackageBadTrailer;
  g_package.directoryStoredSize = storedSize;
  g_package.dataStart = dataStart;
  g_package.directoryPosition = directoryPosition;

  std::unique_ptr<uint8_t[]> directory(new (std::nothrow) uint8_t[size_t(unpackedSize) + kBlockSlack]);
  if (!directory) return kPackageBadDirectory;
  if (storedSize == unpackedSize) {
    if (!ReadAt(file, directoryPosition, directory.get(), storedSize)) return kPackageUnreadable;
  } else {
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[size_t(storedSize) + 1]);
    if (!block) return kPackageBadDirectory;
    if (!ReadAt(file, directoryPosition, block.get(), storedSize)) return kPackageUnreadable;
    uint32_t expanded = ExpandBlock(block.get(), storedSize, directory.get(), size_t(unpackedSize) + kBlockSlack);
    if (expanded != unpackedSize || unpackedSize == 0) return kPackageBadDirectory;
  }
  return ParseDirectory(directory.get(), unpackedSize);
}

}  // namespace

PackageReader& Package() { return g_package; }

void ResetPackageReader() {
  if (g_package.dataFile != nullptr) OsCloseFile(g_package.dataFile);
  g_package = PackageReader();
}

const char* PackageOpenResultText(PackageOpenResult result) {
  switch (result) {
    case kPackageOpened: return "opened";
    case kPackageMissing: return "no file, a folder or an empty file";
    case kPackageUnreadable: return "the file cannot be read";
    case kPackageNoMagic: return "no package at the end of the file (\"Pack\" missing)";
    case kPackageBadTrailer: return "the package trailer points outside the file";
    case kPackageBadDirectory: return "the package directory is damaged";
    case kPackageBadEntry: return "a directory entry has impossible sizes";
    case kPackageDataOverrun: return "the file blocks run into the directory";
    case kPackageBadSignature: return "the certificate table of the signed program is damaged";
    case kPackageInCertificateTable:
      return "the package sits inside the certificate table, outside the signature: a damaged or tampered installer";
  }
  return "unknown";
}

bool OpenPackage(const std::string& path, ProgressCallback progress) {
  // The list is cleared before any check: callers extract without testing
  // the result, and a refused package must then write nothing.
  ResetPackageReader();
  g_package.fileName = path;
  g_package.progress = progress;
  g_package.open = true;
  PackageOpenResult result = LoadPackage(path);
  g_package.lastResult = result;
  if (result != kPackageOpened) {
    g_package.entries.clear();
    g_package.totalSize = 0;
    return false;
  }
  return true;
}

bool PackageIsDamaged() {
  switch (g_package.lastResult) {
    case kPackageBadTrailer:
    case kPackageBadDirectory:
    case kPackageBadEntry:
    case kPackageDataOverrun:
    case kPackageBadSignature:
    case kPackageInCertificateTable:
      return true;
    default:
      return false;
  }
}

// The entry list stays until the next OpenPackage: the tools list and check
// entries after the close.
bool ClosePackage() {
  if (g_package.dataFile != nullptr) OsCloseFile(g_package.dataFile);
  g_package.dataFile = nullptr;
  g_package.open = false;
  return true;
}

void ResetEntryCursor() { g_package.cursor = 0; }

bool NextPackageEntry() {
  if (g_package.cursor >= g_package.entries.size()) {
    g_package.cursor = g_package.entries.size() + 1;
    return false;
  }
  g_package.cursor++;
  return true;
}

const PackageEntry& CurrentPackageEntry() {
  if (g_package.cursor == 0 || g_package.cursor > g_package.entries.size()) return g_noEntry;
  return g_package.entries[g_package.cursor - 1];
}

uint32_t PackageTotalSize() { return g_package.totalSize; }
