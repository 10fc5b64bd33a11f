// The update script UPDATE.INI: its [SETUP] section as start-up reads it, and the value syntax of
// the entries of its [UPDATE] section.
//
// ReadScriptSetup reads the four identity keys of [SETUP] from the script at `scriptPath` into
// GameIdentity, in the order CompanyName, GameTitle, GameClass, GameDir, with QuietMissingKeys as
// it stands (start-up has it 0, so each missing key is reported as "SETUP : <key> ..."); it
// returns 0 at the first missing one without reading further. Otherwise it sets QuietMissingKeys
// to 1, reads the optional keys into `setup` (each emptied first; a missing one stays empty and
// is not reported) and returns 1.
//
// The entry values are split by pure functions, which read only the value and write only their
// record (NextListToken still records a disk prefix in CurrentDiskNumber):
// - SplitUpdateFileValue: "[mode,][u|d,]path", fields split by NextListToken; at most three
//   fields are taken, later ones are ignored.
// - SplitCopyFileValue: "[mode,][disk:]path", by character position; the path keeps every space
//   and comma.
// Both return 1 with the record filled, or 0 when the path does not fit in kPathSize - 1 bytes:
// the record then holds an empty path and nothing may be written for that entry. A cut path
// would name another file than the script does, so it is refused rather than cut.
//
// ReadScriptNumber reads a key of [UPDATE] as a signed 32-bit number (ParseInt32); 0 when the key
// is absent or empty, with `out` left as it is. It never writes outside its arguments.
#ifndef CONFIG_UPDATE_SCRIPT_H
#define CONFIG_UPDATE_SCRIPT_H

#include <stdint.h>

#include "updater/shared_state.h"

// Each entry list of [UPDATE] is read from index 00 and ends at the first absent key.
constexpr int32_t kScriptEntryKeys = 16;
constexpr uint32_t kUpdateFileValueSize = kTextSize;
// A CopyFileNN value is read whole into a buffer as large as an UpdateFileNN value's, so that one
// too long for its 259-byte path is seen and refused rather than cut to another path.
constexpr uint32_t kCopyFileValueSize = kTextSize;
constexpr uint32_t kEntryKeyNameSize = 32;

enum EntryKind : int32_t {
  Plain = 0,  // always written, into the installation folder
  Newer = 1,  // "u": written unless the installed file is newer
  Data = 2,   // "d": a file of the data folder, left alone when present
};

// The optional keys of [SETUP]; the mandatory ones go to GameIdentity.
struct ScriptSetupRecord {
  char GameTitleA[kPathSize];
  char UpdaterVersion[kPathSize];
  char UpdaterTitle[kPathSize];
  char DataFolder[kPathSize];
  char UpdateMessage[kTextSize];
};

struct UpdateFileFields {
  int32_t hasMode;  // 1: the entry applies only where InstMode equals `mode`
  int32_t mode;     // 0 to 9
  EntryKind kind;
  char path[kPathSize];
  int32_t nameOffset;  // where the bare member name starts in `path`
};

struct CopyFileFields {
  int32_t hasMode;  // 1: the entry applies only where InstMode equals `mode`
  int32_t mode;     // the mode character's code minus 48; not necessarily a digit
  // The disk character's code minus 48, 0 without a prefix. A character other than a digit gives
  // a number outside the ten check-file entries; the caller must not index with it unchecked.
  int32_t disk;
  char path[kPathSize];
};

int ReadScriptSetup(const char* scriptPath, ScriptSetupRecord* setup);

int SplitUpdateFileValue(const char* value, UpdateFileFields* fields);
int SplitCopyFileValue(const char* value, CopyFileFields* fields);

// Offset of the first byte after the path's last backslash that is a character of its own (not
// the second byte of a double-byte character); 0 when there is none. A slash is no separator.
int32_t PathNameOffset(const char* path);

// "UpdateFile%02i" and "CopyFile%02i" into `out` (kEntryKeyNameSize bytes).
void UpdateFileKeyName(int32_t index, char* out);
void CopyFileKeyName(int32_t index, char* out);

int ReadScriptNumber(const char* scriptPath, const char* key, int32_t* out);

#endif
