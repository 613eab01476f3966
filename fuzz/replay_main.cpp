// Runs every saved input of a corpus folder through a fuzz target, as an
// ordinary test: the inputs that once found faults stay fixed.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s CORPUS_DIR...\n", argv[0]);
    return 2;
  }
  int files = 0;
  for (int i = 1; i < argc; ++i) {
    DIR* dir = opendir(argv[i]);
    if (!dir) {
      fprintf(stderr, "replay: cannot open %s\n", argv[i]);
      return 2;
    }
    std::vector<std::string> names;
    while (struct dirent* e = readdir(dir)) names.push_back(e->d_name);
    closedir(dir);
    for (const std::string& name : names) {
      std::string path = std::string(argv[i]) + "/" + name;
      struct stat st;
      if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
      FILE* f = fopen(path.c_str(), "rb");
      if (!f) return 2;
      std::vector<uint8_t> data(static_cast<size_t>(st.st_size));
      size_t got = data.empty() ? 0 : fread(data.data(), 1, data.size(), f);
      fclose(f);
      if (got != data.size()) return 2;
      LLVMFuzzerTestOneInput(data.data(), data.size());
      ++files;
    }
  }
  printf("replay: %d inputs passed\n", files);
  return files > 0 ? 0 : 1;
}
