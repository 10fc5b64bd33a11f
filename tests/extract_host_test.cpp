// Extraction cases that need the host stand-in's drives and injected failures.
#include <gtest/gtest.h>
#include <string.h>

#include <filesystem>

#include "package/extract.h"
#include "platform/box_recorder.h"
#include "platform/host/host_control.h"
#include "tests/package_fixture.h"
#include "tests/test_support.h"

namespace {

constexpr uint64_t kTime = 0x01D5000000000000ull;

class ExtractHost : public ::testing::Test {
 protected:
  void SetUp() override {
    HostReset();
    HostMapDrive('C', dir_.path(), PlatDriveFixed, 1ull << 30);
  }
  void TearDown() override { HostReset(); }
  std::vector<std::string> FilesInDir() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_.path())) {
      names.push_back(e.path().filename().string());
    }
    return names;
  }
  ScratchDir dir_;
  InstalledPackage package_{StoredPackage({
      StoredMember("BIG.DAT", std::vector<uint8_t>(1000, 'b'), kTime),
      CompressedMember("SMALL.DAT", 5, LiteralStream(Bytes("small")), kTime),
  })};
};

TEST_F(ExtractHost, FreeSpaceEqualToTheSizeIsEnough) {
  HostSetFreeBytes('C', 1000);
  EXPECT_EQ(ExtractMember("BIG.DAT", "C:\\BIG.DAT", 0), 1);
  EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(ExtractHost, TooLittleSpaceIsReportedBeforeTheDestinationIsLookedAt) {
  // The destination already holds a file of the same size, and the check still counts the
  // whole member.
  WriteFileOrDie(dir_.File("BIG.DAT"), std::vector<uint8_t>(1000, 'o'));
  HostSetFreeBytes('C', 999);
  EXPECT_EQ(ExtractMember("BIG.DAT", "C:\\BIG.DAT", 1), 0);
  ExpectOneUpdateError(
      "ディスク容量が足りません。C: ドライブに 1 バイトの空き容量が必要です");
  EXPECT_EQ(ReadFileOrDie(dir_.File("BIG.DAT")), std::vector<uint8_t>(1000, 'o'));
}

TEST_F(ExtractHost, UnknownFreeSpaceDoesNotBlockTheUpdate) {
  // A path without a drive letter names no volume the system can query.
  EXPECT_EQ(ExtractMember("SMALL.DAT", dir_.File("SMALL.DAT").c_str(), 0), 1);
  EXPECT_EQ(ReadFileOrDie(dir_.File("SMALL.DAT")), Bytes("small"));
  EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(ExtractHost, FailedWritesLeaveTheOldFileAndNoTemporaryFile) {
  struct Case {
    const char* what;
    void (*inject)();
  } const cases[] = {
      {"write fails part-way", [] { HostFailNextWrites(1, 3); }},
      {"file time cannot be set", [] { HostFailNextSetTimes(1); }},
  };
  for (const Case& c : cases) {
    WriteFileOrDie(dir_.File("BIG.DAT"), Bytes("the player's file"));
    c.inject();
    EXPECT_EQ(ExtractMember("BIG.DAT", "C:\\BIG.DAT", 0), 0) << c.what;
    EXPECT_EQ(ReadFileOrDie(dir_.File("BIG.DAT")), Bytes("the player's file")) << c.what;
    EXPECT_EQ(FilesInDir(), std::vector<std::string>{"BIG.DAT"}) << c.what;
  }
  EXPECT_TRUE(RecordedBoxes().empty());
}

// Destinations whose folder leaves no room for the usual temporary name, down to a name of one
// byte: a failed write still leaves the old file whole and no temporary file behind.
TEST_F(ExtractHost, FailedWritesOfTheLongestPathsLeaveTheOldFile) {
  for (const char* name : {"BIG.DAT", "B"}) {
    SCOPED_TRACE(name);
    // "C:\" + folder + "\" + name is 259 bytes.
    const std::string folder(259 - 3 - 1 - strlen(name), 'f');
    ASSERT_TRUE(std::filesystem::create_directories(dir_.File(folder)) ||
                std::filesystem::is_directory(dir_.File(folder)));
    const std::string destination = "C:\\" + folder + "\\" + name;
    ASSERT_EQ(destination.size(), 259u);
    const std::string native = dir_.File(folder) + "/" + name;
    WriteFileOrDie(native, Bytes("the player's file"));
    HostFailNextWrites(1, 3);
    EXPECT_EQ(ExtractMember("BIG.DAT", destination.c_str(), 0), 0);
    EXPECT_EQ(ReadFileOrDie(native), Bytes("the player's file"));
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_.File(folder))) {
      names.push_back(e.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{name});
    // And without a failure it is written.
    EXPECT_EQ(ExtractMember("BIG.DAT", destination.c_str(), 0), 1);
    EXPECT_EQ(ReadFileOrDie(native), std::vector<uint8_t>(1000, 'b'));
  }
  EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(ExtractHost, AllocationFailureIsReported) {
  HostFailNextAllocs(1);
  EXPECT_EQ(ExtractMember("SMALL.DAT", "C:\\SMALL.DAT", 0), 0);
  ExpectOneUpdateError("Can't Allocate Memory !!");
}

TEST(FreeSpace, LooksTheCallUpOnceAndFallsBackToClusters) {
  HostReset();
  HostMapDrive('D', "/", PlatDriveFixed, 5ull << 32, 9ull << 32);
  uint64_t free = 0, total = 0, totalFree = 0;
  ASSERT_EQ(QueryFreeSpace("D:", &free, &total, &totalFree), 1);
  EXPECT_EQ(free, 5ull << 32);
  EXPECT_EQ(total, 9ull << 32);
  EXPECT_EQ(totalFree, 5ull << 32);
  const int lookups = HostFreeSpaceExLookups();
  ASSERT_EQ(QueryFreeSpace("D:", &free, &total, nullptr), 1);
  EXPECT_EQ(HostFreeSpaceExLookups(), lookups) << "the address found is kept";

  // When the call fails, the cluster counts answer, also beyond 4 GiB.
  HostSetFreeSpaceExFails(true);
  ASSERT_EQ(QueryFreeSpace("D:", &free, &total, &totalFree), 1);
  EXPECT_EQ(free, 5ull << 32);
  EXPECT_EQ(total, 9ull << 32);
  EXPECT_EQ(totalFree, free);
  EXPECT_EQ(QueryFreeSpace("Q:", &free, &total, nullptr), 0);
  HostReset();
}

}  // namespace
