// Profile (INI) keys and comma-separated token lists: the one road by which SETUP.INI and the
// update script are read.
//
// The key readers fill their whole destination (`size` bytes, size >= 1) with zeros, read one
// value with the platform's profile reader and return 1 when it is not empty. An absent or empty
// key, section or file returns 0 with the destination all zeros and, while QuietMissingKeys is 0,
// shows the missing-key message through ReportCommonError. A value longer than size-1 bytes is
// cut without a report. The readers never end the process and never write outside `size` bytes.
//
// NextListToken takes the next token of a list value into a slot of `tokenSize` bytes (at least
// 1), setting CurrentDiskNumber when the token has a disk prefix; 0 at the end of the list, with
// nothing written. It never reads past the value's terminating NUL and never writes past the slot:
// a token longer than tokenSize-1 bytes is cut to fit, never inside a double-byte character.
//
// Every text is a code page 932 byte string; bytes pass through unchanged.
#ifndef CONFIG_PROFILE_H
#define CONFIG_PROFILE_H

#include <stdint.h>

#include "updater/shared_state.h"

// The SETUP.INI that ReadSetupKey reads; start-up fills it before the installer configuration is
// loaded.
extern char SetupIniPath[kPathSize];
// 0: the key readers report a missing key; nonzero: they stay silent. Set once the mandatory keys
// of a file have been read, and never set back.
extern int32_t QuietMissingKeys;
// The disk number of the most recent token that had a disk prefix.
extern int32_t CurrentDiskNumber;

constexpr uint32_t kNumberTextSize = 20;  // ReadSetupInt and ReadSetupNumberText see 19 bytes

// Shows `text` in a modal box captioned "INSTCMMN" with the error icon and one OK button, owned
// by WizardWindow; returns the box's answer.
int32_t ReportCommonError(const char* text);

// 1 for NUL, LF, CR and comma; 0 for every other byte.
int IsListDelimiter(uint8_t c);
// `cursor` points into the list value; it is the caller's, and only this call advances it.
int NextListToken(char* token, uint32_t tokenSize, const char** cursor);

int ReadSetupKey(const char* key, char* out, uint32_t size);
int ReadProfileKey(const char* section, const char* key, char* out, uint32_t size,
                   const char* file);
// A signed decimal number from a key of SETUP.INI's [SETUP]; `out` is left as it is when the key
// is absent. A present value that is not a number gives 0 and result 1.
int ReadSetupInt(const char* key, int32_t* out);
// The key's first 19 bytes into `out` (kNumberTextSize bytes); 1 when present.
int ReadSetupNumberText(const char* key, char* out);

// A number as the configuration files write it: leading white space skipped, an optional sign,
// then decimal digits up to the first other byte; no digits give 0, and a number outside the
// 32-bit signed range gives 2147483647 or -2147483648.
int32_t ParseInt32(const char* text);
// The start of a number's digits after its leading white space and optional sign; `negative` says
// whether the sign was a minus.
const char* SkipToDigits(const char* text, bool* negative);

// Puts SetupIniPath, QuietMissingKeys and CurrentDiskNumber back to their state at process start
// (for tests, which run many loads in one process).
void ResetProfileState();

#endif
