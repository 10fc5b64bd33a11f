// The platform calls the updater reads the machine with, as tables run on both backends: on
// Windows (under Wine) they are the system's calls, on the host the stand-in, so the stand-in is
// held to the system's answers. The registry values, the disc in the CD-ROM drive R: and the
// temporary folder come from a small writer of each backend (platform_table_host.cpp,
// platform_table_win32.cpp); everything is read back through the platform interface alone.
// Rows where Windows (as Wine implements it) answers otherwise than the stand-in, in a way the
// updater cannot tell apart, are kept apart with the Windows answer and the reason.
#include <gtest/gtest.h>
#include <string.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/box_recorder.h"
#include "platform/platform.h"
#include "tests/platform_table_backend.h"
#include "tests/test_support.h"
#include "updater/update_run.h"

namespace {

// A literal's bytes, zero bytes inside it included (the final terminator is not).
template <size_t N>
std::string S(const char (&text)[N]) {
  return std::string(text, N - 1);
}

std::string Replace(std::string text, const std::string& what, const std::string& with) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
  return text;
}

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return text;
}

// ---- Registry ------------------------------------------------------------------------------------

// Key paths say "%R" for the test's own key and "%U" for the same in upper case.
struct StoredValue {
  std::string key;
  std::string name;
  uint32_t type;
  std::string bytes;
};

const std::string kA260(260, 'a');
const std::string kB259(259, 'b');
const std::string kC259(259, 'c');

std::vector<StoredValue> StoredValues() {
  return {
      {"%R\\Game", "InstPath", kTestRegSz, S("C:\\Game\0")},
      {"%R\\Game", "InstMode", kTestRegDword, S("\x78\x56\x34\x12")},
      {"%R\\Game", "Empty", kTestRegSz, S("\0")},
      {"%R\\Game", "NoBytes", kTestRegSz, ""},
      {"%R\\Game", "Full", kTestRegSz, kA260},
      {"%R\\Game", "Fits", kTestRegSz, kB259 + '\0'},
      {"%R\\Game", "Short", kTestRegSz, kC259},
      {"%R\\Game", "Binary", kTestRegBinary, S("\xED\x40\x00\xFF")},
      {"%R\\Game", "Nec", kTestRegSz, S("\xED\x40\0")},
      // 表 and ソ end in 0x5C, the backslash's byte.
      {"%R\\ソフト\\表", "表", kTestRegSz, S("D:\\ゲーム\\ソ\0")},
      {"%R\\ソフト\\表", "ア", kTestRegSz, S("kana\0")},
      {"%R\\表\\x", "v", kTestRegSz, S("x\0")},
      {"%R\\ＸＲＡ", "ΑΒΓ", kTestRegSz, S("greek\0")},
      {"%R\\ＸＲＡ", "ДЖ", kTestRegSz, S("cyrillic\0")},
      {"%R\\ＸＲＡ", "Ⅱ", kTestRegSz, S("roman\0")},
      // 纊 by its NEC-selected IBM code.
      {"%R\\\xED\x40", "v", kTestRegSz, S("nec\0")},
  };
}

struct RegistryCase {
  const char* name;
  std::string key;
  std::string value;
  uint32_t size;  // the room given
  int32_t openResult;
  int32_t result;      // of the query, when the key opened
  uint32_t sizeAfter;  // what the query leaves in `size`
  // The buffer's first bytes after a query that succeeded; every later byte, up to the guard
  // after the buffer, must be as it was.
  std::string bytes;
};

// A row where Windows gives another answer than the stand-in.
struct DifferingRegistryCase {
  RegistryCase stated;  // what the stand-in gives
  int32_t windowsOpenResult;
  int32_t windowsResult;
  uint32_t windowsSizeAfter;
  std::string windowsBytes;
};

std::vector<RegistryCase> RegistryCases() {
  return {
      // Sizes
      {"a string with its terminator, into a large buffer", "%R\\Game", "InstPath", 260, 0, 0, 8,
       S("C:\\Game\0")},
      {"a string into a buffer of exactly its size", "%R\\Game", "InstPath", 8, 0, 0, 8,
       S("C:\\Game\0")},
      {"a buffer one byte too small says what it needs", "%R\\Game", "InstPath", 7, 0, 234, 8,
       ""},
      {"no room at all", "%R\\Game", "InstPath", 0, 0, 234, 8, ""},
      {"a DWORD into 4 bytes", "%R\\Game", "InstMode", 4, 0, 0, 4, S("\x78\x56\x34\x12")},
      {"a DWORD into 2 bytes", "%R\\Game", "InstMode", 2, 0, 234, 4, ""},
      {"an empty string with its terminator", "%R\\Game", "Empty", 260, 0, 0, 1, S("\0")},
      {"a string value of no bytes", "%R\\Game", "NoBytes", 260, 0, 0, 0, ""},
      // The updater reads into 260 bytes and refuses a value with no zero byte among them:
      // Windows gives success, the size 260 and the 260 bytes, no zero among them, and writes
      // nothing after them.
      {"260 bytes without a terminator fill 260 bytes, with no zero", "%R\\Game", "Full", 260, 0,
       0, 260, kA260},
      {"259 bytes and the terminator just fit", "%R\\Game", "Fits", 260, 0, 0, 260,
       kB259 + '\0'},
      {"260 bytes without a terminator do not fit 259", "%R\\Game", "Full", 259, 0, 234, 260,
       ""},
      {"a binary value's bytes pass unchanged", "%R\\Game", "Binary", 260, 0, 0, 4,
       S("\xED\x40\x00\xFF")},
      // What is missing
      {"a missing value leaves the size", "%R\\Game", "Nothing", 260, 0, 2, 260, ""},
      {"a missing key", "%R\\Nothing", "InstPath", 260, 2, 0, 260, ""},
      {"a missing key below an existing one", "%R\\Game\\Sub", "InstPath", 260, 2, 0, 260, ""},
      // Names
      {"key path and value name in another letter case", "%U\\gAME", "instpath", 260, 0, 0, 8,
       S("C:\\Game\0")},
      {"a doubled separator and one at the end", "%R\\\\Game\\", "InstPath", 260, 0, 0, 8,
       S("C:\\Game\0")},
      {"Japanese key and value names ending in a second byte 0x5C", "%R\\ソフト\\表", "表", 260,
       0, 0, 13, S("D:\\ゲーム\\ソ\0")},
      {"a second byte 0x5C separates nothing", "%R\\表x", "v", 260, 2, 0, 260, ""},
      {"a lead byte alone is not the key it begins", "%R\\\x95", "v", 260, 2, 0, 260, ""},
      // ア is 0x83 0x41 and ヂ 0x83 0x61: a second byte is no letter.
      {"a second byte in A to Z does not fold", "%R\\ソフト\\表", "ヂ", 260, 0, 2, 260, ""},
      {"full-width and Greek letters fold", "%R\\ｘｒａ", "αβγ", 260, 0, 0, 6, S("greek\0")},
      {"Cyrillic letters fold", "%R\\ｘｒａ", "дж", 260, 0, 0, 9, S("cyrillic\0")},
      {"Roman numerals fold", "%R\\ＸＲＡ", "ⅱ", 260, 0, 0, 6, S("roman\0")},
      {"the NEC and IBM codes of one character name one key", "%R\\\xFA\x5C", "v", 260, 0, 0, 4,
       S("nec\0")},
  };
}

std::vector<DifferingRegistryCase> DifferingRegistryCases() {
  return {
      // Windows adds a zero after a string that lacks one when the buffer has room for it. The
      // updater clears its buffers before it reads, so it cannot tell.
      {{"259 bytes without a terminator, into 260", "%R\\Game", "Short", 260, 0, 0, 259, kC259},
       0,
       0,
       259,
       kC259 + '\0'},
      // Windows keeps strings in Unicode, so this character comes back by its IBM code; both
      // codes name the same file.
      {{"a NEC-selected IBM character in a string", "%R\\Game", "Nec", 260, 0, 0, 3,
        S("\xED\x40\0")},
       0,
       0,
       3,
       S("\xFA\x5C\0")},
      // ERROR_BAD_PATHNAME; the updater's key paths always begin with "Software".
      {{"a key path with a backslash in front", "\\%R\\Game", "InstPath", 260, 0, 0, 8,
        S("C:\\Game\0")},
       161,
       0,
       260,
       ""},
  };
}

class PlatformRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetBackend();
    registry_ = std::make_unique<TestRegistry>();
    for (const StoredValue& v : StoredValues()) {
      registry_->SetValue(Path(v.key), v.name, v.type, Bytes(v.bytes));
    }
  }
  void TearDown() override { registry_.reset(); }

  std::string Path(const std::string& key) const {
    return Replace(Replace(key, "%R", registry_->root()), "%U", UpperAscii(registry_->root()));
  }

  void ExpectRead(const RegistryCase& c, int32_t openResult, int32_t result, uint32_t sizeAfter,
                  const std::string& bytes) const {
    SCOPED_TRACE(c.name);
    int sentinel = 0;
    PlatKey key = reinterpret_cast<PlatKey>(&sentinel);
    ASSERT_EQ(PlatRegOpenCurrentUserKey(Path(c.key).c_str(), PlatKeyRead, &key), openResult);
    if (openResult != PlatErrorSuccess) {
      EXPECT_EQ(key, nullptr);
      return;
    }
    ASSERT_NE(key, nullptr);
    const uint8_t fill = 0x7E;
    std::vector<uint8_t> buffer(c.size + 8, fill);
    uint32_t size = c.size;
    EXPECT_EQ(PlatRegQueryValue(key, c.value.c_str(), buffer.data(), &size), result);
    EXPECT_EQ(size, sizeAfter);
    PlatRegCloseKey(key);
    // The contents of a buffer that was too small are not defined; the guard after it is.
    const size_t defined = result == PlatErrorMoreData ? c.size : bytes.size();
    if (result != PlatErrorMoreData) {
      EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + bytes.size()), bytes);
    }
    EXPECT_EQ(std::string(buffer.begin() + defined, buffer.end()),
              std::string(buffer.size() - defined, static_cast<char>(fill)))
        << "bytes written past the value";
  }

  std::unique_ptr<TestRegistry> registry_;
};

TEST_F(PlatformRegistry, ReadsGiveTheStatedResults) {
  for (const RegistryCase& c : RegistryCases()) {
    ExpectRead(c, c.openResult, c.result, c.sizeAfter, c.bytes);
  }
}

TEST_F(PlatformRegistry, WhereWindowsDiffers) {
  for (const DifferingRegistryCase& c : DifferingRegistryCases()) {
    if (kWindowsBackend) {
      ExpectRead(c.stated, c.windowsOpenResult, c.windowsResult, c.windowsSizeAfter,
                 c.windowsBytes);
    } else {
      ExpectRead(c.stated, c.stated.openResult, c.stated.result, c.stated.sizeAfter,
                 c.stated.bytes);
    }
  }
}

// ---- The temporary folder --------------------------------------------------------------------

TEST(PlatformTempPath, SizesAndTerminator) {
  ResetBackend();
  PrepareTempPath();
  char full[260];
  memset(full, 0x7E, sizeof full);
  const uint32_t length = PlatGetTempPath(sizeof full, full);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, sizeof full);
  EXPECT_EQ(strlen(full), length);
  EXPECT_EQ(full[length - 1], '\\');
  const std::string path(full, length);

  struct Case {
    const char* name;
    uint32_t size;
    uint32_t result;
    bool holdsPath;
  } const cases[] = {
      {"room for the path and its terminator", length + 1, length, true},
      {"no room for the terminator gives the size needed", length, length + 1, false},
      {"one byte", 1, length + 1, false},
      {"no room at all", 0, length + 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<char> out(c.size + 8, '\x7E');
    EXPECT_EQ(PlatGetTempPath(c.size, out.data()), c.result);
    if (c.holdsPath) {
      EXPECT_EQ(std::string(out.data(), c.size), path + '\0');
    }
    EXPECT_EQ(std::string(out.data() + c.size, 8), std::string(8, '\x7E'))
        << "bytes written past the buffer";
  }
}

// ---- Drives and the shell's copy from the disc -------------------------------------------------

TEST(PlatformDrives, Types) {
  ResetBackend();
  TestDisc disc;  // on the host, what maps the drive
  const struct {
    const char* root;
    uint32_t type;
  } cases[] = {
      {"R:", PlatDriveCdrom},
      {"R:\\", PlatDriveCdrom},
      {"r:", PlatDriveCdrom},
      {"Q:", PlatDriveNoRoot},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PlatGetDriveType(c.root), c.type) << c.root;
  }
}

constexpr uint64_t kDiscTime = 0x01D0000000000000ull;  // a last-write time of 2014
constexpr uint64_t kOldTime = 0x01C0000000000000ull;

// A file or folder of a disc or of a copy's destination.
struct Entry {
  std::string path;
  bool folder;
  std::string content;
  bool readOnly;
  uint64_t time;  // last-write time; not checked for folders
};

Entry Folder(const std::string& path) { return Entry{path, true, "", false, 0}; }
Entry File(const std::string& path, const std::string& content, bool readOnly, uint64_t time) {
  return Entry{path, false, content, readOnly, time};
}

// The disc every copy reads: a read-only file, and a folder with a read-only file and a folder.
const char kDiscFileContent[] = "the disc's file";
std::vector<Entry> DiscEntries() {
  return {
      Folder("SUB"),
      File("SUB\\FILE.DAT", kDiscFileContent, true, kDiscTime),
      Folder("DIR"),
      Folder("DIR\\IN"),
      File("DIR\\A.TXT", "a", true, kDiscTime),
      File("DIR\\IN\\B.TXT", "b", false, kDiscTime),
  };
}

void MakeEntry(const std::string& path, const Entry& e) {
  if (e.folder) {
    ASSERT_EQ(PlatCreateDirectory(path.c_str()), 1) << path;
    return;
  }
  PlatFile file = PlatCreateWrite(path.c_str());
  ASSERT_NE(file, nullptr) << path;
  uint32_t done = 0;
  EXPECT_EQ(PlatWriteFile(file, e.content.data(), static_cast<uint32_t>(e.content.size()), &done),
            1);
  EXPECT_EQ(PlatSetFileTimes(file, nullptr, nullptr, &e.time), 1);
  PlatCloseFile(file);
  if (e.readOnly) {
    ASSERT_EQ(PlatSetFileAttributes(path.c_str(), PlatAttrReadOnly), 1);
  }
}

void ExpectEntry(const std::string& path, const Entry& e) {
  SCOPED_TRACE(e.path);
  const uint32_t attributes = PlatGetFileAttributes(path.c_str());
  ASSERT_NE(attributes, PlatAttrInvalid) << "missing";
  EXPECT_EQ((attributes & PlatAttrDirectory) != 0, e.folder);
  if (e.folder) return;
  EXPECT_EQ((attributes & PlatAttrReadOnly) != 0, e.readOnly) << "read-only attribute";
  PlatFile file = PlatOpenRead(path.c_str());
  ASSERT_NE(file, nullptr);
  uint32_t size = 0;
  EXPECT_EQ(PlatFileSize(file, &size), 1);
  std::string content(size, '\0');
  uint32_t done = 0;
  EXPECT_EQ(PlatReadFile(file, &content[0], size, &done), 1);
  EXPECT_EQ(content, e.content);
  uint64_t write = 0;
  EXPECT_EQ(PlatGetFileTimes(file, nullptr, nullptr, &write), 1);
  EXPECT_EQ(write, e.time) << "last-write time";
  PlatCloseFile(file);
}

// What a copy gives, and what is then in its destination folder.
struct Outcome {
  int32_t result;   // PlatShellCopy's result, or CopyWithShell's
  int32_t aborted;  // PlatShellCopy's `anyAborted`
  std::vector<Entry> present;
  std::vector<std::string> absent;
};

struct CopyCase {
  const char* name;
  std::vector<Entry> before;  // made in the case's destination folder first
  std::string source;         // on the disc
  std::string destination;    // in the case's destination folder, unless it names a drive
  int32_t folder;             // a folder's copy, as CopyWithShell is told
  Outcome outcome;
};

struct DifferingCopyCase {
  CopyCase stated;  // what the stand-in gives
  Outcome windows;
};

std::vector<CopyCase> ShellCopyCases() {
  return {
      {"a read-only file to folders that do not exist yet",
       {},
       "SUB\\FILE.DAT",
       "N1\\N2\\FILE.DAT",
       0,
       {0,
        0,
        {Folder("N1"), Folder("N1\\N2"),
         File("N1\\N2\\FILE.DAT", kDiscFileContent, true, kDiscTime)},
        {}}},
      {"a file to an existing folder lands in it under its own name",
       {Folder("EX")},
       "SUB\\FILE.DAT",
       "EX",
       0,
       {0, 0, {File("EX\\FILE.DAT", kDiscFileContent, true, kDiscTime)}, {}}},
      {"a folder into an existing folder lands in it under its own name",
       {Folder("EX")},
       "DIR",
       "EX",
       1,
       {0,
        0,
        {Folder("EX\\DIR"), File("EX\\DIR\\A.TXT", "a", true, kDiscTime),
         File("EX\\DIR\\IN\\B.TXT", "b", false, kDiscTime)},
        {}}},
      {"a folder to a path that does not exist becomes that path",
       {},
       "DIR",
       "NEW\\X",
       1,
       {0,
        0,
        {File("NEW\\X\\A.TXT", "a", true, kDiscTime),
         File("NEW\\X\\IN\\B.TXT", "b", false, kDiscTime)},
        {"NEW\\X\\DIR"}}},
      {"a missing file", {}, "NOPE.DAT", "NOPE.DAT", 0, {0x402, 0, {}, {"NOPE.DAT"}}},
      {"a missing folder", {Folder("EX")}, "NOPE", "EX", 1, {0x402, 0, {}, {"EX\\NOPE"}}},
      // With no questions to ask, the shell gives up silently and says it aborted.
      {"a file under an existing file is given up",
       {File("OLD.DAT", "old", false, kOldTime)},
       "SUB\\FILE.DAT",
       "OLD.DAT\\FILE.DAT",
       0,
       {0x4C7, 1, {File("OLD.DAT", "old", false, kOldTime)}, {}}},
      {"a file to a drive that does not exist is given up",
       {},
       "SUB\\FILE.DAT",
       "Q:\\XRA\\FILE.DAT",
       0,
       {0x4C7, 1, {}, {"Q:\\XRA\\FILE.DAT"}}},
  };
}

std::vector<DifferingCopyCase> DifferingShellCopyCases() {
  return {
      // Wine's copy over an existing file does not give it the source's attributes. The updater
      // makes a copied file normal afterwards and looks at no file inside a copied folder.
      {{"a read-only file over a read-only file",
        {File("OLD.DAT", "old", true, kOldTime)},
        "SUB\\FILE.DAT",
        "OLD.DAT",
        0,
        {0, 0, {File("OLD.DAT", kDiscFileContent, true, kDiscTime)}, {}}},
       {0, 0, {File("OLD.DAT", kDiscFileContent, false, kDiscTime)}, {}}},
      {{"a folder again over its read-only files",
        {Folder("EX"), Folder("EX\\DIR"), File("EX\\DIR\\A.TXT", "old", true, kOldTime)},
        "DIR",
        "EX",
        1,
        {0, 0, {File("EX\\DIR\\A.TXT", "a", true, kDiscTime)}, {}}},
       {0, 0, {File("EX\\DIR\\A.TXT", "a", false, kDiscTime)}, {}}},
      // Wine copies what the folder holds, not the folder; the result is the same.
      {{"a folder named with a backslash at the end",
        {Folder("EX")},
        "DIR\\",
        "EX",
        1,
        {0, 0, {File("EX\\DIR\\A.TXT", "a", true, kDiscTime)}, {"EX\\A.TXT"}}},
       {0, 0, {File("EX\\A.TXT", "a", true, kDiscTime)}, {"EX\\DIR"}}},
      // Wine reports a folder's copy that made nothing as done; the stand-in answers as for a
      // file, as Windows describes it.
      {{"a folder to a drive that does not exist",
        {},
        "DIR",
        "Q:\\XRA",
        1,
        {0x4C7, 1, {}, {"Q:\\XRA"}}},
       {0, 0, {}, {"Q:\\XRA"}}},
      {{"a folder onto an existing file",
        {File("OLD.DAT", "old", false, kOldTime)},
        "DIR",
        "OLD.DAT",
        1,
        {0x4C7, 1, {File("OLD.DAT", "old", false, kOldTime)}, {}}},
       {0, 0, {File("OLD.DAT", "old", false, kOldTime)}, {}}},
  };
}

// The updater's own copy: the same shell copy, then normal attributes for what it copied.
std::vector<CopyCase> CopyWithShellCases() {
  return {
      {"a read-only file from the disc to folders that do not exist yet",
       {},
       "SUB\\FILE.DAT",
       "N1\\N2\\FILE.DAT",
       0,
       {Copied, 0, {File("N1\\N2\\FILE.DAT", kDiscFileContent, false, kDiscTime)}, {}}},
      {"a folder from the disc into an existing folder keeps its files' attributes",
       {Folder("EX")},
       "DIR",
       "EX",
       1,
       {Copied,
        0,
        {Folder("EX"), File("EX\\DIR\\A.TXT", "a", true, kDiscTime),
         File("EX\\DIR\\IN\\B.TXT", "b", false, kDiscTime)},
        {}}},
      {"a missing file fails", {}, "NOPE.DAT", "NOPE.DAT", 0, {Failed, 0, {}, {"NOPE.DAT"}}},
      {"a missing folder fails", {Folder("EX")}, "NOPE", "EX", 1, {Failed, 0, {}, {"EX\\NOPE"}}},
      // The shell reports a copy it gave up on as aborted, which reads as the user's cancel.
      {"a copy the shell gives up on reads as cancelled",
       {File("OLD.DAT", "old", false, kOldTime)},
       "SUB\\FILE.DAT",
       "OLD.DAT\\FILE.DAT",
       0,
       {Aborted, 0, {File("OLD.DAT", "old", false, kOldTime)}, {}}},
  };
}

std::string NameList(const std::string& path) { return path + '\0'; }  // and c_str()'s zero

class DiscCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetBackend();
    PlatInitCom();
    disc_ = std::make_unique<TestDisc>();
    for (const Entry& e : DiscEntries()) MakeEntry(disc_->WritePath(e.path), e);
  }
  void TearDown() override { disc_.reset(); }

  // A case's own destination folder, and a path in it (or a path on another drive as it is).
  std::string CaseFolder(size_t index) const { return dest_.File("c" + std::to_string(index)); }
  static std::string At(const std::string& folder, const std::string& path) {
    return path.size() > 1 && path[1] == ':' ? path : folder + "\\" + path;
  }

  // Runs the case with `copy` (given source and destination) and checks the outcome.
  template <typename CopyFn>
  void Run(const CopyCase& c, size_t index, const Outcome& expected, CopyFn copy,
           bool checkAborted) {
    SCOPED_TRACE(c.name);
    const std::string folder = CaseFolder(index);
    ASSERT_EQ(PlatCreateDirectory(folder.c_str()), 1);
    for (const Entry& e : c.before) MakeEntry(At(folder, e.path), e);
    int32_t aborted = -1;
    const int32_t result =
        copy(disc_->DrivePath(c.source), At(folder, c.destination), c.folder, &aborted);
    EXPECT_EQ(result, expected.result);
    if (checkAborted) {
      EXPECT_EQ(aborted, expected.aborted);
    }
    for (const Entry& e : expected.present) ExpectEntry(At(folder, e.path), e);
    for (const std::string& path : expected.absent) {
      EXPECT_EQ(PlatGetFileAttributes(At(folder, path).c_str()), PlatAttrInvalid) << path;
    }
    // The copy shows no box of the updater's.
    EXPECT_TRUE(RecordedBoxes().empty());
  }

  static int32_t ShellCopy(const std::string& source, const std::string& destination,
                           int32_t folder, int32_t* aborted) {
    uint32_t flags = PlatFofNoConfirmation | PlatFofNoConfirmMkdir;
    if (folder) flags |= PlatFofNoErrorUi;
    return PlatShellCopy(nullptr, NameList(source).c_str(), NameList(destination).c_str(), flags,
                         aborted);
  }

  static int32_t UpdaterCopy(const std::string& source, const std::string& destination,
                             int32_t folder, int32_t*) {
    return CopyWithShell(nullptr, NameList(source).c_str(), NameList(destination).c_str(),
                         folder);
  }

  ScratchDir dest_;
  std::unique_ptr<TestDisc> disc_;
};

TEST_F(DiscCopy, ShellCopy) {
  const std::vector<CopyCase> cases = ShellCopyCases();
  for (size_t i = 0; i < cases.size(); i++) Run(cases[i], i, cases[i].outcome, ShellCopy, true);
}

TEST_F(DiscCopy, ShellCopyWhereWindowsDiffers) {
  const std::vector<DifferingCopyCase> cases = DifferingShellCopyCases();
  for (size_t i = 0; i < cases.size(); i++) {
    const Outcome& expected = kWindowsBackend ? cases[i].windows : cases[i].stated.outcome;
    Run(cases[i].stated, i, expected, ShellCopy, true);
  }
}

TEST_F(DiscCopy, CopyWithShell) {
  const std::vector<CopyCase> cases = CopyWithShellCases();
  for (size_t i = 0; i < cases.size(); i++) {
    Run(cases[i], i, cases[i].outcome, UpdaterCopy, false);
  }
}

}  // namespace

// ---- Names and files of the tools ---------------------------------------------------------------

namespace {

std::string Fold(const std::string& name) {
  std::string out(name.size(), '\0');
  PlatFoldName(name.c_str(), &out[0]);
  return out;
}

// Every character code page 932 assigns: the single bytes from 0x20 and every double-byte code.
std::vector<std::string> AssignedCharacters() {
  std::vector<std::string> all;
  std::u32string ignored;
  for (int c = 0x20; c < 0x100; c++) {
    const std::string one(1, static_cast<char>(c));
    if (SystemUpperUnicode(one, &ignored)) all.push_back(one);
  }
  for (int lead = 0x81; lead <= 0xFC; lead++) {
    if (lead > 0x9F && lead < 0xE0) continue;
    for (int trail = 0x40; trail <= 0xFC; trail++) {
      if (trail == 0x7F) continue;
      const std::string two = {static_cast<char>(lead), static_cast<char>(trail)};
      if (SystemUpperUnicode(two, &ignored)) all.push_back(two);
    }
  }
  return all;
}

}  // namespace

// Two characters fold to one form exactly when the system decodes them to one character of one
// case: the fold is the system's rule, on the bytes, on both backends.
TEST(PlatformNames, FoldIsTheSystemsCaseInsensitiveEquality) {
  const std::vector<std::string> all = AssignedCharacters();
  ASSERT_GT(all.size(), 7000u);
  std::map<std::u32string, std::string> foldOfCharacter;
  std::map<std::string, std::u32string> characterOfFold;
  for (const std::string& c : all) {
    std::u32string upper;
    ASSERT_TRUE(SystemUpperUnicode(c, &upper));
    const std::string folded = Fold(c);
    ASSERT_EQ(folded.size(), c.size());
    const auto a = foldOfCharacter.emplace(upper, folded);
    EXPECT_EQ(a.first->second, folded) << "one character, two folds: " << testing::PrintToString(c);
    const auto b = characterOfFold.emplace(folded, upper);
    EXPECT_EQ(b.first->second, upper) << "two characters, one fold: " << testing::PrintToString(c);
    // And the folded form is a code of that same character.
    std::u32string again;
    EXPECT_TRUE(SystemUpperUnicode(folded, &again) && again == upper) << testing::PrintToString(c);
  }
}

// PlatCompareNoCase (lstrcmpiA on Windows) says equal for every character and its folded form,
// and unequal for neighbouring codes of different characters.
TEST(PlatformNames, CompareNoCaseAgreesWithTheFold) {
  const std::vector<std::string> all = AssignedCharacters();
  int differing = 0;
  for (size_t i = 0; i < all.size(); i++) {
    const std::string name = "A" + all[i] + "z";
    EXPECT_EQ(PlatCompareNoCase(name.c_str(), Fold(name).c_str()), 0) << testing::PrintToString(name);
    if (i + 1 < all.size() && Fold(all[i]) != Fold(all[i + 1])) {
      differing++;
      // Wine's collation weighs the kana iteration marks ヽヾゝゞ alike, and ー like ―, where
      // Windows' sort tables tell them apart; the fold keeps them apart, as the system does.
      const std::string pair = all[i] + all[i + 1];
      const bool wineAlike = kWindowsBackend && (pair == "\x81\x52\x81\x53" || pair == "\x81\x53\x81\x54" ||
                                                 pair == "\x81\x54\x81\x55" || pair == "\x81\x5B\x81\x5C");
      EXPECT_EQ(PlatCompareNoCase(all[i].c_str(), all[i + 1].c_str()) == 0, wineAlike)
          << testing::PrintToString(all[i]) << " " << testing::PrintToString(all[i + 1]);
    }
  }
  EXPECT_GT(differing, 6000);
}

TEST(PlatformPaths, FolderLength) {
  struct Row {
    std::string path;
    uint32_t folder;
  };
  const std::vector<Row> rows = {
      {"", 0},           {"a", 0},          {"a\\", 2},        {"C:\\a\\b", 5},
      {"C:x", 2},        {"a/b", 2},        {"\x95\x5C", 0},   {"a\\\x95\x5C", 2},
      {"\x95\x5C\\x", 3}, {"\x8B\x40\x94\x5C", 0}, {"\x81", 0}, {"x\\\x81", 2},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(PlatFolderLength(r.path.c_str()), r.folder) << testing::PrintToString(r.path);
  }
  EXPECT_EQ(PlatPathLimit(), 260u);
}

// A new file is made only where nothing has the name, and says so when something has.
TEST(PlatformFiles, CreateNewIsExclusive) {
  ResetBackend();
  const std::string folder = TestFolder();
  const std::string file = folder + "NEW.DAT";
  int exists = -1;
  PlatFile f = PlatCreateNew(file.c_str(), &exists);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(exists, 0);
  uint32_t done = 0;
  EXPECT_TRUE(PlatWriteFile(f, "new", 3, &done));
  PlatCloseFile(f);
  for (const std::string& taken : {file, std::string(folder + "new.dat")}) {
    EXPECT_EQ(PlatCreateNew(taken.c_str(), &exists), nullptr) << taken;
    EXPECT_EQ(exists, 1) << taken;
  }
  ASSERT_TRUE(PlatCreateDirectory((folder + "SUB").c_str()));
  EXPECT_EQ(PlatCreateNew((folder + "SUB").c_str(), &exists), nullptr);
  EXPECT_EQ(exists, 1);
  EXPECT_EQ(PlatCreateNew((folder + "NONE\\X.DAT").c_str(), &exists), nullptr);
  EXPECT_EQ(exists, 0);
  char text[256];
  PlatErrorText(PlatLastError(), text, sizeof text);
  EXPECT_GT(strlen(text), 0u);
  EXPECT_NE(text[strlen(text) - 1], '\n');
  // The file kept its bytes through every refusal.
  EXPECT_TRUE(PlatSameFile(file.c_str(), (folder + "new.dat").c_str()));
  EXPECT_FALSE(PlatSameFile(file.c_str(), (folder + "SUB").c_str()));
  f = PlatOpenRead(file.c_str());
  ASSERT_NE(f, nullptr);
  char back[8] = {};
  EXPECT_TRUE(PlatReadFile(f, back, sizeof back, &done));
  EXPECT_EQ(std::string(back, done), "new");
  // No time of 2^63 ticks or more can be given to a file.
  const uint64_t beyond = 0x8000000000000000ull;
  PlatCloseFile(f);
  f = PlatCreateWrite(file.c_str());
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(PlatSetFileTimes(f, nullptr, nullptr, &beyond), 0);
  PlatCloseFile(f);
  PlatDeleteFile(file.c_str());
}
