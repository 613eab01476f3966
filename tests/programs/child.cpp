// A test program for the process runner that acts out the script beside it:
// the file named like the program with the extension ".do", one command a
// line. Names are files in the program's own folder.
//   exit N          end now with exit code N
//   sleep MS        wait MS milliseconds
//   wait NAME       wait until NAME exists
//   write NAME TEXT write TEXT and a line end to NAME
//   cwd NAME        write the working folder and a line end to NAME
//   args NAME       write each argument after the program, with a line end, to NAME
// Without an exit line it ends with 0; an unknown command ends it with 99.
// Standard C++ only, so that the native and the Windows builds run the same
// cases.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc < 1) return 98;
  fs::path self(argv[0]);
  fs::path folder = self.parent_path();
  fs::path script = self;
  script.replace_extension(".do");
  std::ifstream in(script);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::string command, name;
    words >> command >> name;
    if (command.empty()) continue;
    if (command == "exit") return std::stoi(name);
    if (command == "sleep") {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(name)));
    } else if (command == "wait") {
      while (!fs::exists(folder / name)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } else if (command == "write") {
      std::string text;
      std::getline(words >> std::ws, text);
      std::ofstream(folder / name, std::ios::binary) << text << "\n";
    } else if (command == "cwd") {
      std::ofstream(folder / name, std::ios::binary) << fs::current_path().string() << "\n";
    } else if (command == "args") {
      std::ofstream out(folder / name, std::ios::binary);
      for (int i = 1; i < argc; ++i) out << argv[i] << "\n";
    } else {
      return 99;
    }
  }
  return 0;
}
