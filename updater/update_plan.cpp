#include "updater/update_plan.h"

#include <string.h>

#include "config/profile.h"
#include "platform/platform.h"
#include "updater/startup.h"

UpdatePlanRecord UpdatePlan;

namespace {

// The first bytes of `text` that fit `size` with a terminator, never half a character.
void CutToCharacters(const char* text, char* out, size_t size) {
  size_t length = 0;
  while (text[length] != '\0') {
    const bool pair =
        PlatIsLeadByte(static_cast<uint8_t>(text[length])) && text[length + 1] != '\0';
    const size_t width = pair ? 2 : 1;
    if (length + width > size - 1) break;
    length += width;
  }
  memcpy(out, text, length);
  out[length] = '\0';
}

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
    const int fits = SplitCopyFileValue(value, &fields);
    if (fields.hasMode && fields.mode != UpdateSettings.InstMode) continue;
    CopyEntry& entry = UpdatePlan.copies[UpdatePlan.copyCount++];
    entry.disk = fields.disk;
    memcpy(entry.path, fields.path, sizeof entry.path);
    if (!fits) {
      // Refused when run; the path's beginning, cut between characters, names it in the message.
      entry.disk = kCopyEntryRefused;
      CutToCharacters(value, entry.path, sizeof entry.path);
    }
  }
}

}  // namespace

void BuildUpdatePlan() {
  BuildUpdateList();
  BuildCopyList();
}
