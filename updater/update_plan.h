// The update plan: the script's UpdateFileNN and CopyFileNN entries that apply to the installed
// mode.
//
// BuildUpdatePlan reads the [UPDATE] section of the temporary script (ScriptPath) silently, from
// UpdateFile00 and CopyFile00 up to the first absent key and at most 16 keys each, and fills
// UpdatePlan from scratch: the entries whose mode matches UpdateSettings.InstMode, or that have
// no mode, in the order of their keys, and whether each list had any key at all. It never fails,
// shows nothing and touches no file but the script. An update entry whose path does not fit 259
// bytes is kept, with an empty path and a nameOffset of -1, so that running it fails rather than
// writes another file than the script names; likewise a copy entry whose path does not fit, with
// the disk kCopyEntryRefused and the value's first bytes as its path (for the message). A copy
// entry's disk is otherwise stored as the script gives it, possibly outside 0 to 9: the update
// run refuses every disk outside 0 to 9 before it uses one as an index.
#ifndef UPDATER_UPDATE_PLAN_H
#define UPDATER_UPDATE_PLAN_H

#include <stdint.h>

#include "config/update_script.h"
#include "updater/shared_state.h"

struct UpdateEntry {
  EntryKind kind;
  char path[kPathSize];  // the destination below the base folder and DataFolder
  int32_t nameOffset;    // where in `path` the member's name starts; -1: the path did not fit
};

constexpr int32_t kCopyEntryRefused = -1000;

struct CopyEntry {
  int32_t disk;          // 0: the disc of the latest search; 1 to 9: the disc to look for
  char path[kPathSize];  // relative to the disc's root and to the installation folder
};

struct UpdatePlanRecord {
  UpdateEntry updates[kScriptEntryKeys];
  int32_t updateCount;
  CopyEntry copies[kScriptEntryKeys];
  int32_t copyCount;
  int32_t updateKeysFound;  // 1 when UpdateFile00 is present, whatever its mode
  int32_t copyKeysFound;    // 1 when CopyFile00 is present, whatever its mode
};

extern UpdatePlanRecord UpdatePlan;

void BuildUpdatePlan();

#endif
