// The update script: its [SETUP] section as start-up reads it, and the syntax of the [UPDATE]
// entry values.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "config/profile.h"
#include "config/update_script.h"
#include "tests/config_test_support.h"
#include "tests/test_support.h"

namespace {

// ---- [SETUP] -----------------------------------------------------------------------------------

struct SetupCase {
  const char* name;
  std::string file;  // empty: no file
  int result;
  std::vector<std::string> messages;
  int32_t quietAfter;
  // The identity and the optional fields afterwards; "-" where a field must be left untouched.
  std::vector<std::string> identity;
  std::vector<std::string> optional;
};

const char kIdentity[] =
    "[SETUP]\r\nCompanyName=SampleWorks\r\nGameTitle=サンプル\r\nGameClass=SampleWnd\r\n"
    "GameDir=SampleGame\r\n";

std::vector<SetupCase> SetupCases() {
  const std::vector<std::string> identity = {"SampleWorks", "サンプル", "SampleWnd",
                                             "SampleGame"};
  return {
      {"all keys",
       std::string(kIdentity) +
           "GameTitleA=Other\r\nUpdaterVersion=1.01\r\nUpdaterTitle=Title\r\nDataFolder=data\r\n"
           "UpdateMessage=Close the game.\\nThen press OK.\r\n",
       1,
       {},
       1,
       identity,
       {"Other", "1.01", "Title", "data", "Close the game.\\nThen press OK."}},
      {"optional keys missing", kIdentity, 1, {}, 1, identity, {"", "", "", "", ""}},
      {"values longer than their fields are cut",
       std::string(kIdentity) + "DataFolder=" + std::string(300, 'd') + "\r\nUpdateMessage=" +
           std::string(1100, 'm') + "\r\n",
       1,
       {},
       1,
       identity,
       {"", "", "", std::string(259, 'd'), std::string(1023, 'm')}},
      {"missing GameClass stops before GameDir",
       "[SETUP]\r\nCompanyName=C\r\nGameTitle=T\r\nGameDir=D\r\nUpdaterTitle=U\r\n",
       0,
       {"SETUP : GameClass キーが存在しません"},
       0,
       {"C", "T", "", "-"},
       {"-", "-", "-", "-", "-"}},
      {"empty CompanyName is missing", "[SETUP]\r\nCompanyName=\r\nGameTitle=T\r\n", 0,
       {"SETUP : CompanyName キーが存在しません"}, 0, {"", "-", "-", "-"},
       {"-", "-", "-", "-", "-"}},
      {"no script file", "", 0, {"SETUP : CompanyName キーが存在しません"}, 0,
       {"", "-", "-", "-"}, {"-", "-", "-", "-", "-"}},
  };
}

TEST_F(ConfigTest, ReadScriptSetupTable) {
  ScratchDir dir;
  const std::vector<SetupCase> cases = SetupCases();
  for (size_t i = 0; i < cases.size(); i++) {
    const SetupCase& c = cases[i];
    SCOPED_TRACE(c.name);
    ResetConfigState();
    char* identity[] = {GameIdentity.CompanyName, GameIdentity.GameTitle, GameIdentity.GameClass,
                        GameIdentity.GameDir};
    for (char* field : identity) strcpy(field, "-");
    ScriptSetupRecord setup;
    char* optional[] = {setup.GameTitleA, setup.UpdaterVersion, setup.UpdaterTitle,
                        setup.DataFolder, setup.UpdateMessage};
    for (char* field : optional) strcpy(field, "-");

    const std::string path = dir.File("update" + std::to_string(i) + ".ini");
    if (!c.file.empty()) WriteFileOrDie(path, Bytes(c.file));
    EXPECT_EQ(ReadScriptSetup(path.c_str(), &setup), c.result);
    ExpectCommonErrors(c.messages);
    EXPECT_EQ(QuietMissingKeys, c.quietAfter);
    for (int f = 0; f < 4; f++) EXPECT_EQ(std::string(identity[f]), c.identity[f]) << f;
    for (int f = 0; f < 5; f++) EXPECT_EQ(std::string(optional[f]), c.optional[f]) << f;
  }
}

// ---- UpdateFileNN values -----------------------------------------------------------------------

struct UpdateValueCase {
  std::string value;
  int result;
  int32_t hasMode;
  int32_t mode;
  EntryKind kind;
  std::string path;
  int32_t nameOffset;
};

TEST_F(ConfigTest, SplitUpdateFileValueTable) {
  const std::string long259 = std::string(255, 'p') + "\\x.a";
  const std::string long260 = std::string(256, 'p') + "\\x.a";
  const UpdateValueCase cases[] = {
      {"GAME.ARC", 1, 0, 0, Plain, "GAME.ARC", 0},
      {"2,u,bgm\\TITLE.OGG", 1, 1, 2, Newer, "bgm\\TITLE.OGG", 4},
      {"d,SAVE.DAT", 1, 0, 0, Data, "SAVE.DAT", 0},
      {"D,SAVE.DAT", 1, 0, 0, Data, "SAVE.DAT", 0},
      {"U,a\\b\\c", 1, 0, 0, Newer, "a\\b\\c", 4},
      {"5", 1, 1, 5, Plain, "", 0},
      {"12,GAME.ARC", 1, 0, 0, Plain, "12", 0},
      {"1 ,u,GAME.ARC", 1, 0, 0, Plain, "1 ", 0},
      {"u,u", 1, 0, 0, Newer, "u", 0},
      {"1,d", 1, 1, 1, Data, "", 0},
      {"1,u,a.dat,b.dat", 1, 1, 1, Newer, "a.dat", 0},
      {" 3, d , x", 1, 1, 3, Plain, "d ", 0},  // "d " is no kind
      {",GAME.ARC", 1, 0, 0, Plain, "", 0},      // an empty first field ends the list
      {"C:\\GAME\\X.ARC", 1, 0, 0, Plain, "\\GAME\\X.ARC", 6},
      {"a/b.dat", 1, 0, 0, Plain, "a/b.dat", 0},
      {"data\\表.DAT", 1, 0, 0, Plain, "data\\表.DAT", 5},
      {"表ソ.DAT", 1, 0, 0, Plain, "表ソ.DAT", 0},
      {"u," + long259, 1, 0, 0, Newer, long259, 256},
      // A path that does not fit is refused rather than cut into another name.
      {"u," + long260, 0, 0, 0, Newer, "", 0},
      {"1,u," + std::string(1019, 'p'), 0, 1, 1, Newer, "", 0},
      {"x," + std::string(300, 'i'), 1, 0, 0, Plain, "x", 0},  // the long field is ignored
  };
  for (const UpdateValueCase& c : cases) {
    SCOPED_TRACE(c.value);
    std::vector<char> value(c.value.begin(), c.value.end());
    value.push_back('\0');
    UpdateFileFields fields;
    memset(&fields, 0x7E, sizeof fields);
    EXPECT_EQ(SplitUpdateFileValue(value.data(), &fields), c.result);
    EXPECT_EQ(fields.hasMode, c.hasMode);
    if (c.hasMode) {
      EXPECT_EQ(fields.mode, c.mode);
    }
    EXPECT_EQ(fields.kind, c.kind);
    EXPECT_EQ(std::string(fields.path), c.path);
    EXPECT_EQ(fields.nameOffset, c.nameOffset);
  }
}

TEST(PathNameOffset, StepsOverDoubleByteCharacters) {
  const struct {
    std::string path;
    int32_t offset;
  } cases[] = {
      {"", 0},
      {"a\\", 2},
      {"\\a", 1},
      {"表", 0},                  // 95 5C: the 0x5C is a second byte
      {"表\\x", 3},
      {"a\\\x95", 2},             // a lead byte before the terminator is stepped alone
      {"\x95\\\\x", 3},           // the first 0x5C is the lead byte's partner
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    std::vector<char> path(c.path.begin(), c.path.end());
    path.push_back('\0');
    EXPECT_EQ(PathNameOffset(path.data()), c.offset);
  }
}

// ---- CopyFileNN values -------------------------------------------------------------------------

struct CopyValueCase {
  std::string value;
  int result;
  int32_t hasMode;
  int32_t mode;
  int32_t disk;
  std::string path;
};

TEST(SplitCopyFileValue, Table) {
  const CopyValueCase cases[] = {
      {"1,2:movie", 1, 1, 1, 2, "movie"},
      {"1:manual\\readme.txt", 1, 0, 0, 1, "manual\\readme.txt"},
      {"A,movie", 1, 1, 17, 0, "movie"},
      {"movie,extra", 1, 0, 0, 0, "movie,extra"},
      {"1,", 1, 1, 1, 0, ""},
      {"3:", 1, 0, 0, 3, ""},
      {"0:x", 1, 0, 0, 0, "x"},
      {"x:y", 1, 0, 0, 72, "y"},
      {"\xE0:y", 1, 0, 0, -80, "y"},  // a signed byte
      {" 1,x", 1, 0, 0, 0, " 1,x"},
      {"a", 1, 0, 0, 0, "a"},
      {"", 1, 0, 0, 0, ""},
      {"1,2:" + std::string(259, 'p'), 1, 1, 1, 2, std::string(259, 'p')},
      {"1,2:" + std::string(260, 'p'), 0, 1, 1, 2, ""},
  };
  for (const CopyValueCase& c : cases) {
    SCOPED_TRACE(c.value);
    std::vector<char> value(c.value.begin(), c.value.end());
    value.push_back('\0');
    CopyFileFields fields;
    memset(&fields, 0x7E, sizeof fields);
    EXPECT_EQ(SplitCopyFileValue(value.data(), &fields), c.result);
    EXPECT_EQ(fields.hasMode, c.hasMode);
    if (c.hasMode) {
      EXPECT_EQ(fields.mode, c.mode);
    }
    EXPECT_EQ(fields.disk, c.disk);
    EXPECT_EQ(std::string(fields.path), c.path);
  }
}

// ---- Key names and numbers ---------------------------------------------------------------------

TEST(EntryKeyNames, TwoDigitIndexes) {
  char name[kEntryKeyNameSize];
  UpdateFileKeyName(0, name);
  EXPECT_STREQ(name, "UpdateFile00");
  UpdateFileKeyName(15, name);
  EXPECT_STREQ(name, "UpdateFile15");
  CopyFileKeyName(7, name);
  EXPECT_STREQ(name, "CopyFile07");
  CopyFileKeyName(INT32_MIN, name);
  EXPECT_STREQ(name, "CopyFile-2147483648");
}

TEST_F(ConfigTest, ReadScriptNumberTable) {
  ScratchDir dir;
  const std::string path = dir.File("update.ini");
  WriteFileOrDie(path, Bytes("[SETUP]\r\nOverwriteOnly=1\r\n"
                             "[UPDATE]\r\nRequiredDiskSpace=8000000\r\nLetters=abc\r\n"
                             "Huge=99999999999\r\nNegative= -5x\r\nEmpty=\r\n"));
  QuietMissingKeys = 1;
  const struct {
    const char* key;
    int result;
    int32_t number;
  } cases[] = {
      {"RequiredDiskSpace", 1, 8000000}, {"Letters", 1, 0},       {"Huge", 1, 2147483647},
      {"Negative", 1, -5},               {"Empty", 0, 77},        {"OverwriteOnly", 0, 77},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    int32_t number = 77;
    EXPECT_EQ(ReadScriptNumber(path.c_str(), c.key, &number), c.result);
    EXPECT_EQ(number, c.number);
  }
  ExpectCommonErrors({});
}

}  // namespace
