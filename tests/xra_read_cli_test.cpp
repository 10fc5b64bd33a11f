// The read side of the xra tool, run as a program: output formats, exit status, refusals.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "tests/bit_writer.h"
#include "tests/cli_runner.h"
#include "tests/test_support.h"

namespace {

// 2022-06-18T04:26:40Z and one tick less than a second after it.
constexpr uint64_t kTime1 = 133000000000000000ull;
constexpr uint64_t kTime2 = 133000000009999999ull;

std::vector<PackageMemberInput> Members() {
  return {CompressedMember("UPDATE.INI", 5, LiteralStream(Bytes("[a]\r\n")), kTime1),
          StoredMember("GAME.ARC", Bytes("game"), kTime2)};
}

class XraRead : public ::testing::Test {
 protected:
  std::string Package(const std::vector<PackageMemberInput>& members) {
    const std::string path = dir_.File("p.xra");
    WriteFileOrDie(path, StoredPackage(members));
    return path;
  }
  bool Exists(const std::string& name) { return std::filesystem::exists(out_.File(name)); }
  ScratchDir dir_;
  ScratchDir out_;
};

TEST_F(XraRead, ListTsvGivesOneExactLinePerMember) {
  const std::string pkg = Package(Members());
  XraRun r = Xra("list --tsv " + Quote(pkg));
  EXPECT_EQ(r.status, 0);
  const size_t stored = LiteralStream(Bytes("[a]\r\n")).size();
  EXPECT_EQ(r.out, "UPDATE.INI\t5\t" + std::to_string(stored) +
                       "\tcompressed\t2022-06-18T04:26:40.0000000Z\n"
                       "GAME.ARC\t4\t4\tstored\t2022-06-18T04:26:40.9999999Z\n");
  r = Xra("list " + Quote(pkg));
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("GAME.ARC"), std::string::npos);
  EXPECT_NE(r.out.find("2 members"), std::string::npos);
}

TEST_F(XraRead, ExtractWritesContentAndTime) {
  const std::string pkg = Package(Members());
  XraRun r = Xra("extract " + Quote(pkg) + " -C " + Quote(out_.path()));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(ReadFileOrDie(out_.File("UPDATE.INI")), Bytes("[a]\r\n"));
  EXPECT_EQ(ReadFileOrDie(out_.File("GAME.ARC")), Bytes("game"));
  struct stat st;
  ASSERT_EQ(stat(out_.File("GAME.ARC").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1655526400);
  EXPECT_EQ(st.st_mtim.tv_nsec, 999999900);
}

TEST_F(XraRead, ExtractNamedMembersWithoutRegardToCase) {
  const std::string pkg = Package(Members());
  XraRun r = Xra("extract " + Quote(pkg) + " -C " + Quote(out_.path()) + " game.arc");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Exists("GAME.ARC"));
  EXPECT_FALSE(Exists("UPDATE.INI"));
  r = Xra("extract " + Quote(pkg) + " -C " + Quote(out_.path()) + " UPDATE.INI NOPE.DAT");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("NOPE.DAT"), std::string::npos);
  EXPECT_FALSE(Exists("UPDATE.INI")) << "nothing is written when a name is missing";
}

TEST_F(XraRead, ExtractRefusesNamesThatAreNotPlainFileNames) {
  for (const char* name : {"", ".", "..", "a/b", "a\\b", "C:x", "tab\tx"}) {
    std::vector<PackageMemberInput> members = Members();
    members.push_back(StoredMember(name, Bytes("evil")));
    const std::string pkg = Package(members);
    XraRun r = Xra("extract " + Quote(pkg) + " -C " + Quote(out_.path()));
    EXPECT_EQ(r.status, 1) << name;
    EXPECT_NE(r.out.find("refusing"), std::string::npos) << name;
    EXPECT_TRUE(std::filesystem::is_empty(out_.path())) << name;
  }
}

TEST_F(XraRead, TestReportsEachMemberAndFailsOnABadOne) {
  std::string pkg = Package(Members());
  XraRun r = Xra("test " + Quote(pkg));
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("2 members tested, 0 failed"), std::string::npos) << r.out;
  // A stream one byte short of what its entry claims.
  std::vector<PackageMemberInput> members = Members();
  members[0].entry.size = 6;
  pkg = Package(members);
  r = Xra("test " + Quote(pkg));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("fewer bytes"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1 failed"), std::string::npos) << r.out;
}

TEST_F(XraRead, DecodeExpandsOneStreamAndChecksItsSize) {
  const std::string in = dir_.File("s.bin");
  const std::string out = dir_.File("s.out");
  WriteFileOrDie(in, {0x00, 0xF8, 0x6A, 0xE4, 0x41, 0x42, 0x43, 0x01, 0x00, 0x44, 0xFF});
  EXPECT_EQ(Xra("decode " + Quote(in) + " " + Quote(out)).status, 0);
  EXPECT_EQ(ReadFileOrDie(out), Bytes("ABCABCABCCCD"));
  EXPECT_EQ(Xra("decode " + Quote(in) + " " + Quote(out) + " --size 12").status, 0);
  EXPECT_EQ(Xra("decode " + Quote(in) + " " + Quote(out) + " --size 13").status, 1);
  EXPECT_EQ(Xra("decode " + Quote(in) + " " + Quote(out) + " --size 1x").status, 2);
}

TEST_F(XraRead, BadDataGivesOneAndBadUsageTwo) {
  const std::string junk = dir_.File("junk");
  WriteFileOrDie(junk, Bytes("this is not a package at all"));
  XraRun r = Xra("list " + Quote(junk));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find(junk), std::string::npos) << "the message names the file";
  EXPECT_EQ(Xra("test " + Quote(dir_.File("missing"))).status, 1);
  EXPECT_EQ(Xra("").status, 2);
  EXPECT_EQ(Xra("frobnicate").status, 2);
  EXPECT_EQ(Xra("list").status, 2);
  EXPECT_EQ(Xra("list --bogus x").status, 2);
  EXPECT_EQ(Xra("extract x -C").status, 2);
  EXPECT_EQ(Xra("--help").status, 0);
  for (const char* command : {"list", "extract", "test", "decode"}) {
    r = Xra(std::string(command) + " --help");
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_EQ(r.out.rfind("usage: xra " + std::string(command), 0), 0u) << command;
  }
}

}  // namespace
