// The installer's configuration file SETUP.INI, section [SETUP], loaded into InstallerConfig.
//
// LoadInstallerConfig takes no arguments: it reads the file named by SetupIniPath with the key
// readers of config/profile.h, fills InstallerConfig and the four values of GameIdentity
// (updater/shared_state.h), which are this record's CompanyName, GameTitle, GameClass and
// GameDir, and checks counts and lists. It returns 1 when the file passed every rule; 0 at the
// first broken one, after its message (caption "INSTCMMN", no owner while no wizard is open),
// leaving the values read so far in place. A missing mandatory key is reported only while
// QuietMissingKeys is 0; after the mandatory keys the load sets QuietMissingKeys to 1. The record
// is emptied when the load starts. The load never repairs a value and never writes outside a
// field: tokens and values longer than their fields are cut to fit.
#ifndef CONFIG_INSTALLER_CONFIG_H
#define CONFIG_INSTALLER_CONFIG_H

#include <stdint.h>

#include "updater/shared_state.h"

constexpr int kSetupBmpSlots = 20;
constexpr int kInstallSelectsMax = 3;
constexpr int kInstallFileSlots = 40;
constexpr int kShortcutsMax = 10;
constexpr int kShortcutFieldCount = 3;
constexpr int kDiskCheckFileCount = 10;  // indexed by disk number 0 to 9
constexpr int kUninstallFileSlots = 20;

// InstallDirectX flag word: the option bits of the DirectX setup call.
constexpr uint32_t kDirectXCore = 0x10000;
constexpr uint32_t kDirectXDisplayDrivers = 0x8;
constexpr uint32_t kDirectXSoundDrivers = 0x10;

// The fields bear the names of the keys they come from; CompanyName, GameTitle, GameClass and
// GameDir live in GameIdentity.
struct InstallerConfigRecord {
  char GameExe[kPathSize];
  char UninstExe[kPathSize];
  char SetupBmps[kSetupBmpSlots][kPathSize];
  int32_t LastSetupBmp;  // number of names - 1
  int32_t InstallSelects;
  char InstallTitles[kInstallSelectsMax][kPathSize];
  char InstallFiles[kInstallSelectsMax][kInstallFileSlots][kPathSize];
  int32_t InstallFileDisks[kInstallSelectsMax][kInstallFileSlots];
  int32_t SelectionUsesMedia[kInstallSelectsMax];
  int32_t Shortcuts;
  char ShortcutFields[kShortcutsMax][kShortcutFieldCount][kPathSize];
  int32_t DefaultSelect;
  uint64_t InstallSizes[kInstallSelectsMax];
  char DiskCheckFiles[kDiskCheckFileCount][kPathSize];
  char ExecApp[2][kPathSize];
  uint32_t InstallDirectX;
  char InstallDXMessage[kTextSize];
  char SelectSetupMessage[kTextSize];
  char AdditionalUninstallFiles[kUninstallFileSlots][kPathSize];
  int32_t AdditionalUninstallCount;
};

extern InstallerConfigRecord InstallerConfig;

int LoadInstallerConfig();

#endif
