// The xra commands called in the test's own process, on both builds: on Windows (under Wine)
// with the system's path rules, on Linux with its own. Paths go through the platform calls,
// which take the system's bytes (the ANSI code page on Windows, 932 under the suite's Wine).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/test_support.h"
#include "tools/xra/xra.h"

namespace {

int RunCommand(int (*command)(int, char**), std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  return command(static_cast<int>(args.size()), argv.data());
}

bool IsFile(const std::string& path) {
  const uint32_t attributes = PlatGetFileAttributes(path.c_str());
  return attributes != PlatAttrInvalid && !(attributes & PlatAttrDirectory);
}

// Folders whose name ends in a double-byte character with 0x5C as its second byte (表, 機能, ソ):
// a member asked to go into one goes into it, not beside it under a joined name.
TEST(XraInProcess, ExtractIntoAFolderWhoseLastCharacterEndsIn5C) {
  InitSystem();
  ScratchDir dir;
  const std::string package = dir.File("s.xra");
  WriteFileOrDie(package, StoredPackage({StoredMember("CONFIG.DAT", Bytes("config"))}));
  for (const std::string name : {"\x95\x5C", "\x8B\x40\x94\x5C", "\x83\x5C"}) {
    const std::string folder = dir.File(name);
    ASSERT_TRUE(PlatCreateDirectory(folder.c_str()));
    EXPECT_EQ(RunCommand(CommandExtract, {"extract", package, "-C", folder, "CONFIG.DAT"}), 0);
    EXPECT_TRUE(IsFile(folder + "/CONFIG.DAT")) << testing::PrintToString(name);
    EXPECT_FALSE(IsFile(folder + "CONFIG.DAT")) << testing::PrintToString(name);
    PlatDeleteFile((folder + "/CONFIG.DAT").c_str());
  }
  // A folder that ends in a separator takes the name directly.
  const std::string trailing = dir.File("t") + (PlatFolderLength("a\\") == 2 ? "\\" : "/");
  ASSERT_TRUE(PlatCreateDirectory(trailing.c_str()));
  EXPECT_EQ(RunCommand(CommandExtract, {"extract", package, "-C", trailing}), 0);
  EXPECT_TRUE(IsFile(trailing + "CONFIG.DAT"));
}

// Every write goes through a new temporary file, none of which is left, and a package made again
// over itself stays whole.
TEST(XraInProcess, RepeatedWritesLeaveNoTemporaryFiles) {
  InitSystem();
  ScratchDir dir;
  const std::string input = dir.File("GAME.ARC");
  WriteFileOrDie(input, std::vector<uint8_t>(5000, 'g'));
  const std::string package = dir.File("p.xra");
  for (int i = 0; i < 20; i++) {
    ASSERT_EQ(RunCommand(CommandCreate, {"create", package, input}), 0);
    ASSERT_EQ(RunCommand(CommandExtract, {"extract", package, "-C", dir.path()}), 0);
  }
  EXPECT_EQ(ReadFileOrDie(input), std::vector<uint8_t>(5000, 'g'));
  EXPECT_EQ(RunCommand(CommandTest, {"test", package}), 0);
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"GAME.ARC", "p.xra"}));
  // The package refuses to be written over its own input.
  EXPECT_EQ(RunCommand(CommandCreate, {"create", input, input}), kExitData);
  EXPECT_EQ(ReadFileOrDie(input), std::vector<uint8_t>(5000, 'g'));
}

}  // namespace
