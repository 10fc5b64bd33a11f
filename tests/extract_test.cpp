// Member extraction through the platform interface alone, so the same cases run on the host
// stand-in and on Windows.
#include "package/extract.h"

#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>

#include "package/wholefile.h"
#include "platform/box_recorder.h"
#include "platform/platform.h"
#include "tests/package_fixture.h"
#include "tests/test_support.h"

namespace {

constexpr uint64_t kMemberTime = 0x01D5123456789ABCull;

std::vector<uint8_t> SamplePackage() {
  return StoredPackage({
      CompressedMember("UPDATE.INI", 6, LiteralStream(Bytes("[a]x\r\n")), kMemberTime),
      StoredMember("GAME.ARC", Bytes("new game data"), kMemberTime + 7),
      StoredMember("game.arc", Bytes("shadowed"), kMemberTime),
  });
}

struct Times {
  uint64_t creation = 0, access = 0, write = 0;
};

Times TimesOf(const std::string& path) {
  Times t;
  PlatFile f = PlatOpenRead(path.c_str());
  EXPECT_NE(f, nullptr) << path;
  if (f != nullptr) {
    EXPECT_EQ(PlatGetFileTimes(f, &t.creation, &t.access, &t.write), 1);
    PlatCloseFile(f);
  }
  return t;
}

void SetWriteTime(const std::string& path, uint64_t time) {
  // A handle opened for writing would truncate; the whole-file writer keeps the content.
  std::vector<uint8_t> content = ReadFileOrDie(path);
  ASSERT_EQ(WriteWholeFile(path.c_str(), content.data(), static_cast<uint32_t>(content.size()),
                           &time),
            1);
}

class Extract : public ::testing::Test {
 protected:
  InstalledPackage package_{SamplePackage()};
  ScratchDir dir_;
};

TEST_F(Extract, FindsMembersWithoutRegardToCaseFirstOneWinning) {
  const std::string out = dir_.File("GAME.ARC");
  EXPECT_EQ(ExtractMember("Game.Arc", out.c_str(), 0), 1);
  EXPECT_EQ(ReadFileOrDie(out), Bytes("new game data"));
  EXPECT_EQ(ExtractMember("update.ini", dir_.File("u.ini").c_str(), 0), 1);
  EXPECT_EQ(ReadFileOrDie(dir_.File("u.ini")), Bytes("[a]x\r\n"));
  EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(Extract, AllThreeTimesAreTheMembersTime) {
  const std::string out = dir_.File("GAME.ARC");
  ASSERT_EQ(ExtractMember("GAME.ARC", out.c_str(), 0), 1);
  const Times t = TimesOf(out);
  EXPECT_EQ(t.write, kMemberTime + 7);
  EXPECT_EQ(t.access, kMemberTime + 7);
  EXPECT_EQ(t.creation, kMemberTime + 7);
}

TEST_F(Extract, MissingMemberIsReported) {
  EXPECT_EQ(ExtractMember("NOPE.DAT", dir_.File("x").c_str(), 0), 0);
  ExpectOneUpdateError("Can't Find File in Resource !!");
  EXPECT_EQ(PlatGetFileAttributes(dir_.File("x").c_str()), PlatAttrInvalid);
}

TEST_F(Extract, NewerOnlyKeepsAFileNewerByOneTick) {
  const std::string out = dir_.File("GAME.ARC");
  struct Case {
    const char* what;
    int newerOnly;
    uint64_t existingTime;
    bool replaced;
  } const cases[] = {
      {"newer by one tick", 1, kMemberTime + 8, false},
      {"equal times", 1, kMemberTime + 7, true},
      {"older", 1, kMemberTime, true},
      {"newer, but not newer-only", 0, kMemberTime + 1000, true},
  };
  for (const Case& c : cases) {
    WriteFileOrDie(out, Bytes("installed"));
    SetWriteTime(out, c.existingTime);
    EXPECT_EQ(ExtractMember("GAME.ARC", out.c_str(), c.newerOnly), 1) << c.what;
    EXPECT_EQ(ReadFileOrDie(out), c.replaced ? Bytes("new game data") : Bytes("installed"))
        << c.what;
    EXPECT_EQ(TimesOf(out).write, c.replaced ? kMemberTime + 7 : c.existingTime) << c.what;
  }
  EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(Extract, ReadOnlyDestinationLosesTheAttribute) {
  const std::string out = dir_.File("GAME.ARC");
  for (int newerOnly : {0, 1}) {
    WriteFileOrDie(out, Bytes("installed"));
    SetWriteTime(out, kMemberTime + 100);
    ASSERT_EQ(PlatSetFileAttributes(out.c_str(), PlatAttrReadOnly), 1);
    EXPECT_EQ(ExtractMember("GAME.ARC", out.c_str(), newerOnly), 1);
    EXPECT_EQ(PlatGetFileAttributes(out.c_str()) & PlatAttrReadOnly, 0u) << newerOnly;
    // Newer-only keeps the newer file untouched but for the attribute.
    EXPECT_EQ(ReadFileOrDie(out), newerOnly ? Bytes("installed") : Bytes("new game data"));
  }
}

TEST_F(Extract, DirectoryAtTheDestinationFailsSilently) {
  const std::string out = dir_.File("GAME.ARC");
  ASSERT_EQ(PlatCreateDirectory(out.c_str()), 1);
  EXPECT_EQ(ExtractMember("GAME.ARC", out.c_str(), 0), 0);
  EXPECT_NE(PlatGetFileAttributes(out.c_str()) & PlatAttrDirectory, 0u);
  EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(Extract, MissingFolderFailsSilently) {
  EXPECT_EQ(ExtractMember("GAME.ARC", dir_.File("no-such-folder/GAME.ARC").c_str(), 0), 0);
  EXPECT_TRUE(RecordedBoxes().empty());
}

// The longest destinations a path may name: their folder is too long for a temporary name beside
// the file, and they are written all the same, with the member's times.
TEST_F(Extract, DestinationsOf258And259BytesAreWritten) {
  const std::string separator = dir_.File("x").substr(dir_.path().size(), 1);
  for (size_t total : {258u, 259u}) {
    SCOPED_TRACE(total);
    std::string folder = dir_.path() + separator + "d" + std::to_string(total);
    const size_t wanted = total - separator.size() - strlen("GAME.ARC");  // the folder's length
    ASSERT_LT(folder.size() + 2, wanted);
    ASSERT_EQ(PlatCreateDirectory(folder.c_str()), 1);
    while (folder.size() < wanted) {
      const size_t room = wanted - folder.size() - 1;  // after the separator
      folder += separator + std::string(std::min<size_t>(room, 120), 'f');
      // A folder name of one byte would be needed to end exactly; make the last one longer.
      if (wanted - folder.size() == 1) folder += "g";
      ASSERT_EQ(PlatCreateDirectory(folder.c_str()), 1) << folder.size();
    }
    const std::string out = folder + separator + "GAME.ARC";
    ASSERT_EQ(out.size(), total);
    EXPECT_EQ(ExtractMember("GAME.ARC", out.c_str(), 0), 1);
    EXPECT_EQ(ReadFileOrDie(out), Bytes("new game data"));
    const Times t = TimesOf(out);
    EXPECT_EQ(t.write, kMemberTime + 7);
    EXPECT_EQ(t.creation, kMemberTime + 7);
  }
  EXPECT_TRUE(RecordedBoxes().empty());
}

TEST(WholeFile, ReadsAndWritesWithOrWithoutATime) {
  ScratchDir dir;
  const std::string path = dir.File("data.bin");
  const std::vector<uint8_t> data = Bytes("some bytes\0with a zero");
  const uint64_t time = 0x01D0000000000001ull;
  ASSERT_EQ(WriteWholeFile(path.c_str(), data.data(), static_cast<uint32_t>(data.size()), &time),
            1);
  uint32_t size = 0;
  void* block = ReadWholeFile(path.c_str(), &size);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::vector<uint8_t>(static_cast<uint8_t*>(block), static_cast<uint8_t*>(block) + size),
            data);
  PlatFree(block);
  EXPECT_EQ(TimesOf(path).write, time);

  // Without a time the file gets the time of the write, not the old one.
  ASSERT_EQ(WriteWholeFile(path.c_str(), data.data(), 3, nullptr), 1);
  EXPECT_EQ(ReadFileOrDie(path), Bytes("som"));
  EXPECT_NE(TimesOf(path).write, time);

  EXPECT_EQ(ReadWholeFile(dir.File("missing").c_str(), &size), nullptr);
  // Zero-byte files read as an empty block.
  ASSERT_EQ(WriteWholeFile(path.c_str(), "", 0, nullptr), 1);
  block = ReadWholeFile(path.c_str(), &size);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(size, 0u);
  PlatFree(block);
}

}  // namespace
