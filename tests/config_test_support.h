// Shared by the configuration-file tests: a fixture that puts the process-wide state back to its
// start (the tests run many reads in one process) and a check of the "INSTCMMN" boxes shown.
#ifndef TESTS_CONFIG_TEST_SUPPORT_H
#define TESTS_CONFIG_TEST_SUPPORT_H

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "config/installer_config.h"
#include "config/profile.h"
#include "platform/box_recorder.h"
#include "updater/shared_state.h"

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetConfigState(); }
  void TearDown() override { ResetConfigState(); }

  static void ResetConfigState() {
    ResetProfileState();
    memset(&GameIdentity, 0, sizeof GameIdentity);
    memset(&InstallerConfig, 0, sizeof InstallerConfig);
    WizardWindow = nullptr;
    ClearRecordedBoxes();
  }
};

// The boxes shown since the last clear are exactly `texts`, each an error box captioned
// "INSTCMMN" and owned by `owner`; then forgets them.
inline void ExpectCommonErrors(const std::vector<std::string>& texts, PlatWindow owner = nullptr) {
  const std::vector<RecordedBox>& boxes = RecordedBoxes();
  std::vector<std::string> shown;
  for (const RecordedBox& box : boxes) {
    shown.push_back(box.text);
    EXPECT_EQ(box.caption, "INSTCMMN");
    EXPECT_EQ(box.style, 0x10u);
    EXPECT_EQ(box.owner, owner);
  }
  EXPECT_EQ(shown, texts);
  ClearRecordedBoxes();
}

#endif
