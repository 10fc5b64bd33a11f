#include "config/profile.h"

#include <stdio.h>
#include <string.h>

#include "platform/platform.h"

char SetupIniPath[kPathSize];
int32_t QuietMissingKeys = 0;
int32_t CurrentDiskNumber = 0;

int32_t ReportCommonError(const char* text) {
  return PlatMessageBox(WizardWindow, text, "INSTCMMN", PlatMbIconError);
}

int IsListDelimiter(uint8_t c) { return c == 0x00 || c == 0x0A || c == 0x0D || c == 0x2C; }

int NextListToken(char* token, uint32_t tokenSize, const char** cursor) {
  const char* p = *cursor;
  while (*p == ' ') p++;
  if (IsListDelimiter(static_cast<uint8_t>(*p))) {
    *cursor = p;
    return 0;
  }
  if (p[1] == ':') {
    const uint8_t c = static_cast<uint8_t>(p[0]);
    CurrentDiskNumber = (c >= '0' && c <= '9') ? c - '0' : 0;
    p += 2;
  }
  // The scan for the delimiter is byte-wise (no second byte of a double-byte character lies
  // below 0x40); only the cut to the slot has to respect the characters.
  uint32_t length = 0;
  bool fits = tokenSize > 0;
  while (!IsListDelimiter(static_cast<uint8_t>(*p))) {
    const uint32_t width =
        (PlatIsLeadByte(static_cast<uint8_t>(*p)) && !IsListDelimiter(static_cast<uint8_t>(p[1])))
            ? 2
            : 1;
    if (fits && length + width <= tokenSize - 1) {
      memcpy(token + length, p, width);
      length += width;
    } else {
      fits = false;
    }
    p += width;
  }
  if (tokenSize > 0) token[length] = '\0';
  // A token that ended at the value's terminating NUL leaves the cursor on that NUL, so the list
  // ends there even when the value fills its buffer and no second zero byte follows it.
  *cursor = (*p == '\0') ? p : p + 1;
  return 1;
}

namespace {

// `label` names the file in the missing-key message: "SETUP.INI", or the section's name.
int ReadKey(const char* section, const char* key, char* out, uint32_t size, const char* file,
            const char* label) {
  memset(out, 0, size);
  if (PlatGetProfileString(section, key, "", out, size, file) != 0) return 1;
  if (QuietMissingKeys == 0) {
    char message[kTextSize];
    snprintf(message, sizeof message, "%s : %s キーが存在しません", label, key);
    ReportCommonError(message);
  }
  return 0;
}

}  // namespace

int ReadSetupKey(const char* key, char* out, uint32_t size) {
  return ReadKey("SETUP", key, out, size, SetupIniPath, "SETUP.INI");
}

int ReadProfileKey(const char* section, const char* key, char* out, uint32_t size,
                   const char* file) {
  return ReadKey(section, key, out, size, file, section);
}

const char* SkipToDigits(const char* text, bool* negative) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) p++;
  *negative = *p == '-';
  if (*p == '+' || *p == '-') p++;
  return p;
}

int32_t ParseInt32(const char* text) {
  bool negative;
  const char* p = SkipToDigits(text, &negative);
  // Counted past the limit no further than one step, so it never overflows.
  const int64_t limit = negative ? 2147483648LL : 2147483647LL;
  int64_t n = 0;
  for (; *p >= '0' && *p <= '9'; p++) {
    n = n * 10 + (*p - '0');
    if (n > limit) n = limit;
  }
  return static_cast<int32_t>(negative ? -n : n);
}

int ReadSetupInt(const char* key, int32_t* out) {
  char text[kNumberTextSize];
  if (!ReadSetupKey(key, text, sizeof text)) return 0;
  *out = ParseInt32(text);
  return 1;
}

int ReadSetupNumberText(const char* key, char* out) {
  return ReadSetupKey(key, out, kNumberTextSize) != 0 ? 1 : 0;
}

void ResetProfileState() {
  memset(SetupIniPath, 0, sizeof SetupIniPath);
  QuietMissingKeys = 0;
  CurrentDiskNumber = 0;
}
