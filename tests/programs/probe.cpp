// A Windows test program that records how it was started: its path, command
// line, working folder, the files in that folder and its whole environment.
// The record is appended to the file named by ZANDOR_PROBE_LOG (else
// <own path>.log). Its exit code comes from a file <own path without .exe>.code
// beside it, else from the digits in its own file name, else 0. A file
// <own path without .exe>.sleep holding milliseconds makes it wait first.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string ReadSmallFile(const std::string& path) {
  std::string text;
  if (FILE* f = fopen(path.c_str(), "rb")) {
    char buffer[256];
    size_t n = fread(buffer, 1, sizeof buffer, f);
    text.assign(buffer, n);
    fclose(f);
  }
  return text;
}

uint64_t Ft(const FILETIME& ft) {
  return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

}  // namespace

int main() {
  char module[MAX_PATH + 1] = {0};
  GetModuleFileNameA(nullptr, module, MAX_PATH);
  std::string self = module;
  std::string base = self;
  if (base.size() > 4 && _stricmp(base.c_str() + base.size() - 4, ".exe") == 0) base.resize(base.size() - 4);

  // A <name>.mutex file names a mutex to hold while the probe sleeps, so a
  // setup run can find the "program" running.
  std::string mutexName = ReadSmallFile(base + ".mutex");
  HANDLE mutex = mutexName.empty() ? nullptr : CreateMutexA(nullptr, TRUE, mutexName.c_str());
  if (mutex) {
    // Tells a waiting test that the mutex is held from now on.
    if (FILE* f = fopen((base + ".held").c_str(), "wb")) fclose(f);
  }
  std::string sleepText = ReadSmallFile(base + ".sleep");
  if (!sleepText.empty()) Sleep(static_cast<DWORD>(atoi(sleepText.c_str())));

  char cwd[MAX_PATH + 1] = {0};
  GetCurrentDirectoryA(MAX_PATH, cwd);

  std::string out = "[run]\r\n";
  out += "exe = " + self + "\r\n";
  out += "cmdline = " + std::string(GetCommandLineA()) + "\r\n";
  out += "cwd = " + std::string(cwd) + "\r\n";
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstFileA((std::string(cwd) + "\\*").c_str(), &fd);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      char line[MAX_PATH + 128];
      bool folder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      snprintf(line, sizeof line, "file = %s|%s|%lu|%llu|%llu\r\n", fd.cFileName, folder ? "dir" : "file",
               static_cast<unsigned long>(fd.nFileSizeLow),
               static_cast<unsigned long long>(Ft(fd.ftCreationTime)),
               static_cast<unsigned long long>(Ft(fd.ftLastWriteTime)));
      out += line;
    } while (FindNextFileA(find, &fd));
    FindClose(find);
  }
  char* env = GetEnvironmentStringsA();
  for (char* p = env; p && *p; p += strlen(p) + 1) {
    out += "env = " + std::string(p) + "\r\n";
  }
  if (env) FreeEnvironmentStringsA(env);

  char logPath[MAX_PATH + 1] = {0};
  DWORD n = GetEnvironmentVariableA("ZANDOR_PROBE_LOG", logPath, MAX_PATH);
  std::string log = n > 0 && n < MAX_PATH ? std::string(logPath) : self + ".log";
  if (FILE* f = fopen(log.c_str(), "ab")) {
    fwrite(out.data(), 1, out.size(), f);
    fclose(f);
  }

  std::string codeText = ReadSmallFile(base + ".code");
  if (!codeText.empty()) return atoi(codeText.c_str());
  std::string name = base.substr(base.find_last_of("\\/") + 1);
  int code = 0;
  for (char c : name) {
    if (c >= '0' && c <= '9') code = code * 10 + (c - '0');
  }
  return code;
}
