// The updater's path joining, update-message conversion and update plan, as tables. They go
// through the platform interface only (the profile reader, files), so the same tables run on the
// host stand-in and on Windows.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "config/profile.h"
#include "tests/test_support.h"
#include "updater/startup.h"
#include "updater/update_plan.h"

namespace {

struct JoinCase {
  const char* name;
  std::string path;  // what the buffer holds before; may lack a terminator within `size`
  uint32_t size;
  const char* component;
  int result;
  std::string joined;  // the buffer's first bytes after the call, both zero bytes included
};

TEST(AppendPathComponent, Table) {
  const std::string b247(247, 'b');
  const JoinCase cases[] = {
      {"a folder ending in a letter gets one backslash", "C:\\Game", 260, "SETUP.INI", 1,
       std::string("C:\\Game\\SETUP.INI\0\0", 19)},
      {"a backslash at the end is kept as the separator", "C:\\TEMP\\", 260, "UPDATE.INI", 1,
       std::string("C:\\TEMP\\UPDATE.INI\0\0", 20)},
      {"a slash at the end too", "C:/TEMP/", 260, "UPDATE.INI", 1,
       std::string("C:/TEMP/UPDATE.INI\0\0", 20)},
      {"an empty path gives the bare name", "", 260, "UPDATE.INI", 1,
       std::string("UPDATE.INI\0\0", 12)},
      {"an empty component leaves a separator", "C:\\Game", 260, "", 1,
       std::string("C:\\Game\\\0\0", 10)},
      // The last byte alone decides, as the scripts expect: 表 is 0x95 0x5C.
      {"a final second byte 0x5C counts as a separator", "C:\\表", 260, "a", 1,
       std::string("C:\\表a\0\0", 8)},
      {"the result and two zeros exactly fill the buffer", b247, 260, "UPDATE.INI", 1,
       b247 + std::string("\\UPDATE.INI\0\0", 13)},
      {"one byte more does not fit and changes nothing", b247 + "b", 260, "UPDATE.INI", 0,
       b247 + std::string("b\0", 2)},
      {"a buffer without a terminator is refused", std::string(8, 'x'), 8, "y", 0,
       std::string(8, 'x')},
  };
  for (const JoinCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<char> buffer(c.size + 8, '#');
    memcpy(buffer.data(), c.path.data(), std::min<size_t>(c.path.size(), c.size));
    if (c.path.size() < c.size) buffer[c.path.size()] = '\0';
    EXPECT_EQ(AppendPathComponent(buffer.data(), c.size, c.component), c.result);
    EXPECT_EQ(std::string(buffer.data(), c.joined.size()), c.joined);
    // Nothing past the buffer, whatever happened inside it.
    EXPECT_EQ(std::string(buffer.data() + c.size, 8), std::string(8, '#'));
  }
}

TEST(ConvertUpdateMessage, Table) {
  struct Case {
    const char* name;
    std::string message;
    std::string shown;
  } const cases[] = {
      {"backslash n is one carriage return", "a\\nb", "a\rb"},
      {"no line feed is added", "\\n", "\r"},
      {"a double-byte character ending in 0x5C keeps its n", "表n", "表n"},
      {"other escapes are copied", "a\\tb\\", "a\\tb\\"},
      {"the second backslash of two forms the escape", "a\\\\nb", "a\\\rb"},
      {"a lead byte at the very end is copied", "x\x81", "x\x81"},
      {"empty", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char out[kTextSize];
    memset(out, '#', sizeof out);
    ConvertUpdateMessage(c.message.c_str(), out);
    EXPECT_EQ(std::string(out), c.shown);
  }
}

// ---- The plan -------------------------------------------------------------------------------

struct PlanCase {
  const char* name;
  std::string update;  // the [UPDATE] section's lines
  int32_t mode;
  int32_t updateKeysFound;
  std::vector<std::string> updates;  // "KIND nameOffset path", KIND P, U or D
  int32_t copyKeysFound;
  std::vector<std::string> copies;  // "disk path"
};

std::string Describe(const UpdateEntry& e) {
  const char kind = e.kind == Plain ? 'P' : e.kind == Newer ? 'U' : e.kind == Data ? 'D' : '?';
  return std::string(1, kind) + " " + std::to_string(e.nameOffset) + " " + e.path;
}

std::string Keys(const char* prefix, int from, int to, const char* value) {
  std::string lines;
  char key[32];
  for (int i = from; i <= to; i++) {
    snprintf(key, sizeof key, "%s%02d", prefix, i);
    lines += std::string(key) + "=" + value + "\r\n";
  }
  return lines;
}

std::vector<PlanCase> PlanCases() {
  const std::string longPath(260, 'p');
  return {
      {"an entry for another mode still counts as a key", "UpdateFile00=2,GAME.ARC\r\n", 1, 1,
       {}, 0, {}},
      {"entries keep the order of their keys, without those of other modes",
       "UpdateFile00=2,A.DAT\r\nUpdateFile01=B.DAT\r\nUpdateFile02=1,u,C.DAT\r\n", 1, 1,
       {"P 0 B.DAT", "U 0 C.DAT"}, 0, {}},
      {"the member name is the path's last component",
       "UpdateFile00=bgm\\TITLE.OGG\r\nUpdateFile01=u,a/b.dat\r\n", 0, 1,
       {"P 4 bgm\\TITLE.OGG", "U 0 a/b.dat"}, 0, {}},
      {"a 0x5C second byte is no separator", "UpdateFile00=表\\x.dat\r\nUpdateFile01=表.dat\r\n",
       0, 1, {"P 3 表\\x.dat", "P 0 表.dat"}, 0, {}},
      {"kinds ignore case; a mode alone gives an empty path",
       "UpdateFile00=D,SAVE.DAT\r\nUpdateFile01=1,d\r\nUpdateFile02=5\r\n", 1, 1,
       {"D 0 SAVE.DAT", "D 0 "}, 0, {}},
      {"a fourth field is ignored", "UpdateFile00=1,u,a.dat,b.dat\r\n", 1, 1, {"U 0 a.dat"}, 0,
       {}},
      {"two characters are no mode", "UpdateFile00=12,GAME.ARC\r\nUpdateFile01=1 ,u,X\r\n", 3, 1,
       {"P 0 12", "P 0 1 "}, 0, {}},
      {"a list ends at its first gap", "UpdateFile01=GAME.ARC\r\nCopyFile01=x\r\n", 1, 0, {}, 0,
       {}},
      {"sixteen keys at most", Keys("UpdateFile", 0, 16, "u,X.DAT") + Keys("CopyFile", 0, 16, "y"),
       1, 1, std::vector<std::string>(16, "U 0 X.DAT"), 1, std::vector<std::string>(16, "0 y")},
      {"a path too long to keep is kept empty, in its place",
       "UpdateFile00=" + longPath + "\r\nUpdateFile01=B.DAT\r\n", 1, 1, {"P -1 ", "P 0 B.DAT"}, 0,
       {}},
      {"copy entries: mode, disk and path by position",
       "CopyFile00=1,\r\nCopyFile01=3:\r\nCopyFile02=1,2:movie\r\nCopyFile03=2,1:other\r\n"
       "CopyFile04=movie,extra\r\nCopyFile05=1:a b\r\n",
       1, 0, {}, 1, {"0 ", "3 ", "2 movie", "0 movie,extra", "1 a b"}},
      {"a copy mode need not be a digit", "CopyFile00=A,movie\r\n", 17, 0, {}, 1, {"0 movie"}},
      {"a copy disk need not be a digit", "CopyFile00=A:movie\r\n", 1, 0, {}, 1, {"17 movie"}},
      {"a copy path too long to keep is refused, named by the value's beginning",
       "CopyFile00=1:" + longPath + "\r\nCopyFile01=2:x\r\n", 1, 0, {}, 1,
       {"-1000 1:" + longPath.substr(0, 257), "2 x"}},
  };
}

TEST(BuildUpdatePlan, Table) {
  ScratchDir dir;
  for (const PlanCase& c : PlanCases()) {
    SCOPED_TRACE(c.name);
    ResetUpdaterState();
    QuietMissingKeys = 1;
    const std::string script = dir.File("UPDATE.INI");
    WriteFileOrDie(script, Bytes("[SETUP]\r\nCompanyName=x\r\n[UPDATE]\r\n" + c.update));
    ASSERT_LT(script.size(), sizeof ScriptPath);
    memcpy(ScriptPath, script.c_str(), script.size() + 1);
    UpdateSettings.InstMode = c.mode;
    // A plan left over from an earlier build must not show through.
    UpdatePlan.updateCount = 7;
    UpdatePlan.copyCount = 7;
    UpdatePlan.updateKeysFound = UpdatePlan.copyKeysFound = 1;
    BuildUpdatePlan();
    EXPECT_EQ(UpdatePlan.updateKeysFound, c.updateKeysFound);
    EXPECT_EQ(UpdatePlan.copyKeysFound, c.copyKeysFound);
    std::vector<std::string> updates, copies;
    for (int32_t i = 0; i < UpdatePlan.updateCount; i++) {
      updates.push_back(Describe(UpdatePlan.updates[i]));
    }
    for (int32_t i = 0; i < UpdatePlan.copyCount; i++) {
      copies.push_back(std::to_string(UpdatePlan.copies[i].disk) + " " +
                       UpdatePlan.copies[i].path);
    }
    EXPECT_EQ(updates, c.updates);
    EXPECT_EQ(copies, c.copies);
  }
  ResetUpdaterState();
}

}  // namespace
