// Fuzz target for the package reader and extraction: any bytes opened as a
// package and extracted must write nothing outside the destination folder.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

#include "package/extract.h"
#include "package/package.h"

namespace fs = std::filesystem;

namespace {

// The destination sits a few levels down, so that names climbing out by
// "..", however many, land somewhere the check below can see.
struct FuzzFolders {
  fs::path root;
  fs::path input;
  fs::path destination;
};

const FuzzFolders& Folders() {
  // Never destroyed, so that the clean-up at exit can still read it.
  static const FuzzFolders* folders = [] {
    FuzzFolders* made = new FuzzFolders;
    FuzzFolders& f = *made;
    std::random_device random;
    f.root = fs::temp_directory_path() / ("zandor-package-fuzz-" + std::to_string(random()));
    f.input = f.root / "input.pck";
    f.destination = f.root / "a" / "b" / "c" / "out";
    std::error_code ignored;
    fs::create_directories(f.destination.parent_path(), ignored);
    std::atexit([] {
      std::error_code ignoredAtExit;
      fs::remove_all(Folders().root, ignoredAtExit);
    });
    return made;
  }();
  return *folders;
}

// Expanding a 2 GiB file is legal but makes the fuzzer crawl; it is after
// faults, not size limits.
const int32_t kLargestEntry = 16 << 20;

bool EverythingInside(const FuzzFolders& f) {
  std::error_code error;
  for (fs::recursive_directory_iterator it(f.root, error), end; !error && it != end; it.increment(error)) {
    const fs::path& path = it->path();
    if (path == f.input) continue;
    std::string text = path.string();
    std::string inside = f.destination.string();
    if (text.compare(0, inside.size(), inside) == 0) continue;
    if (path == f.root / "a" || path == f.root / "a" / "b" || path == f.root / "a" / "b" / "c") continue;
    return false;
  }
  return !error;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const FuzzFolders& f = Folders();
  {
    std::ofstream out(f.input, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  ResetPackageReader();
  if (OpenPackage(f.input.string(), nullptr)) {
    bool small = true;
    for (const PackageEntry& entry : Package().entries) small = small && entry.size <= kLargestEntry;
    if (small) ExtractPackage(f.destination.string() + "/", "opt|ini|");
  } else if (!Package().entries.empty()) {
    std::abort();  // a refused package must leave an empty list
  }
  ClosePackage();
  if (!EverythingInside(f)) std::abort();
  std::error_code ignored;
  fs::remove_all(f.destination, ignored);
  fs::remove(f.input, ignored);
  return 0;
}
