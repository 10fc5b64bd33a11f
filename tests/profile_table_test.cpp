// The profile reader on small files, one table for both backends: on Windows (and under Wine) it
// is the system's reader, on the host the stand-in, so the stand-in is held to the same results.
// Rows where the Windows reader (as Wine implements it: the Windows tests run under Wine) departs
// from the results the logic relies on are kept apart, with the Windows result and its reason.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

struct ProfileCase {
  const char* name;
  std::string file;  // empty: no file at all
  const char* section;
  const char* key;
  uint32_t size;
  uint32_t result;
  std::string value;
};

// A row on which the Windows reader gives another result than the logic relies on.
struct DifferingCase {
  ProfileCase stated;  // what the logic relies on, and the stand-in gives
  uint32_t windowsResult;
  std::string windowsValue;
};

std::string Repeat(char c, size_t n) { return std::string(n, c); }

std::vector<ProfileCase> Cases() {
  const std::string x5000 = Repeat('x', 5000);
  const std::string y1100 = Repeat('y', 1100);
  return {
      // Names
      {"names ignore ASCII case", "[sEtUp]\r\nkEy=v\r\n", "SETUP", "KEY", 16, 1, "v"},
      {"double-byte names with second byte 0x5C", "[表]\r\nソ=v\r\n", "表", "ソ", 16, 1, "v"},
      {"second byte of a double-byte name is not folded", "[S]\r\n\x83\x41=v\r\n", "S",
       "\x83\x61", 16, 0, ""},
      {"section name whose second byte is ']'", "[ゾ]\r\nk=v\r\n", "ゾ", "k", 16, 1, "v"},
      {"blanks inside the brackets", "[ S ]\r\nk=v\r\n", "S", "k", 16, 1, "v"},
      // Missing things read as the empty default
      {"missing file", "", "S", "k", 16, 0, ""},
      {"missing section", "[S]\r\nk=v\r\n", "T", "k", 16, 0, ""},
      {"missing key", "[S]\r\nk=v\r\n", "S", "j", 16, 0, ""},
      {"empty value", "[S]\r\nk=\r\n", "S", "k", 16, 0, ""},
      {"blank value", "[S]\r\nk= \t \r\n", "S", "k", 16, 0, ""},
      {"key line without '=' hides a later one", "[S]\r\nk\r\nk=v\r\n", "S", "k", 16, 0, ""},
      {"keys before any section", "k=v\r\n[S]\r\nj=w\r\n", "S", "k", 16, 0, ""},
      {"comment lines are not read as the key", "[S]\r\n;k=c\r\n#k=d\r\n", "S", "k", 16, 0,
       ""},
      // Duplicates: the first wins, and only the first section of a name is searched
      {"duplicate key", "[S]\r\nk=a\r\nk=b\r\n", "S", "k", 16, 1, "a"},
      {"duplicate section, key in both", "[S]\r\nk=a\r\n[s]\r\nk=b\r\n", "S", "k", 16, 1, "a"},
      {"duplicate section, key in the second", "[S]\r\nj=a\r\n[S]\r\nk=b\r\n", "S", "k", 16, 0,
       ""},
      // Line ends and blanks
      {"LF line ends", "[S]\nk=v\nj=w\n", "S", "j", 16, 1, "w"},
      {"CR line ends", "[S]\rk=v\rj=w\r", "S", "j", 16, 1, "w"},
      {"no final line end", "[S]\r\nk=v", "S", "k", 16, 1, "v"},
      {"blank lines", "\r\n\r\n[S]\r\n\r\n  \r\nk=v\r\n\r\n", "S", "k", 16, 1, "v"},
      {"blanks around name, '=' and value", "[S]\r\n \t k \t= \t v  w \t\r\n", "S", "k", 16, 4,
       "v  w"},
      {"'=' inside the value", "[S]\r\nk=a=b\r\n", "S", "k", 16, 3, "a=b"},
      // Quotes
      {"double quotes, blanks inside kept", "[S]\r\nk= \" v \" \r\n", "S", "k", 16, 3, " v "},
      {"single quotes", "[S]\r\nk='v w'\r\n", "S", "k", 16, 3, "v w"},
      {"unmatched leading quote", "[S]\r\nk=\"v\r\n", "S", "k", 16, 2, "\"v"},
      {"quotes of two kinds", "[S]\r\nk=\"v'\r\n", "S", "k", 16, 3, "\"v'"},
      {"quotes inside", "[S]\r\nk=a\"b\"c\r\n", "S", "k", 16, 5, "a\"b\"c"},
      {"outer pair of two quoted parts", "[S]\r\nk=\"a\" \"b\"\r\n", "S", "k", 16, 5, "a\" \"b"},
      {"empty quotes", "[S]\r\nk=\"\"\r\n", "S", "k", 16, 0, ""},
      {"a lone quote", "[S]\r\nk=\"\r\n", "S", "k", 16, 1, "\""},
      {"quoted value cut", "[S]\r\nk=\"abcdef\"\r\n", "S", "k", 4, 3, "abc"},
      // Sizes
      {"cut to size-1", "[S]\r\nk=abcdef\r\n", "S", "k", 4, 3, "abc"},
      {"value of exactly size-1", "[S]\r\nk=abc\r\n", "S", "k", 4, 3, "abc"},
      {"size 1", "[S]\r\nk=abcdef\r\n", "S", "k", 1, 0, ""},
      {"size 2", "[S]\r\nk=abcdef\r\n", "S", "k", 2, 1, "a"},
      {"long line before the key", "[S]\r\nk=" + x5000 + "\r\nj=w\r\n", "S", "j", 16, 1, "w"},
      {"long value read whole", "[S]\r\nk=" + x5000 + "\r\n", "S", "k", 8192, 5000, x5000},
      {"long value cut", "[S]\r\nk=" + y1100 + "\r\n", "S", "k", 1024, 1023, Repeat('y', 1023)},
      // Code page 932
      {"second bytes 0x5C pass unchanged", "[S]\r\nk=表ソ\\\r\n", "S", "k", 16, 5, "表ソ\\"},
      // The Windows reader drops a character that the cut would split, yet still returns
      // size-1, even when nothing is left; the stand-in does the same.
      {"a cut never splits a character", "[S]\r\nk=a表b\r\n", "S", "k", 3, 2, "a"},
      {"a cut that leaves no character", "[S]\r\nk=表\r\n", "S", "k", 2, 1, ""},
  };
}

std::vector<DifferingCase> DifferingCases() {
  return {
      // Windows removes the closing quote from the already cut copy, losing the last byte.
      {{"quoted value that just fits", "[S]\r\nk=\"abc\"\r\n", "S", "k", 4, 3, "abc"}, 2, "ab"},
      // Windows reads the file through Unicode, which gives this character its IBM code.
      {{"NEC-selected IBM character", "[S]\r\nk=\xED\x40\r\n", "S", "k", 16, 2, "\xED\x40"},
       2,
       "\xFA\x5C"},
  };
}

void ExpectRead(const std::string& file, const ProfileCase& c, uint32_t result,
                const std::string& value) {
  SCOPED_TRACE(c.name);
  if (!c.file.empty()) WriteFileOrDie(file, Bytes(c.file));
  // Zero-filled as the key readers fill it, with a guard after it.
  std::vector<char> out(c.size + 8, '\x7E');
  memset(out.data(), 0, c.size);
  EXPECT_EQ(PlatGetProfileString(c.section, c.key, "", out.data(), c.size, file.c_str()), result);
  std::string expected = value;
  expected.resize(c.size, '\0');
  EXPECT_EQ(std::string(out.data(), c.size), expected);
  EXPECT_EQ(std::string(out.data() + c.size, 8), std::string(8, '\x7E'));
}

// One file per case: the Windows reader keeps files it has read.
std::string CaseFile(const ScratchDir& dir, const char* stem, size_t index) {
  return dir.File(stem + std::to_string(index) + ".ini");
}

TEST(ProfileTable, ReaderGivesTheStatedResults) {
  ScratchDir dir;
  const std::vector<ProfileCase> cases = Cases();
  for (size_t i = 0; i < cases.size(); i++) {
    ExpectRead(CaseFile(dir, "p", i), cases[i], cases[i].result, cases[i].value);
  }
}

TEST(ProfileTable, WhereTheWindowsReaderDiffers) {
  ScratchDir dir;
  const std::vector<DifferingCase> cases = DifferingCases();
  for (size_t i = 0; i < cases.size(); i++) {
    const DifferingCase& c = cases[i];
#ifdef _WIN32
    ExpectRead(CaseFile(dir, "d", i), c.stated, c.windowsResult, c.windowsValue);
#else
    ExpectRead(CaseFile(dir, "d", i), c.stated, c.stated.result, c.stated.value);
#endif
  }
}

}  // namespace
