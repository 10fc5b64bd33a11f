// The update run: what the wizard's second Next does.
//
// RunUpdate, with the wizard dialog, runs the whole update inside the call: the disk-space gate
// (RequiredDiskSpace against the free space of InstPath's drive), the busy state, the plan, every
// update entry written from the package by its kind (Plain replaces,
// Newer keeps a newer installed file, Data keeps a present file), then every copy entry copied
// from the disc that holds its check file, asking for the disc while none does. It returns with
// the dialog in one of three conditions: ended with -1 after its message (or without one, when
// the user declined a disc or cancelled the shell's copy); the disk-space warning (Back and Abort
// enabled, Next disabled, nothing written); or completed (Next relabelled "完了", enabled and
// focused, Back and Abort disabled). Nothing written before a failure is undone. A Data file that
// is there is never replaced, even when it cannot be read. A path that does not fit its buffer, a destination longer than 259 bytes, a Data entry without a data folder, a
// copy entry's disk outside 1 to 9, and a copy entry without a disk before any disc was found are
// that entry's failure, with its usual message; nothing is ever written past a buffer or written
// through a path other than the one the script names.
//
// CopyWithShell copies one file or folder with the shell (no confirmation, folders made as
// needed; for a folder also no error box of the shell's) and, after a copy that succeeded, gives
// the destination normal attributes. `source` and `destination` are one-name lists (each ends in
// two zero bytes).
//
// FindDiskDrive looks, from A: to Z:, for the first CD-ROM drive that holds the check file of
// disc `disk` (1 to 9), asking the user to insert the disc while none does. It returns 1 with the
// drive ("D:") in `drive`, or 0 when the user declined.
#ifndef UPDATER_UPDATE_RUN_H
#define UPDATER_UPDATE_RUN_H

#include <stdint.h>

#include "platform/platform.h"

// 1 once the latest RunUpdate has left the completed page, else 0; the wizard ends with 0 only
// then.
extern int32_t UpdateCompleted;

enum ShellCopyResult : int32_t {
  Copied = 0,
  Failed = 1,   // the shell reported an error
  Aborted = 2,  // the user cancelled the copy
};

void RunUpdate(PlatWindow dialog);
ShellCopyResult CopyWithShell(PlatWindow owner, const char* source, const char* destination,
                              int32_t folder);
int FindDiskDrive(PlatWindow dialog, int32_t disk, char drive[3]);

#endif
