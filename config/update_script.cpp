#include "config/update_script.h"

#include <stdio.h>
#include <string.h>

#include "config/profile.h"
#include "platform/platform.h"

int ReadScriptSetup(const char* scriptPath, ScriptSetupRecord* setup) {
  const char* const keys[] = {"CompanyName", "GameTitle", "GameClass", "GameDir"};
  char* const fields[] = {GameIdentity.CompanyName, GameIdentity.GameTitle,
                          GameIdentity.GameClass, GameIdentity.GameDir};
  for (int i = 0; i < 4; i++) {
    if (!ReadProfileKey("SETUP", keys[i], fields[i], kPathSize, scriptPath)) return 0;
  }
  QuietMissingKeys = 1;
  ReadProfileKey("SETUP", "GameTitleA", setup->GameTitleA, kPathSize, scriptPath);
  ReadProfileKey("SETUP", "UpdaterVersion", setup->UpdaterVersion, kPathSize, scriptPath);
  ReadProfileKey("SETUP", "UpdaterTitle", setup->UpdaterTitle, kPathSize, scriptPath);
  ReadProfileKey("SETUP", "DataFolder", setup->DataFolder, kPathSize, scriptPath);
  ReadProfileKey("SETUP", "UpdateMessage", setup->UpdateMessage, kTextSize, scriptPath);
  return 1;
}

int32_t PathNameOffset(const char* path) {
  int32_t offset = 0;
  for (int32_t i = 0; path[i] != '\0';) {
    // A lead byte before the terminator is no character of its own; never step over the NUL.
    if (PlatIsLeadByte(static_cast<uint8_t>(path[i])) && path[i + 1] != '\0') {
      i += 2;
      continue;
    }
    if (path[i] == '\\') offset = i + 1;
    i++;
  }
  return offset;
}

namespace {

int SetPath(const char* path, char* out) {
  const size_t length = strlen(path);
  if (length > kPathSize - 1) {
    out[0] = '\0';
    return 0;
  }
  memcpy(out, path, length + 1);
  return 1;
}

}  // namespace

int SplitUpdateFileValue(const char* value, UpdateFileFields* fields) {
  // Slots as large as the longest value, so that a field is never cut here: a path that is too
  // long is seen whole and refused.
  char slot[3][kUpdateFileValueSize] = {};
  const char* cursor = value;
  for (int taken = 0; taken < 3 && NextListToken(slot[taken], sizeof slot[taken], &cursor);) {
    taken++;
  }

  fields->hasMode = 0;
  fields->mode = 0;
  int kindField = 0;
  if (slot[0][0] >= '0' && slot[0][0] <= '9' && slot[0][1] == '\0') {
    fields->hasMode = 1;
    fields->mode = slot[0][0] - '0';
    kindField = 1;
  }
  const char* path;
  if (PlatCompareNoCase(slot[kindField], "d") == 0) {
    fields->kind = Data;
    path = slot[kindField + 1];
  } else if (PlatCompareNoCase(slot[kindField], "u") == 0) {
    fields->kind = Newer;
    path = slot[kindField + 1];
  } else {
    fields->kind = Plain;
    path = slot[kindField];
  }
  const int ok = SetPath(path, fields->path);
  fields->nameOffset = PathNameOffset(fields->path);
  return ok;
}

int SplitCopyFileValue(const char* value, CopyFileFields* fields) {
  const char* p = value;
  fields->hasMode = 0;
  fields->mode = 0;
  fields->disk = 0;
  // The tests look one byte ahead only when the byte before is not the terminator.
  if (p[0] != '\0' && p[1] == ',') {
    fields->hasMode = 1;
    fields->mode = static_cast<int8_t>(p[0]) - 48;
    p += 2;
  }
  if (p[0] != '\0' && p[1] == ':') {
    fields->disk = static_cast<int8_t>(p[0]) - 48;
    p += 2;
  }
  return SetPath(p, fields->path);
}

void UpdateFileKeyName(int32_t index, char* out) {
  snprintf(out, kEntryKeyNameSize, "UpdateFile%02i", static_cast<int>(index));
}

void CopyFileKeyName(int32_t index, char* out) {
  snprintf(out, kEntryKeyNameSize, "CopyFile%02i", static_cast<int>(index));
}

int ReadScriptNumber(const char* scriptPath, const char* key, int32_t* out) {
  char text[kPathSize];
  if (!ReadProfileKey("UPDATE", key, text, sizeof text, scriptPath)) return 0;
  *out = ParseInt32(text);
  return 1;
}
