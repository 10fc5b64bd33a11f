#include "updater/update_plan.h"

#include <string.h>

#include "config/profile.h"
#include "updater/startup.h"

UpdatePlanRecord UpdatePlan;

namespace {

void BuildUpdateList() {
  UpdatePlan.updateCount = 0;
  UpdatePlan.updateKeysFound = 0;
  for (int32_t index = 0; index < kScriptEntryKeys; index++) {
    char key[kEntryKeyNameSize];
    char value[kUpdateFileValueSize];
    UpdateFileKeyName(index, key);
    if (!ReadProfileKey("UPDATE", key, value, sizeof value, ScriptPath)) break;
    UpdatePlan.updateKeysFound = 1;
    UpdateFileFields fields;
    const int fits = SplitUpdateFileValue(value, &fields);
    if (fields.hasMode && fields.mode != UpdateSettings.InstMode) continue;
    UpdateEntry& entry = UpdatePlan.updates[UpdatePlan.updateCount++];
    entry.kind = fields.kind;
    memcpy(entry.path, fields.path, sizeof entry.path);
    entry.nameOffset = fits ? fields.nameOffset : -1;
  }
}

void BuildCopyList() {
  UpdatePlan.copyCount = 0;
  UpdatePlan.copyKeysFound = 0;
  for (int32_t index = 0; index < kScriptEntryKeys; index++) {
    char key[kEntryKeyNameSize];
    char value[kCopyFileValueSize];
    CopyFileKeyName(index, key);
    if (!ReadProfileKey("UPDATE", key, value, sizeof value, ScriptPath)) break;
    UpdatePlan.copyKeysFound = 1;
    CopyFileFields fields;
    SplitCopyFileValue(value, &fields);
    if (fields.hasMode && fields.mode != UpdateSettings.InstMode) continue;
    CopyEntry& entry = UpdatePlan.copies[UpdatePlan.copyCount++];
    entry.disk = fields.disk;
    memcpy(entry.path, fields.path, sizeof entry.path);
  }
}

}  // namespace

void BuildUpdatePlan() {
  BuildUpdateList();
  BuildCopyList();
}
