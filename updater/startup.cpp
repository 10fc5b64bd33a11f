#include "updater/startup.h"

#include <stdio.h>
#include <string.h>

#include "config/installer_config.h"
#include "config/profile.h"
#include "package/extract.h"
#include "package/package.h"
#include "updater/update_plan.h"
#include "updater/update_run.h"
#include "updater/wizard.h"

const char kPackageResourceType[] = "UPDATE";

UpdateSettingsRecord UpdateSettings;
char ScriptPath[kPathSize];

namespace {

int32_t EndStartup(int32_t code) {
  ReleasePackage();
  return code;
}

// A string value into a 260-byte field. A value that fills the whole field leaves no room for its
// terminator and counts as not fitting, like a longer one.
int QueryStringValue(PlatKey key, const char* name, char* field) {
  memset(field, 0, kPathSize);
  uint32_t size = kPathSize;
  if (PlatRegQueryValue(key, name, field, &size) != PlatErrorSuccess ||
      memchr(field, 0, kPathSize) == nullptr) {
    memset(field, 0, kPathSize);
    return 0;
  }
  return 1;
}

// A 32-bit value, little-endian as the registry stores it; a shorter value is zero-extended.
int QueryNumberValue(PlatKey key, const char* name, int32_t* out) {
  uint8_t bytes[4] = {0, 0, 0, 0};
  uint32_t size = sizeof bytes;
  if (PlatRegQueryValue(key, name, bytes, &size) != PlatErrorSuccess) return 0;
  *out = static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) |
                              static_cast<uint32_t>(bytes[1]) << 8 |
                              static_cast<uint32_t>(bytes[2]) << 16 |
                              static_cast<uint32_t>(bytes[3]) << 24);
  return 1;
}

// A folder given whole: "X:\..." or a network path "\\...". Anything else would be taken from the
// current folder, which for an elevated process can be the system's own.
bool IsFullPath(const char* path) {
  const bool letter = (path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z');
  if (letter && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) return true;
  const bool separator0 = path[0] == '\\' || path[0] == '/';
  return separator0 && (path[1] == '\\' || path[1] == '/');
}

// The installation's registry key, found with the script's CompanyName and GameDir. An InstPath
// that is not a full path names no folder of its own, and counts as no installation; such a
// DataPath counts as none.
int FindInstallation() {
  char keyPath[kTextSize];
  snprintf(keyPath, sizeof keyPath, "Software\\%s\\%s", GameIdentity.CompanyName,
           GameIdentity.GameDir);
  PlatKey key = nullptr;
  if (PlatRegOpenCurrentUserKey(keyPath, PlatKeyRead, &key) != PlatErrorSuccess) return 0;
  int found = QueryStringValue(key, "InstPath", UpdateSettings.InstPath) &&
              IsFullPath(UpdateSettings.InstPath);
  if (found) {
    if (QueryStringValue(key, "DataPath", UpdateSettings.DataPath) &&
        !IsFullPath(UpdateSettings.DataPath)) {
      memset(UpdateSettings.DataPath, 0, sizeof UpdateSettings.DataPath);
    }
    found = QueryNumberValue(key, "InstMode", &UpdateSettings.InstMode);
  }
  PlatRegCloseKey(key);
  return found;
}

// Asks the user to quit the game while a window of GameClass titled `title` is found. Returns 1
// once none is left, 0 when the user stops the update (the game window is then brought forward).
int WaitForGame(const char* title) {
  for (;;) {
    PlatWindow game = PlatFindWindow(GameIdentity.GameClass, title);
    if (game == nullptr) return 1;
    char message[kTextSize];
    snprintf(message, sizeof message,
             "「%s」が実行中です。アップデートを続行する場合はゲームを終了してから [OK] "
             "を、アップデートを中止する場合は [キャンセル] を押して下さい",
             title);
    if (PlatMessageBox(nullptr, message, WindowTitle, PlatMbOkCancel) != PlatIdOk) {
      PlatShowWindow(game, PlatSwShow);
      PlatSetForegroundWindow(game);
      return 0;
    }
  }
}

}  // namespace

const void* LoadResourceBlock(PlatModule module, uint32_t id, const char* type, uint32_t* size) {
  PlatResource resource = PlatFindResource(module, id, type);
  if (resource == nullptr) return nullptr;
  const uint32_t length = PlatSizeofResource(module, resource);
  if (length == 0) return nullptr;
  PlatResourceData data = PlatLoadResource(module, resource);
  if (data == nullptr) return nullptr;
  const void* bytes = PlatLockResource(data);
  if (bytes == nullptr) return nullptr;
  *size = length;
  return bytes;
}

int AppendPathComponent(char* path, uint32_t size, const char* component) {
  const size_t length = strnlen(path, size);
  if (length >= size) return 0;  // not a terminated path: nothing can be joined to it
  const bool separator = length > 0 && path[length - 1] != '\\' && path[length - 1] != '/';
  const size_t componentLength = strlen(component);
  // The joined text, its terminator and the second zero byte.
  if (length + (separator ? 1 : 0) + componentLength + 2 > size) return 0;
  char* p = path + length;
  if (separator) *p++ = '\\';
  memcpy(p, component, componentLength);
  p[componentLength] = '\0';
  p[componentLength + 1] = '\0';
  return 1;
}

void ReleasePackage() {
  if (ThePackage.directory != nullptr) {
    PlatFree(ThePackage.directory);
    ThePackage.directory = nullptr;
    ThePackage.entries = nullptr;
  }
  PlatDeleteFile(ScriptPath);
}

void ConvertUpdateMessage(const char* message, char* out) {
  const char* p = message;
  char* q = out;
  while (*p != '\0') {
    // One character, as CharNextA steps: a lead byte and the byte after it, or one byte.
    if (PlatIsLeadByte(static_cast<uint8_t>(*p)) && p[1] != '\0') {
      *q++ = *p++;
      *q++ = *p++;
    } else if (p[0] == '\\' && p[1] == 'n') {
      *q++ = '\r';
      p += 2;
    } else {
      *q++ = *p++;
    }
  }
  *q = '\0';
}

int32_t UpdaterMain(PlatModule instance, PlatModule, const char*, int32_t) {
  PlatInitCom();

  uint32_t imageSize = 0;
  const void* image = LoadResourceBlock(instance, kPackageResourceId, kPackageResourceType,
                                        &imageSize);
  if (image == nullptr) {
    ReportUpdateError("UPDATE.XRA not found");
    return EndStartup(0);
  }
  ThePackage.image = static_cast<const uint8_t*>(image);
  ThePackage.imageSize = imageSize;

  ThePackage.directory = LoadPackageDirectory(ThePackage.image, ThePackage.imageSize);
  if (ThePackage.directory == nullptr) {
    ReportUpdateError("RESOURCE READ ERROR");
    return EndStartup(0);
  }
  ThePackage.entries = DirectoryEntries(ThePackage.directory);

  // Without a temporary folder the script would land in the current folder, and the clean-up
  // would then delete a file of the user's that happens to have its name there. The name is the
  // process's own: a second copy of the updater (or another game's), started while this one's
  // wizard is open, would otherwise overwrite this copy's script, and delete it on its way out.
  memset(ScriptPath, 0, sizeof ScriptPath);
  char scriptName[32];
  snprintf(scriptName, sizeof scriptName, "UPDATE-%08X.INI",
           static_cast<unsigned>(PlatCurrentProcessId()));
  const uint32_t tempLength = PlatGetTempPath(kPathSize, ScriptPath);
  if (tempLength == 0 || tempLength >= kPathSize ||
      !AppendPathComponent(ScriptPath, kPathSize, scriptName)) {
    memset(ScriptPath, 0, sizeof ScriptPath);
    ReportUpdateError("UPDATE.INI not found at UPDATE.XRA");
    return EndStartup(0);
  }
  if (!ExtractMember("UPDATE.INI", ScriptPath, 0)) {
    ReportUpdateError("UPDATE.INI not found at UPDATE.XRA");
    return EndStartup(0);
  }

  // The four mandatory keys report themselves; the rest of the process reads keys silently.
  if (!ReadScriptSetup(ScriptPath, &UpdateSettings)) return EndStartup(0);

  if (!FindInstallation()) {
    char message[kTextSize];
    snprintf(message, sizeof message, "「%s」がインストールされていません",
             GameIdentity.GameTitle);
    ReportUpdateError(message);
    return EndStartup(0);
  }

  if (UpdateSettings.UpdateMessage[0] != '\0') {
    char message[kTextSize];
    ConvertUpdateMessage(UpdateSettings.UpdateMessage, message);
    ReportUpdateError(message);
  }

  memcpy(SetupIniPath, UpdateSettings.InstPath, sizeof SetupIniPath);
  if (!AppendPathComponent(SetupIniPath, kPathSize, "SETUP.INI") ||
      PlatGetFileAttributes(SetupIniPath) == PlatAttrInvalid) {
    ReportUpdateError("インストール先に \"SETUP.INI\" ファイルが見つかりません");
    return EndStartup(0);
  }
  if (!LoadInstallerConfig()) return EndStartup(0);

  if (UpdateSettings.UpdaterTitle[0] != '\0') {
    snprintf(WindowTitle, sizeof WindowTitle, "%s", UpdateSettings.UpdaterTitle);
  } else {
    snprintf(WindowTitle, sizeof WindowTitle, "%s アップデータ %s", GameIdentity.GameTitle,
             UpdateSettings.UpdaterVersion);
  }

  PlatWindow other = PlatFindDialogWindow(WindowTitle);
  if (other != nullptr) {
    PlatShowWindow(other, PlatSwShow);
    PlatSetForegroundWindow(other);
    return EndStartup(0);
  }

  if (!WaitForGame(GameIdentity.GameTitle)) return EndStartup(0);
  if (UpdateSettings.GameTitleA[0] != '\0' && !WaitForGame(UpdateSettings.GameTitleA)) {
    return EndStartup(0);
  }

  const int64_t result = PlatDialogBox(instance, kWizardTemplateId, WizardDialogProc, 0);
  WizardWindow = nullptr;
  if (result == 0) return EndStartup(1);
  ReportUpdateError("アップデートが中断されました");
  return EndStartup(0);
}

void ResetUpdaterState() {
  ResetProfileState();
  memset(&GameIdentity, 0, sizeof GameIdentity);
  memset(&InstallerConfig, 0, sizeof InstallerConfig);
  memset(&UpdateSettings, 0, sizeof UpdateSettings);
  memset(ScriptPath, 0, sizeof ScriptPath);
  memset(&UpdatePlan, 0, sizeof UpdatePlan);
  ThePackage = Package{};
  snprintf(WindowTitle, sizeof WindowTitle, "%s", "UPDATE");
  WizardWindow = nullptr;
  WizardPage = 0;
  WizardBusy = 0;
  UpdateCompleted = 0;
}
