#include "config/installer_config.h"

#include <stdio.h>
#include <string.h>

#include "config/profile.h"

InstallerConfigRecord InstallerConfig;

namespace {

// One buffer for every list value, as the installer reads them. A list ends at its value's
// terminator, so what an earlier, longer list left behind it is never read.
char gList[kTextSize];

// "InstallFiles%i" and the like, for any int index.
constexpr int kKeyNameSize = 32;

const char* KeyName(char (&name)[kKeyNameSize], const char* format, int index) {
  snprintf(name, sizeof name, format, index);
  return name;
}

void ReportListError(const char* key) {
  char message[kTextSize];
  snprintf(message, sizeof message, "SETUP.INI : %s エラー", key);
  ReportCommonError(message);
}

// Installer sizes: an optional sign (a minus negates modulo 2^64), then digits; no digits give 0.
uint64_t ParseUint64(const char* text) {
  bool negative;
  const char* p = SkipToDigits(text, &negative);
  uint64_t n = 0;
  for (; *p >= '0' && *p <= '9'; p++) n = n * 10 + static_cast<uint64_t>(*p - '0');
  return negative ? 0 - n : n;
}

int LoadMandatoryKeys() {
  InstallerConfigRecord& c = InstallerConfig;
  if (!ReadSetupKey("CompanyName", GameIdentity.CompanyName, kPathSize)) return 0;
  if (!ReadSetupKey("GameTitle", GameIdentity.GameTitle, kPathSize)) return 0;
  if (!ReadSetupKey("GameDir", GameIdentity.GameDir, kPathSize)) return 0;
  if (!ReadSetupKey("GameExe", c.GameExe, kPathSize)) return 0;
  if (!ReadSetupKey("UninstExe", c.UninstExe, kPathSize)) return 0;

  if (!ReadSetupKey("SetupBmp", gList, kTextSize)) return 0;
  const char* cursor = gList;
  int n = 0;
  while (n < kSetupBmpSlots && NextListToken(c.SetupBmps[n], kPathSize, &cursor)) n++;
  if (n == 0) {
    ReportCommonError("SETUP.INI : SetupBmps エラー");
    return 0;
  }
  if (n < kSetupBmpSlots) c.SetupBmps[n][0] = '\0';
  c.LastSetupBmp = n - 1;

  if (!ReadSetupInt("InstallSelects", &c.InstallSelects)) return 0;
  if (c.InstallSelects > kInstallSelectsMax) {
    ReportCommonError("SETUP.INI : InstallSelect オーバー");
    return 0;
  }
  char key[kKeyNameSize];
  for (int i = 0; i < c.InstallSelects; i++) {
    if (!ReadSetupKey(KeyName(key, "InstallTitle%i", i), c.InstallTitles[i], kPathSize)) return 0;
    if (!ReadSetupKey(KeyName(key, "InstallFiles%i", i), gList, kTextSize)) return 0;
    c.SelectionUsesMedia[i] = 0;
    CurrentDiskNumber = 0;
    cursor = gList;
    for (int j = 0; j < kInstallFileSlots; j++) {
      if (!NextListToken(c.InstallFiles[i][j], kPathSize, &cursor)) {
        if (j == 0) {
          ReportListError(key);
          return 0;
        }
        c.InstallFiles[i][j][0] = '\0';
        break;
      }
      c.InstallFileDisks[i][j] = CurrentDiskNumber;
      if (CurrentDiskNumber != 0) c.SelectionUsesMedia[i] = 1;
    }
  }

  if (!ReadSetupInt("Shortcuts", &c.Shortcuts)) return 0;
  if (c.Shortcuts > kShortcutsMax) {
    ReportCommonError("SETUP.INI : Shortcuts オーバー");
    return 0;
  }
  for (int s = 0; s < c.Shortcuts; s++) {
    if (!ReadSetupKey(KeyName(key, "Shortcut%i", s), gList, kPathSize)) return 0;
    cursor = gList;
    if (!NextListToken(c.ShortcutFields[s][0], kPathSize, &cursor) ||
        !NextListToken(c.ShortcutFields[s][1], kPathSize, &cursor)) {
      ReportListError(key);
      return 0;
    }
    if (!NextListToken(c.ShortcutFields[s][2], kPathSize, &cursor)) {
      c.ShortcutFields[s][2][0] = '\0';
    }
  }
  return 1;
}

int LoadOptionalKeys() {
  InstallerConfigRecord& c = InstallerConfig;
  char key[kKeyNameSize];
  if (!ReadSetupKey("GameClass", GameIdentity.GameClass, kPathSize)) {
    memcpy(GameIdentity.GameClass, GameIdentity.GameTitle, kPathSize);
  }
  if (!ReadSetupInt("DefaultSelect", &c.DefaultSelect)) c.DefaultSelect = 0;
  for (int i = 0; i < c.InstallSelects; i++) {
    char number[kNumberTextSize];
    c.InstallSizes[i] =
        ReadSetupNumberText(KeyName(key, "InstallSize%i", i), number) ? ParseUint64(number) : 0;
  }
  for (int d = 0; d < kDiskCheckFileCount; d++) {
    ReadSetupKey(KeyName(key, "DiskCheckFile%i", d), c.DiskCheckFiles[d], kPathSize);
  }

  if (!ReadSetupKey("ExecApp", gList, kPathSize)) {
    c.ExecApp[0][0] = '\0';
  } else {
    const char* cursor = gList;
    if (!NextListToken(c.ExecApp[0], kPathSize, &cursor) ||
        !NextListToken(c.ExecApp[1], kPathSize, &cursor)) {
      ReportListError("ExecApp");
      return 0;
    }
  }

  int32_t directX = 0;
  if (ReadSetupInt("InstallDirectX", &directX)) {
    c.InstallDirectX = kDirectXCore | ((directX & 1) ? kDirectXDisplayDrivers : 0) |
                       ((directX & 2) ? kDirectXSoundDrivers : 0);
  } else {
    c.InstallDirectX = 0;
  }
  if (!ReadSetupKey("InstallDXMessage", c.InstallDXMessage, kTextSize)) {
    snprintf(c.InstallDXMessage, kTextSize, "%s", "ＤｉｒｅｃｔＸをインストールする");
  }
  if (!ReadSetupKey("SelectSetupMessage", c.SelectSetupMessage, kTextSize)) {
    snprintf(c.SelectSetupMessage, kTextSize, "%s", "インストール方法を選択して下さい");
  }

  if (!ReadSetupKey("AdditionalUninstallFiles", gList, kTextSize)) return 1;
  c.AdditionalUninstallCount = 0;
  const char* cursor = gList;
  while (c.AdditionalUninstallCount < kUninstallFileSlots &&
         NextListToken(c.AdditionalUninstallFiles[c.AdditionalUninstallCount], kPathSize,
                       &cursor)) {
    c.AdditionalUninstallCount++;
  }
  return 1;
}

}  // namespace

int LoadInstallerConfig() {
  memset(&InstallerConfig, 0, sizeof InstallerConfig);
  if (!LoadMandatoryKeys()) return 0;
  QuietMissingKeys = 1;
  return LoadOptionalKeys();
}
