#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "package/wholefile.h"
#include "platform/platform.h"
#include "tools/xra/xra.h"

void Fail(const char* format, ...) {
  va_list args;
  va_start(args, format);
  fputs("xra: ", stderr);
  vfprintf(stderr, format, args);
  fputc('\n', stderr);
  va_end(args);
}

int UsageError(const char* command, const char* format, ...) {
  va_list args;
  va_start(args, format);
  fprintf(stderr, "xra %s: ", command);
  vfprintf(stderr, format, args);
  fprintf(stderr, "\nTry 'xra %s --help'.\n", command);
  va_end(args);
  return kExitUsage;
}

bool IsHelp(const char* arg) { return strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0; }

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* out) {
  uint32_t size = 0;
  void* block = ReadWholeFile(path.c_str(), &size);
  if (block == nullptr) return false;
  const uint8_t* p = static_cast<const uint8_t*>(block);
  out->assign(p, p + size);
  PlatFree(block);
  return true;
}

std::string FormatFileTime(uint64_t ticks) {
  const uint64_t seconds = ticks / 10000000u;
  const uint32_t fraction = static_cast<uint32_t>(ticks % 10000000u);
  // Days since 1601-01-01, a Monday at the start of a 400-year cycle, so the civil date follows
  // from the Gregorian cycles directly.
  uint64_t days = seconds / 86400;
  const uint32_t daySeconds = static_cast<uint32_t>(seconds % 86400);
  uint64_t year = 1601 + 400 * (days / 146097);
  days %= 146097;
  uint64_t centuries = days / 36524;
  if (centuries == 4) centuries = 3;
  days -= centuries * 36524;
  year += 100 * centuries;
  const uint64_t quads = days / 1461;
  days -= quads * 1461;
  year += 4 * quads;
  uint64_t years = days / 365;
  if (years == 4) years = 3;
  days -= years * 365;
  year += years;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  static const int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int month = 0;
  while (true) {
    const uint64_t length = kMonthDays[month] + (month == 1 && leap ? 1 : 0);
    if (days < length) break;
    days -= length;
    month++;
  }
  char text[96];  // room for any 64-bit year the format could print
  snprintf(text, sizeof text, "%04llu-%02d-%02lluT%02u:%02u:%02u.%07uZ",
           static_cast<unsigned long long>(year), month + 1,
           static_cast<unsigned long long>(days + 1), daySeconds / 3600, daySeconds / 60 % 60,
           daySeconds % 60, fraction);
  return text;
}

const char* PlainNameProblem(const std::string& cp932) {
  if (cp932.empty()) return "the name is empty";
  if (cp932 == "." || cp932 == "..") return "the name is a folder reference";
  for (size_t i = 0; i < cp932.size(); i++) {
    const uint8_t c = static_cast<uint8_t>(cp932[i]);
    if (PlatIsLeadByte(c) && i + 1 < cp932.size()) {
      i++;  // the second byte of a double-byte character may be 0x5C and is no separator
      continue;
    }
    if (c < 0x20 || c == 0x7F) return "the name holds a control character";
    if (c == '/' || c == '\\') return "the name holds a folder separator";
    if (c == ':') return "the name holds a colon";
  }
  return nullptr;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  const char last = folder.back();
  if (last == '/' || last == '\\') return folder + name;
  return folder + "/" + name;
}
