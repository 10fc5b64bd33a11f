// xra against hostile packages, odd names and real Linux file systems, run as a program: nothing
// is written outside the folder asked for, no name breaks the output, every refusal says why.
#include <gtest/gtest.h>
#include <iconv.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli_runner.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;

constexpr uint64_t kTime = 133000000000000000ull;  // 2022-06-18T04:26:40Z

std::string ShowBytes(const std::string& bytes) {
  std::string out;
  char hex[4];
  for (unsigned char c : bytes) {
    snprintf(hex, sizeof hex, "%02X ", c);
    out += hex;
  }
  return out;
}

// A code page 932 name as a UTF-8 terminal gives it.
bool ToUtf8(const std::string& cp932, std::string* utf8) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string out(cp932.size() * 4, '\0');
  char* src = const_cast<char*>(cp932.data());
  size_t srcLeft = cp932.size();
  char* dst = &out[0];
  size_t dstLeft = out.size();
  const bool ok = iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1);
  iconv_close(cd);
  out.resize(out.size() - dstLeft);
  *utf8 = out;
  return ok;
}

// Every name below the folder, relative to it, links included and not followed.
std::vector<std::string> Tree(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    names.push_back(fs::relative(e.path(), folder).string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A package in `root`/pkg, extracted into `root`/out by default: anything that appears in
// `root` outside `out` was written outside the folder asked for.
class XraHostile : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_.File("pkg"));
    fs::create_directories(out());
  }
  std::string out() { return root_.File("out"); }
  std::string Package(const std::vector<PackageMemberInput>& members,
                      const std::string& name = "p.xra") {
    const std::string path = root_.File("pkg/" + name);
    WriteFileOrDie(path, StoredPackage(members));
    return path;
  }
  // Runs xra with the working folder in `root`/out, so a name escaping to "." shows too.
  XraRun InOut(const std::string& args) {
    return Shell("cd " + Quote(out()) + " && " + XraCommand(args));
  }
  ScratchDir root_;
};

PackageMemberInput Member(const std::string& name, const std::string& content,
                          uint64_t time = kTime) {
  PackageMemberInput m = StoredMember("", Bytes(content), time);
  memcpy(m.entry.name, name.data(), name.size());
  m.entry.name[name.size()] = 0;
  return m;
}

TEST_F(XraHostile, NamesThatAreNotPlainCodePage932FileNamesAreRefused) {
  const std::vector<std::string> names = {
      // Lone or misplaced lead bytes, which once let the next byte (even '/') through.
      "..\x81.profile", std::string("\x81/x"), "a\x81", "\x81", "\x9F\x20x",
      // Bytes code page 932 does not give a character, and a code it does not assign.
      "\x80x", "\xA0", "\xFDx", "\xFF", "\x85\x40",
      // What Windows cannot write as a file name.
      "CON", "con.txt", "nul.txt", "PRN", "AUX.TXT", "com1.dat", "LPT9", "a?b", "a*b", "a\"b",
      "a<b", "a>b", "a|b", "x.", "x ", "CON .txt",
      // Folder references and separators.
      "..", ".", "a/b", "a\\b", "C:x", "tab\tx"};
  for (const std::string& name : names) {
    SCOPED_TRACE(ShowBytes(name));
    const std::string pkg = Package({Member("OK.TXT", "fine"), Member(name, "evil")});
    const XraRun r = InOut("extract " + Quote(pkg) + " -C .");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("refusing member"), std::string::npos) << r.out;
    EXPECT_EQ(Tree(root_.path()), (std::vector<std::string>{"out", "pkg", "pkg/p.xra"}));
  }
  // Double-byte characters whose second byte is 0x5C or '|' are names like any other.
  const std::string pkg = Package({Member("\x95\x5C.TXT", "table"), Member("\x83\x7C", "so")});
  ASSERT_EQ(InOut("extract " + Quote(pkg)).status, 0);
  EXPECT_EQ(ReadFileOrDie(out() + u8"/表.TXT"), Bytes("table"));
  EXPECT_EQ(ReadFileOrDie(out() + u8"/ポ"), Bytes("so"));
}

TEST_F(XraHostile, CreateRefusesNamesWindowsCannotWrite) {
  for (const char* name : {"CON", "nul.txt", "Com1.dat", "lpt1", "a?b", "a*b", "a\"b", "a<b",
                           "a>b", "a|b", "trailing.", "trailing "}) {
    SCOPED_TRACE(name);
    const std::string file = root_.File(std::string("pkg/") + name);
    WriteFileOrDie(file, Bytes("x"));
    const XraRun r = Xra("create " + Quote(out() + "/p.xra") + " " + Quote(file));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("refusing the member name"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(out() + "/p.xra"));
    fs::remove(file);
  }
}

TEST_F(XraHostile, ControlBytesInNamesAreEscapedInEveryListing) {
  const std::string pkg =
      Package({Member("a\nb\tc", "1"), Member("esc\x1b[2J\x07", "2"), Member("\x81", "3")});
  XraRun r = Xra("list --tsv " + Quote(pkg));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "a\\x0ab\\x09c\t1\t1\tstored\t2022-06-18T04:26:40.0000000Z\n"
            "esc\\x1b[2J\\x07\t1\t1\tstored\t2022-06-18T04:26:40.0000000Z\n"
            "\\x81\t1\t1\tstored\t2022-06-18T04:26:40.0000000Z\n");
  for (const std::string command : {"list ", "test "}) {
    r = Xra(command + Quote(pkg));
    EXPECT_EQ(r.out.find_first_of("\t\x1b\x07"), std::string::npos) << command << r.out;
    EXPECT_NE(r.out.find("a\\x0ab\\x09c"), std::string::npos) << command << r.out;
  }
  // The table's columns stay aligned: every name takes its 16 cells, escapes counted, so each
  // size ends in the same column as the header's "Size".
  r = Xra("list " + Quote(pkg));
  std::vector<std::string> lines;
  for (size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1) {
    lines.push_back(r.out.substr(at, end - at));
  }
  ASSERT_EQ(lines.size(), 5u) << r.out;
  const size_t column = lines[0].find("Size") + 3;
  for (size_t i = 1; i <= 3; i++) {
    ASSERT_GT(lines[i].size(), column) << lines[i];
    EXPECT_EQ(lines[i][column], '1') << lines[i];
    EXPECT_EQ(lines[i][column - 1], ' ') << lines[i];
  }
  r = Xra("list --help");
  EXPECT_NE(r.out.find("\\xNN"), std::string::npos) << "the help says how names are shown";
}

TEST_F(XraHostile, TemporaryFilesAreNeverPlantedLinksOrOldLeftovers) {
  const std::string pkg = Package({Member("GAME.ARC", "new game")});
  fs::create_directories(root_.File("outside"));
  // A dangling link at the name the temporary file always used to have, and 64 leftovers that
  // used to block the folder.
  fs::create_symlink("../outside/planted", out() + "/~xra0000.tmp");
  for (int i = 1; i < 64; i++) {
    char name[32];
    snprintf(name, sizeof name, "/~xra%04X.tmp", i);
    WriteFileOrDie(out() + name, Bytes("left over"));
  }
  const XraRun r = Xra("extract " + Quote(pkg) + " -C " + Quote(out()));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(ReadFileOrDie(out() + "/GAME.ARC"), Bytes("new game"));
  EXPECT_TRUE(fs::is_empty(root_.File("outside")));
  EXPECT_TRUE(fs::is_symlink(out() + "/~xra0000.tmp"));
  EXPECT_EQ(Tree(out()).size(), 65u) << "no temporary file is left";
}

// A link at a member's name is replaced by the member; what it points to is never written, even
// where it is read-only.
TEST_F(XraHostile, ALinkAtTheDestinationIsReplacedNotFollowed) {
  const std::string pkg = Package({Member("GAME.ARC", "new game"), Member("SAVE.DAT", "save")});
  fs::create_directories(root_.File("outside"));
  WriteFileOrDie(root_.File("outside/target"), Bytes("outside"));
  ASSERT_EQ(chmod(root_.File("outside/target").c_str(), 0444), 0);
  fs::create_symlink("../outside/target", out() + "/GAME.ARC");
  fs::create_symlink("../outside/missing", out() + "/SAVE.DAT");
  const XraRun r = Xra("extract " + Quote(pkg) + " -C " + Quote(out()));
  ASSERT_EQ(r.status, 0) << r.out;
  for (const char* name : {"/GAME.ARC", "/SAVE.DAT"}) {
    EXPECT_FALSE(fs::is_symlink(out() + name)) << name;
  }
  EXPECT_EQ(ReadFileOrDie(out() + "/GAME.ARC"), Bytes("new game"));
  EXPECT_EQ(ReadFileOrDie(root_.File("outside/target")), Bytes("outside"));
  EXPECT_EQ(Tree(root_.File("outside")), std::vector<std::string>{"target"});
  struct stat st;
  ASSERT_EQ(stat((out() + "/GAME.ARC").c_str(), &st), 0);
  EXPECT_NE(st.st_mode & 0200, 0u) << "the link's target's mode is not the member's";
}

// Outputs that are not files (a device, a pipe) are refused, not replaced; a replaced file keeps
// its mode but never the set-user or set-group bit, and a link's target gives it nothing.
TEST_F(XraHostile, OutputsAreRegularFilesWithoutBorrowedBits) {
  const std::string in = root_.File("pkg/a.txt");
  WriteFileOrDie(in, Bytes("aaaaaaaa"));
  const std::string fifo = root_.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  XraRun r = Xra("encode " + Quote(in) + " " + Quote(fifo));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("not a regular file"), std::string::npos) << r.out;
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_EQ(Tree(root_.path()), (std::vector<std::string>{"fifo", "out", "pkg", "pkg/a.txt"}));

  const std::string setuid = root_.File("SETUID");
  WriteFileOrDie(setuid, Bytes("old"));
  ASSERT_EQ(chmod(setuid.c_str(), 04755), 0);
  fs::create_symlink(setuid, out() + "/LINKED");
  for (const std::string& target : {setuid, out() + "/LINKED"}) {
    SCOPED_TRACE(target);
    r = Xra("encode " + Quote(in) + " " + Quote(target));
    ASSERT_EQ(r.status, 0) << r.out;
    struct stat st;
    ASSERT_EQ(lstat(target.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 07000, 0u);
  }
}

// Reading stops at nothing short of the file's end: a file of /proc, whose size says 0, is no
// empty member.
TEST_F(XraHostile, InputsLongerThanTheirSizeAreRefused) {
  const XraRun r = Xra("create " + Quote(out() + "/p.xra") + " /proc/self/status");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("length is not its size"), std::string::npos) << r.out;
  EXPECT_TRUE(fs::is_empty(out()));
}

// A damaged member anywhere in the package stops extraction before any file is written.
TEST_F(XraHostile, ADamagedMemberStopsExtractionBeforeAnyWrite) {
  PackageMemberInput bad = Member("BAD.BIN", std::string(16, '\xFF'));
  bad.entry.flags = kEntryCompressed;
  bad.entry.size = 100;
  const std::string pkg = Package({Member("GOOD.TXT", "good"), bad});
  const XraRun r = Xra("extract " + Quote(pkg) + " -C " + Quote(out()));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("BAD.BIN"), std::string::npos) << r.out;
  EXPECT_TRUE(fs::is_empty(out()));
}

// A write the system stops (a full disk for the listing, a file size limit for the package) is
// reported as a failure, and leaves no temporary file.
TEST_F(XraHostile, WritesTheSystemStopsAreFailures) {
  const std::string pkg = Package({Member("GAME.ARC", "game")});
  XraRun r = Shell("{ " + XraCommand("list --tsv " + Quote(pkg)) + " > /dev/full; }");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("standard output: No space left on device"), std::string::npos) << r.out;
  WriteFileOrDie(root_.File("pkg/BIG.BIN"), std::vector<uint8_t>(300000, 'b'));
  r = Shell("ulimit -f 100 && " + XraCommand("create --store " + Quote(out() + "/p.xra") + " " +
                                             Quote(root_.File("pkg/BIG.BIN"))));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("File too large"), std::string::npos) << r.out;
  EXPECT_TRUE(fs::is_empty(out()));
}

// File names and arguments in messages cannot act on the terminal either.
TEST_F(XraHostile, MessagesEscapeControlCharacters) {
  const std::string pkg = Package({Member("GAME.ARC", "game")});
  const XraRun r = Xra("extract " + Quote(pkg) + " -C " + Quote(out()) + " " +
                       Quote("x\x1b[2J\ny"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("no member named 'x\\x1b[2J\\x0ay'"), std::string::npos) << r.out;
}

TEST_F(XraHostile, TimesNoFileCanBeGivenAreRefusedBeforeAnythingIsWritten) {
  for (uint64_t time : {0x8000000000000000ull, 0xFFFFFFFFFFFFFFFFull}) {
    const std::string pkg = Package({Member("A.TXT", "a"), Member("B.TXT", "b", time)});
    const XraRun r = Xra("extract " + Quote(pkg) + " -C " + Quote(out()));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("B.TXT"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("30828"), std::string::npos) << r.out;
    EXPECT_TRUE(fs::is_empty(out()));
  }
  // The last time a file can be given is written as it stands.
  const std::string pkg = Package({Member("A.TXT", "a", 0x7FFFFFFFFFFFFFFFull)});
  EXPECT_EQ(Xra("extract " + Quote(pkg) + " -C " + Quote(out())).status, 0);
}

TEST_F(XraHostile, NamesTheUpdaterTakesForOneAreOneFile) {
  struct Case {
    std::string first, second, asked;
  };
  const std::vector<Case> cases = {
      {"READ.ME", "read.me", "Read.Me"},
      {"\x82\x60\x82\x61", "\x82\x81\x82\x82", "\x82\x81\x82\x61"},  // ＡＢ, ａｂ, ａＢ
      {"\x87\x90", "\x81\xE0", "\x81\xE0"},                          // ≒ twice: NEC, JIS
      {"\xED\x40", "\xFA\x5C", "\xFA\x5C"},                          // 纊 twice: NEC, IBM
      {"\x87\x54", "\xFA\x40", "\xEE\xEF"},                          // Ⅰ and ⅰ twice
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ShowBytes(c.first));
    fs::remove_all(out());
    fs::create_directories(out());
    const std::string pkg = Package({Member(c.first, "first"), Member(c.second, "second")});
    XraRun r = Xra("extract " + Quote(pkg) + " -C " + Quote(out()));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("skipped, an earlier member has the same name"), std::string::npos);
    ASSERT_EQ(Tree(out()).size(), 1u);
    EXPECT_EQ(ReadFileOrDie(out() + "/" + Tree(out())[0]), Bytes("first"));
    // Asked for by any of its forms, the first is the one written.
    fs::remove_all(out());
    fs::create_directories(out());
    std::string asked;
    ASSERT_TRUE(ToUtf8(c.asked, &asked));
    r = Xra("extract " + Quote(pkg) + " -C " + Quote(out()) + " " + Quote(asked));
    EXPECT_EQ(r.status, 0) << r.out;
    ASSERT_EQ(Tree(out()).size(), 1u);
    EXPECT_EQ(ReadFileOrDie(out() + "/" + Tree(out())[0]), Bytes("first"));
  }
  // And create refuses two such files.
  WriteFileOrDie(root_.File(u8"pkg/ＡＢ"), Bytes("1"));
  fs::create_directories(root_.File("pkg/2"));
  WriteFileOrDie(root_.File(u8"pkg/2/ａｂ"), Bytes("2"));
  const XraRun r = Xra("create " + Quote(out() + "/n.xra") + " " + Quote(root_.File(u8"pkg/ＡＢ")) +
                       " " + Quote(root_.File(u8"pkg/2/ａｂ")));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("without regard to case"), std::string::npos) << r.out;
}

TEST_F(XraHostile, OnlyRegularFilesBecomeMembers) {
  const std::string fifo = root_.File("pkg/FIFO");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string package = Quote(out() + "/p.xra");
  for (const std::string& input : {fifo, std::string("/dev/null"), root_.File("pkg")}) {
    SCOPED_TRACE(input);
    const XraRun r = Xra("create " + package + " " + Quote(input));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("not a regular file"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(out() + "/p.xra"));
  }
  const XraRun r = Shell("echo data | " + XraCommand("create " + package + " /dev/stdin"));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_FALSE(fs::exists(out() + "/p.xra"));
}

TEST_F(XraHostile, LinuxPathsAreUsedAsGiven) {
  // UTF-8 folder names whose bytes would be lead bytes of code page 932, and names with a
  // backslash or a colon, are folders like any other.
  for (const char* folder : {u8"あ", "a\\b", "a:b", u8"表"}) {
    SCOPED_TRACE(folder);
    const std::string dir = root_.File(std::string("pkg/") + folder);
    fs::create_directories(dir);
    WriteFileOrDie(dir + "/GAME.ARC", Bytes("game"));
    XraRun r = Xra("create " + Quote(dir + "/p.xra") + " " + Quote(dir + "/GAME.ARC"));
    ASSERT_EQ(r.status, 0) << r.out;
    r = Xra("extract " + Quote(dir + "/p.xra") + " -C " + Quote(out()));
    ASSERT_EQ(r.status, 0) << r.out;
    // Relative too, from the folder's parent.
    r = Shell("cd " + Quote(root_.File("pkg")) + " && " +
              XraCommand("extract " + Quote(std::string(folder) + "/p.xra") + " -C " +
                         Quote(folder)));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(Tree(dir), (std::vector<std::string>{"GAME.ARC", "p.xra"}));
    fs::remove(out() + "/GAME.ARC");
  }
}

TEST_F(XraHostile, FailuresNameTheFileAndTheReason) {
  const std::string pkg = Package({Member("GAME.ARC", "game")});
  struct Case {
    std::string what, args, reason;
  };
  fs::create_directories(out() + "/GAME.ARC");
  std::vector<Case> cases = {
      {"a folder in the way", "extract " + Quote(pkg) + " -C " + Quote(out()), "Is a directory"},
      {"a missing folder", "extract " + Quote(pkg) + " -C " + Quote(out() + "/none"),
       "No such file or directory"},
      {"a missing package", "test " + Quote(root_.File("none.xra")), "No such file or directory"},
      {"a folder as the package", "test " + Quote(out()), "not a regular file"},
      {"a folder as a member", "create " + Quote(root_.File("n.xra")) + " " + Quote(out()),
       "not a regular file"},
  };
  if (geteuid() != 0) {  // root may write anything
    fs::create_directories(root_.File("locked"));
    fs::permissions(root_.File("locked"), fs::perms::owner_read | fs::perms::owner_exec);
    cases.push_back({"a folder that cannot be written",
                     "extract " + Quote(pkg) + " -C " + Quote(root_.File("locked")),
                     "Permission denied"});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const XraRun r = Xra(c.args);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find(c.reason), std::string::npos) << r.out;
  }
  if (geteuid() != 0) fs::permissions(root_.File("locked"), fs::perms::owner_all);
}

TEST_F(XraHostile, DecodeBoundsItsOutputAndGivesTheCount) {
  const std::string in = root_.File("s.bin");
  WriteFileOrDie(in, {0x00, 0xF8, 0x6A, 0xE4, 0x41, 0x42, 0x43, 0x01, 0x00, 0x44, 0xFF});
  const std::string out = Quote(root_.File("s.out"));
  XraRun r = Xra("decode --size 4294967295 " + Quote(in) + " " + out);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("yields at most 1283 bytes"), std::string::npos) << r.out;
  for (const char* size : {"11", "13", "0"}) {
    r = Xra("decode --size " + std::string(size) + " " + Quote(in) + " " + out);
    EXPECT_EQ(r.status, 1) << size;
    EXPECT_NE(r.out.find("yields 12 bytes, not the " + std::string(size)), std::string::npos)
        << r.out;
  }
  EXPECT_FALSE(fs::exists(root_.File("s.out")));
}

TEST_F(XraHostile, ReplacedFilesKeepTheirModeAndNewOnesTakeTheUmask) {
  const std::string pkg = Package({Member("GAME.ARC", "game"), Member("NEW.DAT", "new")});
  WriteFileOrDie(out() + "/GAME.ARC", Bytes("old"));
  ASSERT_EQ(chmod((out() + "/GAME.ARC").c_str(), 0640), 0);
  ASSERT_EQ(chmod(pkg.c_str(), 0600), 0);
  XraRun r = Shell("umask 077 && " + XraCommand("extract " + Quote(pkg) + " -C " + Quote(out())));
  ASSERT_EQ(r.status, 0) << r.out;
  struct stat st;
  ASSERT_EQ(stat((out() + "/GAME.ARC").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  ASSERT_EQ(stat((out() + "/NEW.DAT").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  // A package made again over itself keeps its mode.
  r = Xra("create " + Quote(pkg) + " " + Quote(out() + "/GAME.ARC"));
  ASSERT_EQ(r.status, 0) << r.out;
  ASSERT_EQ(stat(pkg.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(XraHostile, NoCommandWritesOverItsOwnInput) {
  // A package named as one of its members, extracted where it lies.
  const std::string pkg = Package({Member("GAME.ARC", "member")}, "GAME.ARC");
  const std::vector<uint8_t> before = ReadFileOrDie(pkg);
  XraRun r = Shell("cd " + Quote(root_.File("pkg")) + " && " + XraCommand("extract GAME.ARC"));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("over the package itself"), std::string::npos) << r.out;
  EXPECT_EQ(ReadFileOrDie(pkg), before);
  // Each input is one that the command would otherwise take: a file, and a valid stream.
  const std::vector<uint8_t> stream = {0x00, 0xF8, 0x6A, 0xE4, 0x41, 0x42,
                                       0x43, 0x01, 0x00, 0x44, 0xFF};
  for (const std::string command : {"create", "encode", "decode"}) {
    SCOPED_TRACE(command);
    const std::string file = root_.File("pkg/DATA.BIN");
    const std::vector<uint8_t> content = command == "decode" ? stream : Bytes("data");
    WriteFileOrDie(file, content);
    r = Xra(command + " " + Quote(file) + " " + Quote(file));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_EQ(ReadFileOrDie(file), content);
  }
}

TEST_F(XraHostile, DoubleDashEndsTheOptionsOfEveryCommand) {
  const std::string dir = root_.File("pkg");
  WriteFileOrDie(dir + "/-GAME.ARC", Bytes("game"));
  auto inDir = [&](const std::string& args) {
    return Shell("cd " + Quote(dir) + " && " + XraCommand(args));
  };
  XraRun r = inDir("create -- -p.xra -GAME.ARC");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(inDir("list -- -p.xra").status, 0);
  EXPECT_EQ(inDir("test -- -p.xra").status, 0);
  EXPECT_EQ(inDir("extract -p.xra").status, 2) << "without --, an option";
  r = inDir("extract -C " + Quote(out()) + " -- -p.xra -game.arc");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(ReadFileOrDie(out() + "/-GAME.ARC"), Bytes("game"));
  EXPECT_EQ(inDir("encode -- -GAME.ARC -s.bin").status, 0);
  EXPECT_EQ(inDir("decode --size 4 -- -s.bin -back").status, 0);
  EXPECT_EQ(ReadFileOrDie(dir + "/-back"), Bytes("game"));
}

TEST_F(XraHostile, AnInterruptedRunRemovesItsTemporaryFile) {
  // A stored package large enough that its write takes a while; the run is interrupted once its
  // temporary file is there.
  const std::string big = root_.File("pkg/BIG.DAT");
  {
    FILE* f = fopen(big.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(ftruncate(fileno(f), 200 << 20), 0);
    fclose(f);
  }
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    freopen("/dev/null", "w", stdout);
    setenv("LC_ALL", "C.UTF-8", 1);
    execl(XRA_PATH, XRA_PATH, "create", (out() + "/p.xra").c_str(), "--store", big.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  bool seen = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!seen && std::chrono::steady_clock::now() < deadline) {
    for (const auto& e : fs::directory_iterator(out())) {
      seen = seen || e.path().filename().string().rfind("~xra", 0) == 0;
    }
    if (!seen) std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  kill(child, SIGINT);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  if (!seen || WIFEXITED(status)) GTEST_SKIP() << "the write ended before it could be interrupted";
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
  // No temporary file is left; the package is there only when it was put in place before the
  // signal came, and then whole.
  for (const std::string& name : Tree(out())) {
    EXPECT_EQ(name, "p.xra");
    EXPECT_EQ(Xra("test " + Quote(out() + "/p.xra")).status, 0);
  }
}

}  // namespace
