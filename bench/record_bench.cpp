// The uninstall record of a large package, written and read as the install
// and the uninstaller do: a prepared record of COUNT long-named files (the
// layout zandor build writes), the install's update of its keys over it
// (WriteUninstallRecord), and the uninstaller's read (ReadUninstallData).
// A plain line-by-line read of the same file is the yardstick. Each read is
// checked for every file before its time counts.
//
// Usage: record_bench WORK [COUNT] [ROUNDS]   (COUNT 100000, ROUNDS 3)
// Prints the record's size and the median time of each step.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench_util.h"
#include "ui/language.h"
#include "uninstall/record.h"
#include "uninstall/uninstall_data.h"

namespace fs = std::filesystem;

namespace {

// A name of about 90 characters, as deep program trees have them.
std::string FileName(size_t i) {
  char name[128];
  std::snprintf(name, sizeof name, "resources\\locale\\part_%03zu\\a_rather_long_file_name_for_number_%07zu.dat",
                i % 1000, i);
  return name;
}

std::string PreparedRecord(size_t count) {
  std::string text = "[Settings]\r\nProgName = Bench\r\nVersion = 1.0\r\nMutexString = \r\n[Files]\r\n";
  text.reserve(count * 110);
  char key[32];
  for (size_t i = 1; i <= count; ++i) {
    std::snprintf(key, sizeof key, "F%04zu = ", i);
    text += key + FileName(i) + "\r\n";
  }
  text += "[Dirs]\r\nD0001 = resources\\\r\n";
  return text;
}

bool WriteText(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool good = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && good;
}

// The yardstick: every line read, the file keys counted.
size_t PlainRead(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string line;
  size_t files = 0;
  while (std::getline(in, line)) {
    if (line.size() > 1 && line[0] == 'F' && line[1] >= '0' && line[1] <= '9') ++files;
  }
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: record_bench WORK [COUNT] [ROUNDS]\n");
    return 2;
  }
  const std::string work = argv[1];
  const size_t count = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 100000;
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
  if (count == 0 || rounds < 1) {
    std::fprintf(stderr, "record_bench: COUNT and ROUNDS must be positive\n");
    return 2;
  }
  std::error_code error;
  fs::create_directories(work, error);
  LoadDefaultTexts("Bench", "1.0");
  const std::string prepared = PreparedRecord(count);
  UninstallRecord record;
  record.installDir = work + "\\";
  record.progExe = "bench.exe";
  record.guid = "{00000000-0000-4000-8000-00000000BE9C}";
  record.progLink = "Bench";
  const std::string path = UninstallRecordPath(record.installDir);
  std::vector<double> writes, reads, plain;
  for (int round = 0; round < rounds; ++round) {
    if (!WriteText(work + "/uninstall.dat", prepared)) {
      std::fprintf(stderr, "record_bench: cannot write %s/uninstall.dat\n", work.c_str());
      return 1;
    }
    double start = Now();
    const bool written = WriteUninstallRecord(record);
    writes.push_back(Now() - start);
    if (!written) {
      std::fprintf(stderr, "record_bench: the install's update of the record failed\n");
      return 1;
    }
    UninstallData data;
    start = Now();
    const UninstallDataResult result = ReadUninstallData(path, &data);
    reads.push_back(Now() - start);
    if (result != kDataRead || data.files.size() != count || data.files.back() != FileName(count) ||
        data.progDir != record.installDir) {
      std::fprintf(stderr, "record_bench: the uninstaller read %zu of %zu files\n", data.files.size(), count);
      return 1;
    }
    start = Now();
    const size_t lines = PlainRead(work + "/uninstall.dat");
    plain.push_back(Now() - start);
    if (lines != count) {
      std::fprintf(stderr, "record_bench: the plain read found %zu of %zu files\n", lines, count);
      return 1;
    }
  }
  fs::remove(work + "/uninstall.dat", error);
  std::printf("record of %zu files, %.1f MiB, median of %d rounds\n", count, prepared.size() / 1048576.0, rounds);
  std::printf("  install update (WriteUninstallRecord)  %8.3f s\n", Median(writes));
  std::printf("  uninstaller read (ReadUninstallData)   %8.3f s\n", Median(reads));
  std::printf("  plain line-by-line read                %8.3f s   (uninstaller / plain: %.1f)\n", Median(plain),
              Median(reads) / std::max(Median(plain), 1e-9));
  return 0;
}
