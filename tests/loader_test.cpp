#include <gtest/gtest.h>
#include <string.h>

#include <vector>

#include "package/member.h"
#include "package/package.h"
#include "platform/platform.h"
#include "tests/bit_writer.h"
#include "tests/test_support.h"

namespace {

struct DirectoryDeleter {
  void operator()(PackageDirectory* d) const { PlatFree(d); }
};
using DirectoryPtr = std::unique_ptr<PackageDirectory, DirectoryDeleter>;

DirectoryPtr LoadImage(const std::vector<uint8_t>& image) {
  // An exact heap copy, so that a read past the image is seen by the sanitizers.
  std::unique_ptr<uint8_t[]> copy(new uint8_t[image.size() + 1]);
  std::copy(image.begin(), image.end(), copy.get());
  return DirectoryPtr(LoadPackageDirectory(copy.get(), static_cast<uint32_t>(image.size())));
}

DirectoryPtr LoadFile(const ScratchDir& dir, const std::vector<uint8_t>& image) {
  const std::string path = dir.File("pkg.xra");
  WriteFileOrDie(path, image);
  return DirectoryPtr(LoadPackageDirectory(path.c_str(), 0));
}

std::vector<PackageMemberInput> TwoMembers() {
  return {CompressedMember("UPDATE.INI", 5, LiteralStream(Bytes("[a]\r\n")), 0x01D2000000000001ull),
          StoredMember("GAME.ARC", Bytes("0123456789abcdefXYZ"), 0x01D3000000000002ull)};
}

std::vector<uint8_t> CompressedDirectoryPackage(const std::vector<PackageMemberInput>& members) {
  std::vector<uint8_t> image;
  EXPECT_TRUE(AssemblePackage(members, LiteralStream(EncodeDirectory(members)), true, &image));
  return image;
}

void ExpectTwoMembers(const PackageDirectory* d, uint32_t flags) {
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->header.magic, kPackageMagic);
  EXPECT_EQ(d->header.flags, flags);
  ASSERT_EQ(d->header.entryCount, 2u);
  const PackageEntry* e = DirectoryEntries(const_cast<PackageDirectory*>(d));
  EXPECT_STREQ(e[0].name, "UPDATE.INI");
  EXPECT_EQ(e[0].flags, kEntryCompressed);
  EXPECT_EQ(e[0].size, 5u);
  EXPECT_EQ(e[0].time, 0x01D2000000000001ull);
  EXPECT_STREQ(e[1].name, "GAME.ARC");
  EXPECT_EQ(e[1].size, 19u);
  EXPECT_EQ(e[1].storedSize, 19u);
  EXPECT_EQ(e[1].time, 0x01D3000000000002ull);
  // The second member starts after the first one's stored size rounded up to 16.
  EXPECT_EQ(MemberOffset(d, 0), 16u);
  EXPECT_EQ(MemberOffset(d, 1), 16u + PackageSpan(e[0].storedSize));
  EXPECT_EQ(d->header.directoryOffset, MemberOffset(d, 1) + 32u);
  uint64_t offsets[2] = {};
  MemberOffsets(d, offsets);
  EXPECT_EQ(offsets[0], MemberOffset(d, 0));
  EXPECT_EQ(offsets[1], MemberOffset(d, 1));
}

TEST(Loader, StoredAndCompressedDirectoriesInBothModes) {
  ScratchDir dir;
  const std::vector<uint8_t> stored = StoredPackage(TwoMembers());
  const std::vector<uint8_t> compressed = CompressedDirectoryPackage(TwoMembers());
  ExpectTwoMembers(LoadImage(stored).get(), 0);
  ExpectTwoMembers(LoadFile(dir, stored).get(), 0);
  ExpectTwoMembers(LoadImage(compressed).get(), kPackageDirectoryCompressed);
  ExpectTwoMembers(LoadFile(dir, compressed).get(), kPackageDirectoryCompressed);
}

TEST(Loader, ZeroEntriesGiveTheHeaderAlone) {
  ScratchDir dir;
  for (bool compressedDir : {false, true}) {
    std::vector<uint8_t> image;
    BitWriter w;
    w.EndMarker();
    ASSERT_TRUE(AssemblePackage({}, compressedDir ? w.bytes() : std::vector<uint8_t>(),
                                compressedDir, &image));
    for (int fileMode = 0; fileMode < 2; fileMode++) {
      DirectoryPtr d = fileMode ? LoadFile(dir, image) : LoadImage(image);
      ASSERT_NE(d, nullptr) << compressedDir << fileMode;
      EXPECT_EQ(d->header.entryCount, 0u);
      EXPECT_EQ(d->header.directoryOffset, 16u);
    }
  }
}

TEST(Loader, MagicIsCheckedInFileModeOnly) {
  ScratchDir dir;
  std::vector<uint8_t> image = StoredPackage(TwoMembers());
  image[3] = '!';
  EXPECT_NE(LoadImage(image), nullptr);
  EXPECT_EQ(LoadFile(dir, image), nullptr);
  PackageStatus status;
  const std::string path = dir.File("pkg.xra");
  EXPECT_EQ(LoadPackageDirectoryStatus(path.c_str(), 0, &status), nullptr);
  EXPECT_EQ(status, PackageBadMagic);
}

TEST(Loader, CompressedDirectoryRunsToTheEndOfThePackage) {
  // Bytes after the stream's end marker belong to the directory's input and are ignored.
  std::vector<uint8_t> image = CompressedDirectoryPackage(TwoMembers());
  image.insert(image.end(), {0xDE, 0xAD, 0xBE, 0xEF});
  ExpectTwoMembers(LoadImage(image).get(), kPackageDirectoryCompressed);
}

TEST(Loader, EveryTruncationIsRefused) {
  ScratchDir dir;
  for (bool compressedDir : {false, true}) {
    const std::vector<uint8_t> image =
        compressedDir ? CompressedDirectoryPackage(TwoMembers()) : StoredPackage(TwoMembers());
    for (size_t length = 0; length < image.size(); length++) {
      std::vector<uint8_t> cut(image.begin(), image.begin() + length);
      if (length > 0) {
        EXPECT_EQ(LoadImage(cut), nullptr) << compressedDir << " " << length;
      }
      EXPECT_EQ(LoadFile(dir, cut), nullptr) << compressedDir << " " << length;
    }
  }
}

TEST(Loader, HostileHeadersAndEntriesAreRefused) {
  const std::vector<uint8_t> good = StoredPackage(TwoMembers());
  auto with = [&](size_t offset, uint32_t value) {
    std::vector<uint8_t> image = good;
    for (int i = 0; i < 4; i++) image[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    return image;
  };
  struct Case {
    const char* what;
    std::vector<uint8_t> image;
    PackageStatus status;
  };
  const uint32_t dirOffset = static_cast<uint32_t>(good.size() - 64);
  std::vector<Case> cases = {
      {"entry count whose block overflows 32 bits", with(12, 0xFFFFFFFFu), PackageBadDirectory},
      {"entry count past the end", with(12, 3), PackageBadDirectory},
      {"directory offset past the end", with(8, 0x7FFFFFFFu), PackageBadDirectory},
      {"directory offset inside the header", with(8, 4), PackageBadDirectory},
      {"members run into the directory", with(8, dirOffset - 16), PackageMembersOverlap},
  };
  std::vector<uint8_t> unterminated = good;
  memset(&unterminated[dirOffset], 'N', 15);
  cases.push_back({"name without its zero byte", unterminated, PackageBadName});
  std::vector<uint8_t> bigStored = good;
  const uint32_t huge = 0x7FFFFFF0u;
  for (int i = 0; i < 4; i++) bigStored[dirOffset + 28 + i] = static_cast<uint8_t>(huge >> (8 * i));
  cases.push_back({"stored size far past the image", bigStored, PackageMembersOverlap});
  // A compressed directory claiming a million entries from a few bytes is refused before its
  // block is allocated.
  std::vector<uint8_t> greedy = CompressedDirectoryPackage(TwoMembers());
  for (int i = 0; i < 4; i++) greedy[12 + i] = static_cast<uint8_t>(1000000u >> (8 * i));
  cases.push_back({"compressed directory claiming too much", greedy, PackageBadDirectory});
  std::vector<uint8_t> three = CompressedDirectoryPackage(TwoMembers());
  three[12] = 3;
  cases.push_back({"compressed directory yielding too little", three, PackageBadStream});
  std::vector<uint8_t> one = CompressedDirectoryPackage(TwoMembers());
  one[12] = 1;
  cases.push_back({"compressed directory yielding too much", one, PackageBadStream});

  for (const Case& c : cases) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[c.image.size()]);
    std::copy(c.image.begin(), c.image.end(), copy.get());
    PackageStatus status = PackageOk;
    EXPECT_EQ(LoadPackageDirectoryStatus(copy.get(), static_cast<uint32_t>(c.image.size()),
                                         &status),
              nullptr)
        << c.what;
    EXPECT_EQ(status, c.status) << c.what;
  }
}

TEST(Loader, MembersAreFoundWithoutRegardToCaseFirstOneWinning) {
  std::vector<PackageMemberInput> members = TwoMembers();
  members.push_back(StoredMember("update.ini", Bytes("second")));
  const std::vector<uint8_t> image = StoredPackage(members);
  DirectoryPtr d = LoadImage(image);
  ASSERT_NE(d, nullptr);
  uint32_t offset = 0;
  EXPECT_EQ(FindMember(d.get(), "Update.Ini", &offset), 0);
  EXPECT_EQ(offset, 16u);
  EXPECT_EQ(FindMember(d.get(), "game.arc", &offset), 1);
  EXPECT_EQ(offset, MemberOffset(d.get(), 1));
  EXPECT_EQ(FindMember(d.get(), "GAME.AR", &offset), -1);

  const PackageEntry* e = DirectoryEntries(d.get());
  void* block = nullptr;
  MemberStatus status;
  const uint8_t* data = MemberContent(image.data(), static_cast<uint32_t>(image.size()), e[0], 16,
                                      &block, &status, nullptr);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::vector<uint8_t>(data, data + e[0].size), Bytes("[a]\r\n"));
  PlatFree(block);
  data = MemberContent(image.data(), static_cast<uint32_t>(image.size()), e[1],
                       MemberOffset(d.get(), 1), &block, &status, nullptr);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(block, nullptr) << "a stored member is read in place";
  EXPECT_EQ(std::vector<uint8_t>(data, data + e[1].size), Bytes("0123456789abcdefXYZ"));
}

}  // namespace
