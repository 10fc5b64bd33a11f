// Installs a package image as the process's ThePackage for the length of a test.
#ifndef TESTS_PACKAGE_FIXTURE_H
#define TESTS_PACKAGE_FIXTURE_H

#include <gtest/gtest.h>

#include <vector>

#include "package/package.h"
#include "platform/box_recorder.h"
#include "platform/platform.h"
#include "updater/shared_state.h"

class InstalledPackage {
 public:
  explicit InstalledPackage(std::vector<uint8_t> image) : image_(std::move(image)) {
    ThePackage.image = image_.data();
    ThePackage.imageSize = static_cast<uint32_t>(image_.size());
    ThePackage.directory = LoadPackageDirectory(image_.data(), ThePackage.imageSize);
    EXPECT_NE(ThePackage.directory, nullptr);
    ThePackage.entries =
        ThePackage.directory != nullptr ? DirectoryEntries(ThePackage.directory) : nullptr;
    ClearRecordedBoxes();
  }
  ~InstalledPackage() {
    PlatFree(ThePackage.directory);
    ThePackage = Package{};
  }

 private:
  std::vector<uint8_t> image_;
};

// The one box the updater's reporter showed, or a failure.
inline void ExpectOneUpdateError(const char* text) {
  ASSERT_EQ(RecordedBoxes().size(), 1u);
  EXPECT_EQ(RecordedBoxes()[0].text, text);
  EXPECT_EQ(RecordedBoxes()[0].caption, WindowTitle);
  EXPECT_EQ(RecordedBoxes()[0].style, static_cast<uint32_t>(PlatMbIconError));
  EXPECT_EQ(RecordedBoxes()[0].owner, WizardWindow);
}

#endif
