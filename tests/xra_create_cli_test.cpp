// The write side of the xra tool, run as a program: packages from `create` read back by `list`,
// `test` and `extract`; its refusals; `encode` against `decode`.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli_runner.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  std::string field;
  while (std::getline(in, field, '\t')) fields.push_back(field);
  return fields;
}

std::string Replace(std::string text, const std::string& what, const std::string& with) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
  return text;
}

std::vector<uint8_t> Noise(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (uint8_t& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

void SetWriteTime(const std::string& path, time_t seconds, long nanoseconds) {
  struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

class XraCreate : public ::testing::Test {
 protected:
  std::string Make(const std::string& name, const std::vector<uint8_t>& content) {
    const std::string path = in_.File(name);
    fs::create_directories(fs::path(path).parent_path());
    WriteFileOrDie(path, content);
    return path;
  }
  ScratchDir in_;
  ScratchDir out_;
};

// One member of each kind: compressible text, a table, incompressible bytes under a Japanese
// name of exactly 14 bytes in code page 932 (19 in UTF-8), and an empty file. Names are UTF-8
// (u8 literals: plain ones are compiled to code page 932), as a Linux terminal gives them.
struct Source {
  const char* name;
  std::vector<uint8_t> content;
  time_t seconds;
  long nanoseconds;
  const char* time;  // as list shows it
  bool compresses;
};

std::vector<Source> Sources() {
  std::string script = "[SETUP]\r\nCompanyName=SampleWorks\r\nGameTitle=Sample\r\n[UPDATE]\r\n";
  for (int i = 0; i < 40; i++) script += "UpdateFile" + std::to_string(i) + "=DATA.BIN\r\n";
  std::vector<uint8_t> table;
  for (uint32_t i = 0; i < 20000; i++) {
    for (int k = 0; k < 4; k++) table.push_back(static_cast<uint8_t>((i * 7 / 3) >> (8 * k)));
  }
  return {
      {"UPDATE.INI", Bytes(script), 1557126489, 123456700, "2019-05-06T07:08:09.1234567Z", true},
      {"DATA.BIN", table, 981173106, 0, "2001-02-03T04:05:06.0000000Z", true},
      {u8"取扱説明書.TXT", Noise(3000, 1), 981173106, 999999900, "2001-02-03T04:05:06.9999999Z",
       false},
      {"EMPTY.DAT", {}, 1557126489, 100, "2019-05-06T07:08:09.0000001Z", false},
  };
}

TEST_F(XraCreate, PackagesReadBackWithTheirNamesSizesAndTimes) {
  const std::vector<Source> sources = Sources();
  std::string files;
  for (const Source& s : sources) {
    const std::string path = Make(s.name, s.content);
    SetWriteTime(path, s.seconds, s.nanoseconds);
    files += " " + Quote(path);
  }
  for (const char* level : {"fast", "default", "max"}) {
    SCOPED_TRACE(level);
    const std::string pkg = out_.File(std::string("p-") + level + ".xra");
    XraRun r = Xra("create " + Quote(pkg) + " --level " + level + files);
    ASSERT_EQ(r.status, 0) << r.out;

    r = Xra("list --tsv " + Quote(pkg));
    ASSERT_EQ(r.status, 0) << r.out;
    std::stringstream lines(r.out);
    std::string line;
    for (const Source& s : sources) {
      ASSERT_TRUE(std::getline(lines, line)) << s.name;
      const std::vector<std::string> f = Fields(line);
      ASSERT_EQ(f.size(), 5u) << line;
      EXPECT_EQ(f[0], s.name);
      EXPECT_EQ(f[1], std::to_string(s.content.size())) << s.name;
      EXPECT_EQ(f[3], s.compresses ? "compressed" : "stored") << s.name;
      if (s.compresses) {
        EXPECT_LT(std::stoul(f[2]), s.content.size()) << s.name;
      } else {
        EXPECT_EQ(f[2], f[1]) << s.name;
      }
      EXPECT_EQ(f[4], s.time) << s.name;
    }
    EXPECT_FALSE(std::getline(lines, line)) << line;
    EXPECT_NE(Xra("list " + Quote(pkg)).out.find("directory compressed"), std::string::npos);
    r = Xra("test " + Quote(pkg));
    EXPECT_EQ(r.status, 0) << r.out;

    ScratchDir extracted;
    r = Xra("extract " + Quote(pkg) + " -C " + Quote(extracted.path()));
    ASSERT_EQ(r.status, 0) << r.out;
    for (const Source& s : sources) {
      EXPECT_EQ(ReadFileOrDie(extracted.File(s.name)), s.content) << s.name;
      struct stat st;
      ASSERT_EQ(stat(extracted.File(s.name).c_str(), &st), 0) << s.name;
      EXPECT_EQ(st.st_mtim.tv_sec, s.seconds) << s.name;
      EXPECT_EQ(st.st_mtim.tv_nsec, s.nanoseconds) << s.name;
    }
  }
}

// --time replaces every member's file time, so that packages built from fresh checkouts agree
// byte for byte; a time that is not exactly YYYY-MM-DDTHH:MM:SSZ, or not a real one, is wrong
// usage.
TEST_F(XraCreate, TimeOptionGivesEveryMemberThatTime) {
  const std::string a = Make("UPDATE.INI", Bytes("[SETUP]\r\n"));
  const std::string b = Make(u8"読んでね.TXT", Bytes(std::string(2000, 'b')));
  SetWriteTime(a, 1557126489, 123456700);
  SetWriteTime(b, 981173106, 0);
  const struct {
    const char* time;
    const char* listed;
  } kTimes[] = {
      {"2026-12-01T00:00:00Z", "2026-12-01T00:00:00.0000000Z"},
      {"2024-02-29T23:59:59Z", "2024-02-29T23:59:59.0000000Z"},  // a leap day
      {"2000-02-29T12:34:56Z", "2000-02-29T12:34:56.0000000Z"},  // leap though a century
      {"1601-01-01T00:00:00Z", "1601-01-01T00:00:00.0000000Z"},  // file time zero
      {"9999-12-31T23:59:59Z", "9999-12-31T23:59:59.0000000Z"},
  };
  std::vector<uint8_t> first;
  for (const auto& t : kTimes) {
    SCOPED_TRACE(t.time);
    const std::string pkg = out_.File("p.xra");
    XraRun r = Xra("create " + Quote(pkg) + " --time " + t.time + " " + Quote(a) + " " + Quote(b));
    ASSERT_EQ(r.status, 0) << r.out;
    r = Xra("list --tsv " + Quote(pkg));
    ASSERT_EQ(r.status, 0) << r.out;
    std::stringstream lines(r.out);
    std::string line;
    int members = 0;
    while (std::getline(lines, line)) {
      const std::vector<std::string> f = Fields(line);
      ASSERT_EQ(f.size(), 5u) << line;
      EXPECT_EQ(f[4], t.listed) << line;
      members++;
    }
    EXPECT_EQ(members, 2) << r.out;
    if (first.empty()) first = ReadFileOrDie(pkg);
  }
  // The files' own times do not matter any more.
  SetWriteTime(a, 1700000000, 5);
  SetWriteTime(b, 1700000001, 0);
  const std::string again = out_.File("again.xra");
  ASSERT_EQ(
      Xra("create " + Quote(again) + " --time " + kTimes[0].time + " " + Quote(a) + " " + Quote(b))
          .status,
      0);
  EXPECT_EQ(ReadFileOrDie(again), first);

  for (const char* bad :
       {"2026-12-01", "2026-12-01T00:00:00", "2026-12-01T00:00:00.5Z", "2026-12-01 00:00:00Z",
        "2026-12-01T00:00:00+09:00", "2026-13-01T00:00:00Z", "2026-00-10T00:00:00Z",
        "2026-02-29T00:00:00Z", "1900-02-29T00:00:00Z", "2026-04-31T00:00:00Z",
        "2026-12-00T00:00:00Z", "2026-12-01T24:00:00Z", "2026-12-01T00:60:00Z",
        "2026-12-01T00:00:60Z", "1600-12-31T23:59:59Z", "２０２６-12-01T00:00:00Z",
        "2026-12-01T00:00:00ZZ", "-026-12-01T00:00:00Z"}) {
    const std::string pkg = out_.File("bad.xra");
    XraRun r = Xra("create " + Quote(pkg) + " --time " + Quote(bad) + " " + Quote(a));
    EXPECT_EQ(r.status, 2) << bad << ": " << r.out;
    EXPECT_NE(r.out.find("--time '" + std::string(bad) + "' is not a UTC time"), std::string::npos)
        << r.out;
    EXPECT_FALSE(fs::exists(pkg)) << bad;
  }
  XraRun r = Xra("create " + Quote(out_.File("bad.xra")) + " " + Quote(a) + " --time");
  EXPECT_EQ(r.status, 2) << r.out;
  EXPECT_NE(r.out.find("--time needs a time"), std::string::npos) << r.out;
}

TEST_F(XraCreate, StoreOptionsStoreMembersAndDirectory) {
  const std::string file = Make("UPDATE.INI", std::vector<uint8_t>(5000, 'x'));
  const std::string pkg = out_.File("p.xra");
  ASSERT_EQ(Xra("create " + Quote(pkg) + " --store --stored-directory " + Quote(file)).status, 0);
  XraRun r = Xra("list " + Quote(pkg));
  EXPECT_NE(r.out.find("stored"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("compressed"), std::string::npos) << r.out;
  EXPECT_EQ(Xra("test " + Quote(pkg)).status, 0);
  ASSERT_EQ(Xra("create " + Quote(pkg) + " " + Quote(file)).status, 0);
  r = Xra("list --tsv " + Quote(pkg));
  EXPECT_EQ(Fields(r.out.substr(0, r.out.find('\n')))[3], "compressed") << r.out;
}

TEST_F(XraCreate, RefusalsNameTheFileAndWriteNothing) {
  struct Case {
    const char* what;
    std::vector<std::string> files;  // created unless `missing`
    bool missing;
    const char* why;  // in the message
  };
  const std::vector<Case> cases = {
      {"15-byte name", {"ABCDEFGHIJK.TXT"}, false, "takes 15 bytes"},
      {"16 bytes in code page 932, 8 characters", {u8"日本語ファイル名"}, false, "takes 16 bytes"},
      {"no form in code page 932", {"\xF0\x9F\x98\x80.TXT"}, false, "no form in code page 932"},
      {"colon", {"A:B"}, false, "colon"},
      {"control character", {"TAB\tX"}, false, "control character"},
      {"backslash", {"BACK\\SLASH"}, false, "folder separator"},
      {"names equal without regard to case",
       {"a/GAME.ARC", "b/game.arc"},
       false,
       "without regard to case"},
      {"file that does not exist", {"NOPE.DAT"}, true, "cannot open"},
  };
  const std::string pkg = out_.File("p.xra");
  for (const Case& c : cases) {
    std::string args;
    for (const std::string& name : c.files) {
      const std::string path = c.missing ? in_.File(name) : Make(name, Bytes("data"));
      args += " " + Quote(path);
    }
    XraRun r = Xra("create " + Quote(pkg) + args);
    EXPECT_EQ(r.status, 1) << c.what << ": " << r.out;
    // Messages show a control character as \xNN.
    const std::string named = Replace(in_.File(c.files.back()), "\t", "\\x09");
    EXPECT_NE(r.out.find(named), std::string::npos) << c.what << ": " << r.out;
    EXPECT_NE(r.out.find(c.why), std::string::npos) << c.what << ": " << r.out;
    EXPECT_FALSE(fs::exists(pkg)) << c.what;
  }
  // A folder, and names that are not file names: "..", a path ending in a separator.
  fs::create_directories(in_.File("DIR"));
  for (const std::string& path : {in_.File("DIR"), in_.path() + "/DIR/..", in_.path() + "/DIR/"}) {
    XraRun r = Xra("create " + Quote(pkg) + " " + Quote(path));
    EXPECT_EQ(r.status, 1) << path << ": " << r.out;
    EXPECT_FALSE(fs::exists(pkg)) << path;
  }
}

TEST_F(XraCreate, RefusalLeavesAnExistingPackageAsItWas) {
  const std::string good = Make("GOOD.DAT", Bytes("good"));
  const std::string pkg = out_.File("p.xra");
  ASSERT_EQ(Xra("create " + Quote(pkg) + " " + Quote(good)).status, 0);
  const std::vector<uint8_t> before = ReadFileOrDie(pkg);
  EXPECT_EQ(Xra("create " + Quote(pkg) + " " + Quote(good) + " " + Quote(in_.File("NOPE"))).status,
            1);
  EXPECT_EQ(ReadFileOrDie(pkg), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(out_.path()), fs::directory_iterator()), 1)
      << "no temporary file left beside it";
}

TEST_F(XraCreate, FileOf4GiBIsRefused) {
  // A sparse file: it takes no room, and the refusal comes before anything is read.
  const std::string big = Make("BIG.DAT", {});
  fs::resize_file(big, 1ull << 32);
  const std::string pkg = out_.File("p.xra");
  XraRun r = Xra("create " + Quote(pkg) + " " + Quote(big));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("4 GiB"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(pkg));
}

TEST_F(XraCreate, ProgressLineOnlyOnATerminal) {
  std::vector<uint8_t> big = Noise(1 << 20, 3);
  for (int i = 0; i < 5; i++) big.insert(big.end(), big.begin(), big.begin() + (1 << 20));
  const std::string file = Make("BIG.DAT", big);
  const std::string pkg = out_.File("p.xra");
  const std::string args = "create " + Quote(pkg) + " --level fast " + Quote(file);
  XraRun piped = Xra(args);
  ASSERT_EQ(piped.status, 0) << piped.out;
  EXPECT_EQ(piped.out.find("compressing"), std::string::npos) << piped.out;
  // `script` gives xra a terminal of its own; the command goes through a file to keep the
  // quoting simple.
  const std::string runner = in_.File("run.sh");
  WriteFileOrDie(runner, Bytes(XraCommand(args) + "\n"));
  XraRun onTerminal = Shell("script -qec " + Quote("sh " + runner) + " /dev/null");
  ASSERT_EQ(onTerminal.status, 0) << onTerminal.out;
  EXPECT_NE(onTerminal.out.find("compressing 100%"), std::string::npos) << onTerminal.out;
}

TEST_F(XraCreate, EncodeIsUndoneByDecode) {
  std::vector<uint8_t> content = Bytes(std::string(3000, 'a') + "tail");
  const std::vector<uint8_t> noise = Noise(5000, 2);
  content.insert(content.end(), noise.begin(), noise.end());
  const std::string in = Make("in.bin", content);
  for (const char* level : {"fast", "default", "max"}) {
    const std::string stream = out_.File(std::string("s-") + level);
    const std::string back = out_.File(std::string("b-") + level);
    ASSERT_EQ(Xra("encode " + Quote(in) + " " + Quote(stream) + " --level " + level).status, 0);
    EXPECT_LT(fs::file_size(stream), content.size()) << level;
    ASSERT_EQ(Xra("decode " + Quote(stream) + " " + Quote(back) + " --size " +
                  std::to_string(content.size()))
                  .status,
              0);
    EXPECT_EQ(ReadFileOrDie(back), content) << level;
  }
}

TEST_F(XraCreate, UsageErrorsGiveTwo) {
  const std::string file = Make("A.DAT", Bytes("a"));
  const std::string pkg = out_.File("p.xra");
  for (const std::string& args :
       {std::string("create"), "create " + Quote(pkg),
        "create " + Quote(pkg) + " --bogus " + Quote(file), "create " + Quote(pkg) + " --level",
        "create " + Quote(pkg) + " --level huge " + Quote(file), std::string("encode"),
        "encode " + Quote(file), "encode " + Quote(file) + " x --level 9"}) {
    EXPECT_EQ(Xra(args).status, 2) << args;
  }
  EXPECT_FALSE(fs::exists(pkg));
  for (const char* command : {"create", "encode"}) {
    XraRun r = Xra(std::string(command) + " --help");
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_EQ(r.out.rfind("usage: xra " + std::string(command), 0), 0u) << command;
  }
}

}  // namespace
