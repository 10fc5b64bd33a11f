// The key readers, their missing-key reports, the number conversion and the list tokenizer.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include "config/profile.h"
#include "tests/config_test_support.h"
#include "tests/test_support.h"

namespace {

// ---- Tokens ------------------------------------------------------------------------------------

struct TokenCase {
  const char* name;
  std::string value;  // the list bytes; a NUL is added after them
  int32_t diskBefore;
  uint32_t slot;
  std::vector<std::pair<std::string, int32_t>> tokens;  // each token and the disk number after it
};

std::vector<TokenCase> TokenCases() {
  const std::string a300(300, 'a');
  const std::string a258(258, 'a');
  return {
      {"spaces before skipped, after kept", "a , b", 0, 260, {{"a ", 0}, {"b", 0}}},
      {"tabs are not skipped", "\ta", 0, 260, {{"\ta", 0}}},
      {"empty field ends the list", "a,,b", 0, 260, {{"a", 0}}},
      {"field of spaces ends the list", "a,  ,b", 0, 260, {{"a", 0}}},
      {"empty list", "", 0, 260, {}},
      {"disk numbers stick", "1:a,b,3:c,d", 0, 260, {{"a", 1}, {"b", 1}, {"c", 3}, {"d", 3}}},
      {"no prefix keeps the number from before", "a,b", 7, 260, {{"a", 7}, {"b", 7}}},
      {"prefix only", "2:", 0, 260, {{"", 2}}},
      {"spaces before the prefix skipped, after it kept", " 4: x", 0, 260, {{" x", 4}}},
      {"a drive letter is a prefix of disk 0", "C:\\GAME\\X", 5, 260, {{"\\GAME\\X", 0}}},
      {"CR and LF delimit", "a\rb", 0, 260, {{"a", 0}, {"b", 0}}},
      {"double-byte characters with second byte 0x5C", "表,ソ", 0, 260,
       {{"表", 0}, {"ソ", 0}}},
      // A value that fills its buffer: no second zero byte, stale text after the terminator.
      {"the list ends at the terminating NUL", std::string("a,b\0X,Y", 7), 0, 260,
       {{"a", 0}, {"b", 0}}},
      {"long token cut to the slot", a300 + ",b", 0, 260, {{std::string(259, 'a'), 0}, {"b", 0}}},
      {"cut drops a character it would split", a258 + "表c,z", 0, 260, {{a258, 0}, {"z", 0}}},
      {"slot of one byte", "abc,d", 0, 1, {{"", 0}, {"", 0}}},
  };
}

TEST_F(ConfigTest, NextListTokenTable) {
  for (const TokenCase& c : TokenCases()) {
    SCOPED_TRACE(c.name);
    // Exactly the value and its NUL, so that a read past them is seen by the sanitizers.
    std::vector<char> value(c.value.begin(), c.value.end());
    value.push_back('\0');
    CurrentDiskNumber = c.diskBefore;
    const char* cursor = value.data();
    for (const auto& [token, disk] : c.tokens) {
      std::vector<char> slot(c.slot + 4, '\x7E');
      ASSERT_EQ(NextListToken(slot.data(), c.slot, &cursor), 1);
      EXPECT_EQ(std::string(slot.data()), token);
      EXPECT_EQ(CurrentDiskNumber, disk);
      EXPECT_EQ(std::string(slot.data() + c.slot, 4), "\x7E\x7E\x7E\x7E");
    }
    // The end, and it stays the end; nothing is written then.
    char untouched[4] = "zz";
    EXPECT_EQ(NextListToken(untouched, sizeof untouched, &cursor), 0);
    EXPECT_EQ(NextListToken(untouched, sizeof untouched, &cursor), 0);
    EXPECT_STREQ(untouched, "zz");
  }
}

TEST(ListDelimiter, OnlyNulLfCrAndComma) {
  for (int c = 0; c < 256; c++) {
    const bool delimiter = c == 0 || c == '\n' || c == '\r' || c == ',';
    EXPECT_EQ(IsListDelimiter(static_cast<uint8_t>(c)), delimiter ? 1 : 0) << c;
  }
}

// ---- Key readers -------------------------------------------------------------------------------

struct ReadCase {
  const char* name;
  std::string file;  // empty: no file
  bool setupReader;  // ReadSetupKey, else ReadProfileKey
  const char* section;
  std::string key;
  uint32_t size;
  int32_t quiet;
  int result;
  std::string value;
  std::string message;  // empty: no box
};

std::vector<ReadCase> ReadCases() {
  return {
      {"present", "[SETUP]\r\nk=v w\r\n", true, "SETUP", "k", 16, 0, 1, "v w", ""},
      {"empty value is missing", "[SETUP]\r\nk=\r\n", true, "SETUP", "k", 16, 0, 0, "",
       "SETUP.INI : k キーが存在しません"},
      {"missing and quiet", "[SETUP]\r\n", true, "SETUP", "k", 16, 1, 0, "", ""},
      {"only section SETUP is read", "[OTHER]\r\nk=v\r\n", true, "SETUP", "k", 16, 0, 0, "",
       "SETUP.INI : k キーが存在しません"},
      {"long value cut without report", "[SETUP]\r\nk=abcdefghijklmnop\r\n", true, "SETUP", "k",
       8, 0, 1, "abcdefg", ""},
      {"profile key of a missing file names section and key", "", false, "SETUP", "GameClass",
       260, 0, 0, "", "SETUP : GameClass キーが存在しません"},
      {"profile key, other section", "[SETUP]\r\nk=v\r\n", false, "UPDATE", "k", 260, 0, 0, "",
       "UPDATE : k キーが存在しません"},
      {"profile key present", "[UPDATE]\r\nk=v\r\n", false, "UPDATE", "k", 260, 0, 1, "v", ""},
      {"message of a huge key name is cut to the buffer", "[SETUP]\r\n", true, "SETUP",
       std::string(1100, 'k'), 16, 0, 0, "", "SETUP.INI : " + std::string(1011, 'k')},
  };
}

TEST_F(ConfigTest, KeyReaderTable) {
  ScratchDir dir;
  const std::vector<ReadCase> cases = ReadCases();
  for (size_t i = 0; i < cases.size(); i++) {
    const ReadCase& c = cases[i];
    SCOPED_TRACE(c.name);
    const std::string path = dir.File("r" + std::to_string(i) + ".ini");
    if (!c.file.empty()) WriteFileOrDie(path, Bytes(c.file));
    snprintf(SetupIniPath, sizeof SetupIniPath, "%s", path.c_str());
    QuietMissingKeys = c.quiet;

    std::vector<char> out(c.size + 4, '\x7E');  // the reader zero-fills the size it is given
    const int result = c.setupReader
                           ? ReadSetupKey(c.key.c_str(), out.data(), c.size)
                           : ReadProfileKey(c.section, c.key.c_str(), out.data(), c.size,
                                            path.c_str());
    EXPECT_EQ(result, c.result);
    std::string expected = c.value;
    expected.resize(c.size, '\0');
    EXPECT_EQ(std::string(out.data(), c.size), expected);
    EXPECT_EQ(std::string(out.data() + c.size, 4), "\x7E\x7E\x7E\x7E");
    ExpectCommonErrors(c.message.empty() ? std::vector<std::string>{}
                                         : std::vector<std::string>{c.message});
    EXPECT_EQ(QuietMissingKeys, c.quiet);
  }
}

TEST_F(ConfigTest, ReportsAreOwnedByTheWizard) {
  WizardWindow = reinterpret_cast<PlatWindow>(static_cast<uintptr_t>(0x1234));
  EXPECT_EQ(ReportCommonError("x"), PlatIdOk);
  ExpectCommonErrors({"x"}, WizardWindow);
}

// ---- Numbers -----------------------------------------------------------------------------------

struct IntCase {
  const char* value;  // nullptr: no key
  int result;
  int32_t number;
};

TEST_F(ConfigTest, ReadSetupIntTable) {
  const IntCase cases[] = {
      {"42", 1, 42},
      {"abc", 1, 0},
      {"12ab", 1, 12},
      {"\" \t+7\"", 1, 7},  // quotes keep the blanks for the conversion to skip
      {"-42", 1, -42},
      {"- 5", 1, 0},
      {"2147483647", 1, 2147483647},
      {"2147483648", 1, 2147483647},
      {"-2147483648", 1, INT32_MIN},
      {"-2147483649", 1, INT32_MIN},
      {"0000000000000000001234567", 1, 1},  // only the first 19 bytes are seen
      {nullptr, 0, 77},
  };
  ScratchDir dir;
  QuietMissingKeys = 1;
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
    const IntCase& c = cases[i];
    SCOPED_TRACE(c.value ? c.value : "(no key)");
    const std::string path = dir.File("n" + std::to_string(i) + ".ini");
    WriteFileOrDie(path, Bytes(c.value ? std::string("[SETUP]\r\nn=") + c.value + "\r\n"
                                       : std::string("[SETUP]\r\n")));
    snprintf(SetupIniPath, sizeof SetupIniPath, "%s", path.c_str());
    int32_t number = 77;
    EXPECT_EQ(ReadSetupInt("n", &number), c.result);
    EXPECT_EQ(number, c.number);
  }
  ExpectCommonErrors({});
}

TEST(ParseInt32, SaturatesLongNumbers) {
  EXPECT_EQ(ParseInt32("99999999999999999999999999999"), INT32_MAX);
  EXPECT_EQ(ParseInt32("-99999999999999999999999999999"), INT32_MIN);
  EXPECT_EQ(ParseInt32("\n\v\f\r 12"), 12);
  EXPECT_EQ(ParseInt32("+"), 0);
  EXPECT_EQ(ParseInt32(""), 0);
}

TEST_F(ConfigTest, ReadSetupNumberTextSeesNineteenBytes) {
  ScratchDir dir;
  const std::string path = dir.File("t.ini");
  WriteFileOrDie(path, Bytes("[SETUP]\r\nn=12345678901234567890123\r\n"));
  snprintf(SetupIniPath, sizeof SetupIniPath, "%s", path.c_str());
  char out[kNumberTextSize + 1];
  out[kNumberTextSize] = '\x7E';
  EXPECT_EQ(ReadSetupNumberText("n", out), 1);
  EXPECT_STREQ(out, "1234567890123456789");
  EXPECT_EQ(out[kNumberTextSize], '\x7E');
  EXPECT_EQ(ReadSetupNumberText("m", out), 0);
  EXPECT_EQ(std::string(out, kNumberTextSize), std::string(kNumberTextSize, '\0'));
  ExpectCommonErrors({"SETUP.INI : m キーが存在しません"});
}

}  // namespace
