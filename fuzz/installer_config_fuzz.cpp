// LoadInstallerConfig on arbitrary SETUP.INI bytes: it must never write outside a field, must
// leave every string terminated within its field, and must keep the counts it accepts in range.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "config/installer_config.h"
#include "config/profile.h"
#include "fuzz/fuzz_file.h"
#include "platform/box_recorder.h"

namespace {

void Require(bool condition) {
  if (!condition) abort();
}

template <size_t N>
void RequireTerminated(const char (&field)[N]) {
  Require(memchr(field, 0, N) != nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  const std::string path = WriteFuzzFile("installer_config_fuzz", data, size);
  if (path.empty() || path.size() >= sizeof SetupIniPath) {
    RemoveFuzzFile(path);
    return 0;
  }
  ResetProfileState();
  memset(&GameIdentity, 0, sizeof GameIdentity);
  strcpy(SetupIniPath, path.c_str());
  QuietMissingKeys = static_cast<int32_t>(size & 1);  // both with and without missing-key reports

  const int loaded = LoadInstallerConfig();
  ClearRecordedBoxes();
  RemoveFuzzFile(path);

  const InstallerConfigRecord& c = InstallerConfig;
  RequireTerminated(GameIdentity.CompanyName);
  RequireTerminated(GameIdentity.GameTitle);
  RequireTerminated(GameIdentity.GameClass);
  RequireTerminated(GameIdentity.GameDir);
  RequireTerminated(c.GameExe);
  RequireTerminated(c.UninstExe);
  for (const auto& s : c.SetupBmps) RequireTerminated(s);
  for (const auto& s : c.InstallTitles) RequireTerminated(s);
  for (const auto& choice : c.InstallFiles) {
    for (const auto& s : choice) RequireTerminated(s);
  }
  for (const auto& shortcut : c.ShortcutFields) {
    for (const auto& s : shortcut) RequireTerminated(s);
  }
  for (const auto& s : c.DiskCheckFiles) RequireTerminated(s);
  for (const auto& s : c.ExecApp) RequireTerminated(s);
  RequireTerminated(c.InstallDXMessage);
  RequireTerminated(c.SelectSetupMessage);
  for (const auto& s : c.AdditionalUninstallFiles) RequireTerminated(s);
  for (const auto& disks : c.InstallFileDisks) {
    for (int32_t disk : disks) Require(disk >= 0 && disk <= 9);
  }
  if (loaded) {
    Require(c.LastSetupBmp >= 0 && c.LastSetupBmp < kSetupBmpSlots);
    Require(c.InstallSelects <= kInstallSelectsMax && c.Shortcuts <= kShortcutsMax);
    Require(c.AdditionalUninstallCount >= 0 && c.AdditionalUninstallCount <= kUninstallFileSlots);
    Require((c.InstallDirectX & ~0x10018u) == 0);
    Require(QuietMissingKeys == 1);
  }
  return 0;
}
