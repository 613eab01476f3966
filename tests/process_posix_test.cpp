// Process-runner cases that only the native build has: here no shell opens
// documents or folders, so a file that is no program cannot run at all.
#include <gtest/gtest.h>

#include <string>

#include "process_fixture.h"
#include "runtime/program_runner.h"

namespace {

TEST_F(ProcessTest, FileThatCannotRunGivesZero) {
  Write("readme.txt", "not a program\n");
  EXPECT_EQ(RunProgram(dir_ + "\\readme.txt", "", "", kRunWait | kRunOpen), 0u);
  EXPECT_EQ(RunProgram(dir_, "", "", kRunWait | kRunOpen), 0u);
}

}  // namespace
