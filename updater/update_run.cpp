#include "updater/update_run.h"

#include <inttypes.h>
#include <stdio.h>
#include <string.h>

#include "config/installer_config.h"
#include "config/profile.h"
#include "config/update_script.h"
#include "package/extract.h"
#include "package/wholefile.h"
#include "updater/shared_state.h"
#include "updater/startup.h"
#include "updater/update_plan.h"

int32_t UpdateCompleted = 0;

namespace {

void EndWizard(PlatWindow dialog) { PlatEndDialog(dialog, -1); }

// The disk-space gate. Returns 1 when the update may go on; otherwise shows the shortage and
// leaves the warning page. Free space that cannot be determined is not held against the update.
int PassDiskSpaceGate(PlatWindow dialog) {
  int32_t required = 0;
  if (!ReadScriptNumber(ScriptPath, "RequiredDiskSpace", &required) || required == 0) return 1;
  char drive[3];
  const size_t driveLength = strnlen(UpdateSettings.InstPath, 2);
  memcpy(drive, UpdateSettings.InstPath, driveLength);
  drive[driveLength] = '\0';
  uint64_t freeBytes = 0, totalBytes = 0;
  if (!QueryFreeSpace(drive, &freeBytes, &totalBytes, nullptr)) return 1;
  // The script's number is a 32-bit count of bytes: "-1" asks for 4294967295.
  const uint64_t needed = static_cast<uint32_t>(required);
  if (needed <= freeBytes) return 1;
  char message[kPathSize];
  snprintf(message, sizeof message,
           "ディスク容量が足りません。\r%s ドライブに %" PRIu64 " バイトの空き容量が必要です",
           drive, needed - freeBytes);
  SetInfoText(dialog, "%s", message);
  EnableControl(dialog, kBackButton, 1);
  EnableControl(dialog, kNextButton, 0);
  EnableControl(dialog, kAbortButton, 1);
  return 0;
}

void ShowBusy(PlatWindow dialog) {
  SetInfoText(dialog, "%s", "アップデートを実行しています");
  EnableControl(dialog, kBackButton, 0);
  EnableControl(dialog, kNextButton, 0);
  EnableControl(dialog, kAbortButton, 0);
  PlatSetCursor(PlatLoadSystemCursor(PlatIdcWait));
}

void ShowCompleted(PlatWindow dialog) {
  UpdateCompleted = 1;
  SetInfoText(dialog, "%s", "アップデートは完了しました");
  PlatSetDlgItemText(dialog, kNextButton, "完了");
  EnableControl(dialog, kNextButton, 1);
  PlatSetFocus(PlatGetDlgItem(dialog, kNextButton));
  PlatSetCursor(PlatLoadSystemCursor(PlatIdcArrow));
}

// The destination of an update entry: the base folder, DataFolder (created, one level), the
// entry's path. 0 when there is no base folder or the path is longer than a destination may be.
int UpdateDestination(const UpdateEntry& entry, char (&destination)[kTextSize]) {
  const char* base = entry.kind == Data ? UpdateSettings.DataPath : UpdateSettings.InstPath;
  // Without a data folder the entry would land in whatever the current folder is.
  if (base[0] == '\0') return 0;
  memset(destination, 0, sizeof destination);
  memcpy(destination, base, strnlen(base, kPathSize - 1));
  if (!AppendPathComponent(destination, sizeof destination, UpdateSettings.DataFolder)) return 0;
  if (strlen(destination) <= kPathSize - 1) PlatCreateDirectory(destination);
  if (!AppendPathComponent(destination, sizeof destination, entry.path)) return 0;
  return strlen(destination) <= kPathSize - 1;
}

// One update entry. Returns 0 after the failure's message.
int WriteUpdateEntry(const UpdateEntry& entry, int overwriteOnly) {
  char destination[kTextSize];
  // A path the plan could not keep whole names no file the script meant.
  if (entry.nameOffset >= 0 && UpdateDestination(entry, destination)) {
    const uint32_t attributes = PlatGetFileAttributes(destination);
    const bool file = attributes != PlatAttrInvalid && !(attributes & PlatAttrDirectory);
    if (overwriteOnly && !file) return 1;
    if (entry.kind == Data && file) {
      // The player's file keeps its content. One that cannot be read (or rewritten) stays as it
      // is: taking it for missing would put the package's file in place of the player's.
      uint32_t size = 0;
      void* kept = ReadWholeFile(destination, &size);
      if (kept != nullptr) {
        WriteWholeFile(destination, kept, size, nullptr);
        PlatFree(kept);
      }
      return 1;
    }
    if (ExtractMember(entry.path + entry.nameOffset, destination, entry.kind == Newer ? 1 : 0)) {
      return 1;
    }
  }
  ReportUpdateError("ファイルの書き込みに失敗しました");
  return 0;
}

// A copy entry that fails: its message, then the end of the wizard. Returns 0.
int FailCopy(PlatWindow dialog, const CopyEntry& entry) {
  char message[kTextSize];
  snprintf(message, sizeof message, "SETUP.INI : \"%s\" のコピーに失敗しました", entry.path);
  PlatMessageBox(dialog, message, WindowTitle, PlatMbIconError);
  EndWizard(dialog);
  return 0;
}

// The copy source and destination of a copy entry from the disc in `drive`. 0 when either does
// not fit its buffer.
int CopyPaths(const CopyEntry& entry, const char* drive, char (&source)[kPathSize],
              char (&destination)[kPathSize], int32_t* folder) {
  memset(source, 0, sizeof source);
  memcpy(source, drive, strlen(drive));
  if (!AppendPathComponent(source, sizeof source, entry.path)) return 0;
  memset(destination, 0, sizeof destination);
  const size_t length = strnlen(UpdateSettings.InstPath, kPathSize);
  if (length + 2 > sizeof destination) return 0;
  memcpy(destination, UpdateSettings.InstPath, length);
  // A source that does not exist reads with every attribute bit set, so it takes the folder way.
  *folder = (PlatGetFileAttributes(source) & PlatAttrDirectory) ? 1 : 0;
  if (!*folder && !AppendPathComponent(destination, sizeof destination, entry.path)) return 0;
  return 1;
}

// One copy entry. Returns 0 when the dialog has been ended.
int CopyEntryFromDisc(PlatWindow dialog, const CopyEntry& entry, char (&drive)[3]) {
  // Not a disc the installer's configuration can name.
  if (entry.disk < 0 || entry.disk >= kDiskCheckFileCount) return FailCopy(dialog, entry);
  if (entry.disk != 0) {
    if (!FindDiskDrive(dialog, entry.disk, drive)) {
      EndWizard(dialog);
      return 0;
    }
  } else if (drive[0] == '\0') {
    // No disc has been found in this run, so there is nothing to copy from.
    return FailCopy(dialog, entry);
  }
  char source[kPathSize], destination[kPathSize];
  int32_t folder = 0;
  if (!CopyPaths(entry, drive, source, destination, &folder)) return FailCopy(dialog, entry);
  SetInfoText(dialog, "%s をコピーしています", entry.path);
  switch (CopyWithShell(dialog, source, destination, folder)) {
    case Copied:
      return 1;
    case Failed:
      return FailCopy(dialog, entry);
    case Aborted:
      break;
  }
  EndWizard(dialog);
  return 0;
}

}  // namespace

int FindDiskDrive(PlatWindow dialog, int32_t disk, char drive[3]) {
  for (;;) {
    for (char letter = 'A'; letter <= 'Z'; letter++) {
      const char root[3] = {letter, ':', '\0'};
      if (PlatGetDriveType(root) != PlatDriveCdrom) continue;
      char check[kTextSize] = {letter, ':', '\0'};
      AppendPathComponent(check, sizeof check, InstallerConfig.DiskCheckFiles[disk]);
      if (PlatGetFileAttributes(check) != PlatAttrInvalid) {
        memcpy(drive, root, sizeof root);
        return 1;
      }
    }
    char message[kTextSize];
    snprintf(message, sizeof message, "ＣＤ－ＲＯＭドライブに「%s」ディスク %i を入れて下さい",
             GameIdentity.GameTitle, static_cast<int>(disk));
    if (PlatMessageBox(dialog, message, WindowTitle, PlatMbOkCancel) != PlatIdOk) return 0;
  }
}

ShellCopyResult CopyWithShell(PlatWindow owner, const char* source, const char* destination,
                              int32_t folder) {
  uint32_t flags = PlatFofNoConfirmation | PlatFofNoConfirmMkdir;
  if (folder == 1) flags |= PlatFofNoErrorUi;
  int32_t aborted = 0;
  const int32_t result = PlatShellCopy(owner, source, destination, flags, &aborted);
  if (aborted) return Aborted;
  if (result != 0) return Failed;
  PlatSetFileAttributes(destination, PlatAttrNormal);
  return Copied;
}

void RunUpdate(PlatWindow dialog) {
  UpdateCompleted = 0;
  if (!PassDiskSpaceGate(dialog)) return;
  ShowBusy(dialog);
  int32_t overwriteOnly = 0;
  ReadScriptNumber(ScriptPath, "OverwriteOnly", &overwriteOnly);
  BuildUpdatePlan();

  if (!UpdatePlan.updateKeysFound && !UpdatePlan.copyKeysFound) {
    ReportUpdateError("No 'UpdateFileXX' and 'CopyFileXX'");
    EndWizard(dialog);
    return;
  }
  if (UpdatePlan.updateCount == 0 && UpdatePlan.copyCount == 0) {
    ReportUpdateError("アップデートする必要のあるファイルはありません");
    ShowCompleted(dialog);
    return;
  }
  for (int32_t i = 0; i < UpdatePlan.updateCount; i++) {
    if (!WriteUpdateEntry(UpdatePlan.updates[i], overwriteOnly != 0)) {
      EndWizard(dialog);
      return;
    }
  }
  char drive[3] = {'\0', '\0', '\0'};
  for (int32_t i = 0; i < UpdatePlan.copyCount; i++) {
    if (!CopyEntryFromDisc(dialog, UpdatePlan.copies[i], drive)) return;
  }
  ShowCompleted(dialog);
}
