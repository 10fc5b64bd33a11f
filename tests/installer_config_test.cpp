// SETUP.INI loading: one table of small files, each a change to a file that loads, with the
// result, the exact messages and the fields that show the rule.
#include <gtest/gtest.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "config/installer_config.h"
#include "config/profile.h"
#include "tests/config_test_support.h"
#include "tests/test_support.h"

namespace {

struct Line {
  std::string key;
  std::string value;
  bool remove;
};
Line Set(const std::string& key, const std::string& value) { return Line{key, value, false}; }
Line Drop(const std::string& key) { return Line{key, "", true}; }

std::string Names(const char* stem, int count, int width = 0) {
  std::string list;
  for (int i = 0; i < count; i++) {
    std::string name = stem + std::to_string(i);
    if (width > 0) name.resize(static_cast<size_t>(width), 'n');
    list += (i ? "," : "") + name;
  }
  return list;
}

std::string SetupIni(const std::vector<Line>& changes) {
  std::vector<Line> lines = {
      Set("CompanyName", "Company"),   Set("GameTitle", "ゲーム"),
      Set("GameDir", "GameDir"),       Set("GameExe", "GAME.EXE"),
      Set("UninstExe", "UNINST.EXE"),  Set("SetupBmp", "a.bmp,b.bmp"),
      Set("InstallSelects", "1"),      Set("InstallTitle0", "標準"),
      Set("InstallFiles0", "GAME.EXE"), Set("Shortcuts", "1"),
      Set("Shortcut0", "Game,GAME.EXE"),
  };
  for (const Line& change : changes) {
    bool found = false;
    for (Line& line : lines) {
      if (line.key == change.key) {
        line = change;
        found = true;
      }
    }
    if (!found) lines.push_back(change);
  }
  std::string text = "[OTHER]\r\nGameExe=NOT.EXE\r\n[SETUP]\r\n";
  for (const Line& line : lines) {
    if (!line.remove) text += line.key + "=" + line.value + "\r\n";
  }
  return text;
}

using Check = std::function<void(const InstallerConfigRecord&)>;

struct LoadCase {
  const char* name;
  std::vector<Line> changes;
  int32_t quiet;
  int result;
  std::vector<std::string> messages;
  Check check;
};

Check DirectX(uint32_t word) {
  return [word](const InstallerConfigRecord& c) { EXPECT_EQ(c.InstallDirectX, word); };
}

std::vector<LoadCase> Cases() {
  return {
      {"a file that loads",
       {},
       0,
       1,
       {},
       [](const InstallerConfigRecord& c) {
         EXPECT_STREQ(GameIdentity.CompanyName, "Company");
         EXPECT_STREQ(GameIdentity.GameTitle, "ゲーム");
         EXPECT_STREQ(GameIdentity.GameDir, "GameDir");
         // No GameClass key: SETUP.INI's title, not the script's class.
         EXPECT_STREQ(GameIdentity.GameClass, "ゲーム");
         EXPECT_STREQ(c.GameExe, "GAME.EXE");
         EXPECT_STREQ(c.UninstExe, "UNINST.EXE");
         EXPECT_STREQ(c.SetupBmps[0], "a.bmp");
         EXPECT_STREQ(c.SetupBmps[1], "b.bmp");
         EXPECT_STREQ(c.SetupBmps[2], "");
         EXPECT_EQ(c.LastSetupBmp, 1);
         EXPECT_EQ(c.InstallSelects, 1);
         EXPECT_STREQ(c.InstallTitles[0], "標準");
         EXPECT_STREQ(c.InstallFiles[0][0], "GAME.EXE");
         EXPECT_STREQ(c.InstallFiles[0][1], "");
         EXPECT_EQ(c.Shortcuts, 1);
         EXPECT_STREQ(c.ShortcutFields[0][0], "Game");
         EXPECT_STREQ(c.ShortcutFields[0][1], "GAME.EXE");
         EXPECT_STREQ(c.ShortcutFields[0][2], "");
         EXPECT_EQ(c.DefaultSelect, 0);
         EXPECT_EQ(c.InstallSizes[0], 0u);
         for (const auto& file : c.DiskCheckFiles) EXPECT_STREQ(file, "");
         EXPECT_STREQ(c.ExecApp[0], "");
         EXPECT_STREQ(c.ExecApp[1], "");
         EXPECT_EQ(c.InstallDirectX, 0u);
         EXPECT_STREQ(c.InstallDXMessage, "ＤｉｒｅｃｔＸをインストールする");
         EXPECT_STREQ(c.SelectSetupMessage, "インストール方法を選択して下さい");
         EXPECT_EQ(c.AdditionalUninstallCount, 0);
         EXPECT_EQ(QuietMissingKeys, 1);
       }},
      {"optional keys present",
       {Set("GameClass", "GameWnd"), Set("DefaultSelect", "2"), Set("InstallDXMessage", "dx"),
        Set("SelectSetupMessage", "sel"), Set("ExecApp", "a.exe, b c")},
       0,
       1,
       {},
       [](const InstallerConfigRecord& c) {
         EXPECT_STREQ(GameIdentity.GameClass, "GameWnd");
         EXPECT_EQ(c.DefaultSelect, 2);
         EXPECT_STREQ(c.InstallDXMessage, "dx");
         EXPECT_STREQ(c.SelectSetupMessage, "sel");
         EXPECT_STREQ(c.ExecApp[0], "a.exe");
         EXPECT_STREQ(c.ExecApp[1], "b c");
       }},
      // Mandatory keys
      {"missing UninstExe is reported",
       {Drop("UninstExe")},
       0,
       0,
       {"SETUP.INI : UninstExe キーが存在しません"},
       [](const InstallerConfigRecord&) { EXPECT_EQ(QuietMissingKeys, 0); }},
      {"missing UninstExe, quiet", {Drop("UninstExe")}, 1, 0, {}, nullptr},
      {"empty GameExe is missing",
       {Set("GameExe", "")},
       0,
       0,
       {"SETUP.INI : GameExe キーが存在しません"},
       nullptr},
      {"missing InstallSelects",
       {Drop("InstallSelects")},
       0,
       0,
       {"SETUP.INI : InstallSelects キーが存在しません"},
       nullptr},
      {"missing InstallTitle0",
       {Drop("InstallTitle0")},
       0,
       0,
       {"SETUP.INI : InstallTitle0 キーが存在しません"},
       nullptr},
      {"missing Shortcut0",
       {Drop("Shortcut0")},
       0,
       0,
       {"SETUP.INI : Shortcut0 キーが存在しません"},
       nullptr},
      // SetupBmp
      {"SetupBmp beginning with a comma", {Set("SetupBmp", ",a.bmp")}, 0, 0,
       {"SETUP.INI : SetupBmps エラー"}, nullptr},
      {"SetupBmp of one name",
       {Set("SetupBmp", "only.bmp")},
       0,
       1,
       {},
       [](const InstallerConfigRecord& c) {
         EXPECT_EQ(c.LastSetupBmp, 0);
         EXPECT_STREQ(c.SetupBmps[0], "only.bmp");
         EXPECT_STREQ(c.SetupBmps[1], "");
       }},
      {"SetupBmp of 25 names",
       {Set("SetupBmp", Names("b", 25))},
       0,
       1,
       {},
       [](const InstallerConfigRecord& c) {
         EXPECT_EQ(c.LastSetupBmp, 19);
         EXPECT_STREQ(c.SetupBmps[19], "b19");
       }},
      // InstallSelects and InstallFiles
      {"InstallSelects 3",
       {Set("InstallSelects", "3"), Set("InstallTitle1", "t1"), Set("InstallFiles1", "f1"),
        Set("InstallTitle2", "t2"), Set("InstallFiles2", "f2")},
       0,
       1,
       {},
       [](const InstallerConfigRecord& c) {
         EXPECT_EQ(c.InstallSelects, 3);
         EXPECT_STREQ(c.InstallTitles[2], "t2");
         EXPECT_STREQ(c.InstallFiles[2][0], "f2");
       }},
      {"InstallSelects 4", {Set("InstallSelects", "4")}, 0, 0,
       {"SETUP.INI : InstallSelect オーバー"}, nullptr},
      {"InstallSelects 0 reads no choice",
       {Set("InstallSelects", "0"), Drop("InstallTitle0"), Drop("InstallFiles0")},
       0,
       1,
       {},
       [](const InstallerConfigRecord& c) { EXPECT_EQ(c.InstallSelects, 0); }},
      {"negative InstallSelects is kept and reads no choice",
       {Set("InstallSelects", "-2"), Drop("InstallTitle0"), Drop("InstallFiles0")},
       0,
       1,
       {},
       [](const InstallerConfigRecord& c) { EXPECT_EQ(c.InstallSelects, -2); }},
      {"InstallFiles0 beginning with a comma", {Set("InstallFiles0", ",a")}, 0, 0,
       {"SETUP.INI : InstallFiles0 エラー"}, nullptr},
      {"disk numbers, reset for each list",
       {Set("InstallSelects", "2"), Set("InstallFiles0", "a,b,2:c,d"), Set("InstallTitle1", "t"),
        Set("InstallFiles1", "e,f")},
       0,
       1,
       {},
       [](const InstallerConfigRecord& c) {
         EXPECT_EQ(std::vector<int32_t>(c.InstallFileDisks[0], c.InstallFileDisks[0] + 4),
                   (std::vector<int32_t>{0, 0, 2, 2}));
         EXPECT_EQ(c.SelectionUsesMedia[0], 1);
         EXPECT_STREQ(c.InstallFiles[0][2], "c");
         EXPECT_EQ(c.InstallFileDisks[1][0], 0);
         EXPECT_EQ(c.InstallFileDisks[1][1], 0);
         EXPECT_EQ(c.SelectionUsesMedia[1], 0);
       }},
      {"InstallFiles0 of 41 names keeps 40",
       {Set("InstallFiles0", Names("f", 41))},
       0,
       1,
       {},
       [](const InstallerConfigRecord& c) {
         for (const auto& name : c.InstallFiles[0]) EXPECT_STRNE(name, "");
         EXPECT_STREQ(c.InstallFiles[0][39], "f39");
       }},
      // Shortcuts
      {"Shortcuts 10",
       {Set("Shortcuts", "10"), Set("Shortcut1", "a,b"), Set("Shortcut2", "a,b"),
        Set("Shortcut3", "a,b"), Set("Shortcut4", "a,b"), Set("Shortcut5", "a,b"),
        Set("Shortcut6", "a,b"), Set("Shortcut7", "a,b"), Set("Shortcut8", "a,b"),
        Set("Shortcut9", "s9,t9,u9")},
       0,
       1,
       {},
       [](const InstallerConfigRecord& c) { EXPECT_STREQ(c.ShortcutFields[9][2], "u9"); }},
      {"Shortcuts 11", {Set("Shortcuts", "11")}, 0, 0, {"SETUP.INI : Shortcuts オーバー"},
       nullptr},
      {"Shortcut0 of one field", {Set("Shortcut0", "Game")}, 0, 0,
       {"SETUP.INI : Shortcut0 エラー"}, nullptr},
      {"Shortcut0 of four fields",
       {Set("Shortcut0", "a,b,c,d")},
       0,
       1,
       {},
       [](const InstallerConfigRecord& c) { EXPECT_STREQ(c.ShortcutFields[0][2], "c"); }},
      // Optional keys
      {"check files with gaps",
       {Set("DiskCheckFile0", "D0"), Set("DiskCheckFile5", "DISK5\\CHECK.DAT"),
        Set("DiskCheckFile9", "D9")},
       0,
       1,
       {},
       [](const InstallerConfigRecord& c) {
         EXPECT_STREQ(c.DiskCheckFiles[0], "D0");
         EXPECT_STREQ(c.DiskCheckFiles[3], "");
         EXPECT_STREQ(c.DiskCheckFiles[5], "DISK5\\CHECK.DAT");
         EXPECT_STREQ(c.DiskCheckFiles[9], "D9");
       }},
      {"ExecApp of one field", {Set("ExecApp", "a.exe")}, 0, 0, {"SETUP.INI : ExecApp エラー"},
       nullptr},
      {"InstallDirectX 0", {Set("InstallDirectX", "0")}, 0, 1, {}, DirectX(0x10000)},
      {"InstallDirectX 1", {Set("InstallDirectX", "1")}, 0, 1, {}, DirectX(0x10008)},
      {"InstallDirectX 2", {Set("InstallDirectX", "2")}, 0, 1, {}, DirectX(0x10010)},
      {"InstallDirectX 3", {Set("InstallDirectX", "3")}, 0, 1, {}, DirectX(0x10018)},
      {"InstallDirectX 4", {Set("InstallDirectX", "4")}, 0, 1, {}, DirectX(0x10000)},
      {"install sizes",
       {Set("InstallSelects", "3"), Set("InstallTitle1", "t"), Set("InstallFiles1", "f"),
        Set("InstallTitle2", "t"), Set("InstallFiles2", "f"),
        Set("InstallSize0", "12345678901234567890"), Set("InstallSize1", "-1"),
        Set("InstallSize2", "abc")},
       0,
       1,
       {},
       [](const InstallerConfigRecord& c) {
         EXPECT_EQ(c.InstallSizes[0], 1234567890123456789ull);
         EXPECT_EQ(c.InstallSizes[1], 0xFFFFFFFFFFFFFFFFull);
         EXPECT_EQ(c.InstallSizes[2], 0u);
       }},
      {"AdditionalUninstallFiles of 25 names",
       {Set("AdditionalUninstallFiles", Names("u", 25))},
       0,
       1,
       {},
       [](const InstallerConfigRecord& c) {
         EXPECT_EQ(c.AdditionalUninstallCount, 20);
         EXPECT_STREQ(c.AdditionalUninstallFiles[19], "u19");
       }},
      {"AdditionalUninstallFiles beginning with a comma",
       {Set("AdditionalUninstallFiles", ",a")},
       0,
       1,
       {},
       [](const InstallerConfigRecord& c) { EXPECT_EQ(c.AdditionalUninstallCount, 0); }},
      // Values longer than their fields
      {"long value and long token are cut to the slot",
       {Set("GameExe", std::string(300, 'g')), Set("SetupBmp", std::string(300, 'b') + ",c")},
       0,
       1,
       {},
       [](const InstallerConfigRecord& c) {
         EXPECT_EQ(std::string(c.GameExe), std::string(259, 'g'));
         EXPECT_EQ(std::string(c.SetupBmps[0]), std::string(259, 'b'));
         EXPECT_STREQ(c.SetupBmps[1], "c");
       }},
      // The shortcut value, read with 260 bytes into the list buffer that held the long
      // SetupBmp, is cut and fills its part; the text behind it is no field.
      {"a shortcut value that fills its buffer",
       {Set("SetupBmp", Names("b", 20, 50)), Set("Shortcut0", "x," + std::string(300, 'y'))},
       0,
       1,
       {},
       [](const InstallerConfigRecord& c) {
         EXPECT_EQ(std::string(c.ShortcutFields[0][1]), std::string(257, 'y'));
         EXPECT_STREQ(c.ShortcutFields[0][2], "");
       }},
  };
}

TEST_F(ConfigTest, LoadInstallerConfigTable) {
  ScratchDir dir;
  const std::vector<LoadCase> cases = Cases();
  for (size_t i = 0; i < cases.size(); i++) {
    const LoadCase& c = cases[i];
    SCOPED_TRACE(c.name);
    ResetConfigState();
    // The script's identity, which the load replaces.
    strcpy(GameIdentity.CompanyName, "ScriptCompany");
    strcpy(GameIdentity.GameTitle, "ScriptTitle");
    strcpy(GameIdentity.GameClass, "ScriptClass");
    strcpy(GameIdentity.GameDir, "ScriptDir");
    const std::string path = dir.File("setup" + std::to_string(i) + ".ini");
    WriteFileOrDie(path, Bytes(SetupIni(c.changes)));
    ASSERT_LT(path.size(), sizeof SetupIniPath);
    strcpy(SetupIniPath, path.c_str());
    QuietMissingKeys = c.quiet;

    EXPECT_EQ(LoadInstallerConfig(), c.result);
    ExpectCommonErrors(c.messages);
    if (c.check) c.check(InstallerConfig);
  }
}

TEST_F(ConfigTest, MissingFileStopsAtTheFirstKey) {
  strcpy(SetupIniPath, "no-such-folder\\SETUP.INI");
  EXPECT_EQ(LoadInstallerConfig(), 0);
  ExpectCommonErrors({"SETUP.INI : CompanyName キーが存在しません"});
}

}  // namespace
