#include "lib/package_writer.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool Fail(PackageWriter* writer, const std::string& message) {
  writer->error = message;
  return false;
}

bool WriteBytes(PackageWriter* writer, const uint8_t* data, size_t size) {
  if (size == 0) return true;
  if (writer->position + int64_t(size) > kMaxPackageBytes) {
    return Fail(writer, "the package would reach 2 GiB, the largest size the installer reads");
  }
  if (writer->memory != nullptr) {
    writer->memory->insert(writer->memory->end(), data, data + size);
  } else if (std::fwrite(data, 1, size, writer->out) != size) {
    return Fail(writer, "cannot write " + writer->tempPath);
  }
  writer->position += int64_t(size);
  return true;
}

bool IsWriting(const PackageWriter* writer) { return writer->out != nullptr || writer->memory != nullptr; }

bool AddEntry(PackageWriter* writer, PackageEntry entry, const std::vector<uint8_t>& block) {
  if (!IsWriting(writer)) return Fail(writer, "no package is being written");
  entry.offset = static_cast<int32_t>(writer->position);
  entry.storedSize = static_cast<int32_t>(block.size());
  if (!WriteBytes(writer, block.data(), block.size())) return false;
  writer->entries.push_back(entry);
  return true;
}

}  // namespace

namespace {

// Codes of the block bit stream, most significant bit first in 32-bit words.
struct StreamWriter {
  std::vector<uint8_t>* out;
  uint64_t bits = 0;  // pending bits, right-aligned
  int count = 0;
  void Put(uint32_t value, int width) {
    bits = bits << width | (value & ((uint64_t(1) << width) - 1));
    count += width;
    if (count >= 32) {
      count -= 32;
      AppendLE32(out, uint32_t(bits >> count));
    }
  }
  void Flush() {
    if (count > 0) Put(0, 32 - count);
  }
};

}  // namespace

void StoreBlock(const uint8_t* data, size_t size, std::vector<uint8_t>* block) {
  block->clear();
  block->push_back(uint8_t(kBlockMagic[0]));
  block->push_back(uint8_t(kBlockMagic[1]));
  AppendLE32(block, static_cast<uint32_t>(size));
  AppendLE32(block, BlockChecksum(data, size));
  StreamWriter w{block};
  const size_t runs = size / 256;
  if (runs > 0) {
    w.Put(0x10, 7);  // 001 0000
    w.Put(1, 1);     // raw runs of 256 bytes
    for (size_t r = 0; r < runs; r++) {
      for (size_t i = r * 256; i < r * 256 + 256; i += 4) {
        w.Put(uint32_t(data[i]) << 24 | uint32_t(data[i + 1]) << 16 | uint32_t(data[i + 2]) << 8 | data[i + 3], 32);
      }
      w.Put(r + 1 < runs ? 1 : 0, 1);
    }
  }
  if (runs * 256 < size) {
    w.Put(0x10, 7);  // 001 0000
    w.Put(1, 2);     // 0 1: literals of 8 bits from base 0
    for (size_t i = runs * 256; i < size; i++) w.Put(0x100 | data[i], 9);
  }
  w.Put(0, 12);  // end of stream
  w.Flush();
}

void PackBlock(const uint8_t* data, size_t size, CompressLevel level, std::vector<uint8_t>* block) {
  block->clear();
  if (size == 0 || (CompressBlock(data, size, level, block) && block->size() < size)) return;
  StoreBlock(data, size, block);
}

std::vector<uint8_t> EncodeDirectory(const std::vector<PackageEntry>& entries) {
  std::vector<uint8_t> out;
  AppendLE32(&out, static_cast<uint32_t>(entries.size()));
  for (const PackageEntry& entry : entries) {
    out.insert(out.end(), entry.name.begin(), entry.name.end());
    out.push_back(0);
    AppendLE32(&out, static_cast<uint32_t>(entry.kind));
    AppendLE32(&out, static_cast<uint32_t>(entry.size));
    AppendLE32(&out, static_cast<uint32_t>(entry.storedSize));
    AppendLE32(&out, static_cast<uint32_t>(entry.offset));
    AppendLE32(&out, static_cast<uint32_t>(entry.creationTime));
    AppendLE32(&out, static_cast<uint32_t>(entry.creationTime >> 32));
    AppendLE32(&out, static_cast<uint32_t>(entry.lastWriteTime));
    AppendLE32(&out, static_cast<uint32_t>(entry.lastWriteTime >> 32));
  }
  return out;
}

std::vector<uint8_t> EncodeTrailer(uint32_t unpackedSize, uint32_t storedSize, uint32_t dataStart) {
  std::vector<uint8_t> out;
  AppendLE32(&out, unpackedSize);
  AppendLE32(&out, storedSize);
  AppendLE32(&out, dataStart);
  AppendLE32(&out, kPackageMagic);
  return out;
}

bool BeginPackage(PackageWriter* writer, const std::string& path, const std::vector<uint8_t>& prefix,
                  CompressLevel level) {
  AbandonPackage(writer);
  *writer = PackageWriter();
  writer->path = path;
  writer->tempPath = path + ".zandor-part";
  writer->level = level;
  writer->out = std::fopen(writer->tempPath.c_str(), "wb");
  if (writer->out == nullptr) return Fail(writer, "cannot create " + writer->tempPath);
  if (!WriteBytes(writer, prefix.data(), prefix.size())) {
    AbandonPackage(writer);
    return false;
  }
  writer->dataStart = static_cast<int32_t>(writer->position);
  return true;
}

void BeginPackageInMemory(PackageWriter* writer, std::vector<uint8_t>* memory, CompressLevel level) {
  AbandonPackage(writer);
  *writer = PackageWriter();
  writer->memory = memory;
  writer->memory->clear();
  writer->level = level;
}

bool AddFolderEntry(PackageWriter* writer, const std::string& name, uint64_t creationTime,
                    uint64_t lastWriteTime) {
  PackageEntry entry;
  entry.name = name;
  entry.kind = kEntryKindFolder;
  entry.creationTime = creationTime;
  entry.lastWriteTime = lastWriteTime;
  return AddEntry(writer, entry, {});
}

bool AddFileEntry(PackageWriter* writer, const std::string& name, const uint8_t* data, size_t size,
                  uint64_t creationTime, uint64_t lastWriteTime) {
  std::vector<uint8_t> block;
  if (int64_t(size) < kMaxPackageBytes) PackBlock(data, size, writer->level, &block);
  return AddPackedFileEntry(writer, name, size, block, creationTime, lastWriteTime);
}

bool AddPackedFileEntry(PackageWriter* writer, const std::string& name, size_t size,
                        const std::vector<uint8_t>& block, uint64_t creationTime, uint64_t lastWriteTime) {
  if (int64_t(size) >= kMaxPackageBytes) return Fail(writer, name + ": files of 2 GiB or more cannot be packed");
  PackageEntry entry;
  entry.name = name;
  entry.kind = kEntryKindFile;
  entry.size = static_cast<int32_t>(size);
  entry.creationTime = creationTime;
  entry.lastWriteTime = lastWriteTime;
  return AddEntry(writer, entry, block);
}

bool FinishPackage(PackageWriter* writer) {
  if (!IsWriting(writer)) return Fail(writer, "no package is being written");
  std::vector<uint8_t> directory = EncodeDirectory(writer->entries);
  if (directory.size() > kMaxDirectorySize) {
    AbandonPackage(writer);
    return Fail(writer, "the directory is too large (too many entries)");
  }
  std::vector<uint8_t> block;
  PackBlock(directory.data(), directory.size(), writer->level, &block);
  std::vector<uint8_t> trailer = EncodeTrailer(static_cast<uint32_t>(directory.size()),
                                               static_cast<uint32_t>(block.size()),
                                               static_cast<uint32_t>(writer->dataStart));
  if (!WriteBytes(writer, block.data(), block.size()) || !WriteBytes(writer, trailer.data(), trailer.size())) {
    std::string error = writer->error;
    AbandonPackage(writer);
    writer->error = error;
    return false;
  }
  if (writer->memory != nullptr) {
    writer->memory = nullptr;
    return true;
  }
  bool closed = std::fclose(writer->out) == 0;
  writer->out = nullptr;
  if (!closed) {
    AbandonPackage(writer);
    return Fail(writer, "cannot write " + writer->path);
  }
  std::error_code error;
  fs::rename(writer->tempPath, writer->path, error);
  if (error) {
    // Some runtimes will not rename over an existing file.
    std::error_code ignored;
    fs::remove(writer->path, ignored);
    error.clear();
    fs::rename(writer->tempPath, writer->path, error);
  }
  if (error) {
    AbandonPackage(writer);
    return Fail(writer, "cannot create " + writer->path + ": " + error.message());
  }
  writer->tempPath.clear();
  return true;
}

void AbandonPackage(PackageWriter* writer) {
  if (writer->out != nullptr) std::fclose(writer->out);
  writer->out = nullptr;
  if (writer->memory != nullptr) writer->memory->clear();
  writer->memory = nullptr;
  if (!writer->tempPath.empty()) {
    std::error_code ignored;
    fs::remove(writer->tempPath, ignored);
  }
  writer->tempPath.clear();
}
