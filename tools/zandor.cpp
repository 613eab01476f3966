// zandor: the builder tool that packs folders and makes installers.
#include <iostream>
#include <string>
#include <vector>

#include "lib/zandor_commands.h"
#include "platform/system.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  ZandorContext context;
  context.selfPath = OsGetModuleFileName();
  if (context.selfPath.empty() && argc > 0) context.selfPath = argv[0];
  context.out = &std::cout;
  context.err = &std::cerr;
  context.progress = OsStderrIsTerminal();
  return RunZandor(args, context);
}
