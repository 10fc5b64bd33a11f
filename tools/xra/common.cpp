#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "package/wholefile.h"
#include "platform/platform.h"
#include "tools/xra/xra.h"

namespace {

// Writes a message with its control characters as \xNN: file names and arguments come from
// the user's shell or a folder's listing, and a name holding ESC or a line feed must not act on
// the terminal or forge a line.
void WriteMessage(const char* prefix, const char* format, va_list args) {
  char text[4096];
  vsnprintf(text, sizeof text, format, args);
  fputs(prefix, stderr);
  for (const char* p = text; *p != 0; p++) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c == 0x7F) {
      fprintf(stderr, "\\x%02x", c);
    } else {
      fputc(c, stderr);
    }
  }
}

}  // namespace

void Fail(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteMessage("xra: ", format, args);
  fputc('\n', stderr);
  va_end(args);
}

int UsageError(const char* command, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string prefix = std::string("xra ") + command + ": ";
  WriteMessage(prefix.c_str(), format, args);
  fprintf(stderr, "\nTry 'xra %s --help'.\n", command);
  va_end(args);
  return kExitUsage;
}

bool IsHelp(const char* arg) { return strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0; }

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* out, uint32_t* error) {
  uint32_t size = 0;
  void* block = ReadWholeFileReason(path.c_str(), &size, error);
  if (block == nullptr) return false;
  const uint8_t* p = static_cast<const uint8_t*>(block);
  out->assign(p, p + size);
  PlatFree(block);
  return true;
}

std::string Reason(uint32_t error) {
  char text[512];
  PlatErrorText(error, text, sizeof text);
  return text;
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

namespace {

const char kHex[] = "0123456789abcdef";

void AppendEscaped(std::string* out, uint8_t c) {
  *out += "\\x";
  *out += kHex[c >> 4];
  *out += kHex[c & 15];
}

bool IsLead(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool IsTrail(uint8_t c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// The names Windows gives to devices, with or without an extension: CON.TXT opens the console.
bool IsDeviceName(const std::string& cp932) {
  std::string base = cp932.substr(0, cp932.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (base == device) return true;
  }
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

}  // namespace

std::string ShowName(const std::string& cp932) {
  std::string native;
  std::string out;
  if (NameFromPackage(cp932, &native)) {
    for (unsigned char c : native) {
      if (c < 0x20 || c == 0x7F || c == '\\') {
        AppendEscaped(&out, c);
      } else {
        out += static_cast<char>(c);
      }
    }
    return out;
  }
  for (unsigned char c : cp932) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      AppendEscaped(&out, c);
    }
  }
  return out;
}

const char* PlainNameProblem(const std::string& cp932) {
  if (cp932.empty()) return "the name is empty";
  if (cp932 == "." || cp932 == "..") return "the name is a folder reference";
  // Character by character: a lead byte must have a second byte of its own, so that no byte
  // after it (a slash, a backslash of its own) is ever passed over unchecked.
  for (size_t i = 0; i < cp932.size(); i++) {
    const uint8_t c = static_cast<uint8_t>(cp932[i]);
    if (IsLead(c)) {
      if (i + 1 >= cp932.size() || !IsTrail(static_cast<uint8_t>(cp932[i + 1]))) {
        return "the name is not valid code page 932 (a lead byte without its second byte)";
      }
      i++;  // the second byte of a double-byte character may be 0x5C and is no separator
      continue;
    }
    if (c == 0x80 || c == 0xA0 || c >= 0xFD) return "the name is not valid code page 932";
    if (c < 0x20 || c == 0x7F) return "the name holds a control character";
    if (c == '/' || c == '\\') return "the name holds a folder separator";
    if (c == ':') return "the name holds a colon";
    if (strchr("<>\"|?*", c) != nullptr) {
      return "the name holds a character Windows does not allow in names (< > \" | ? *)";
    }
  }
  if (!ConvertsFromCp932(cp932)) return "the name holds a code that code page 932 does not assign";
  const char last = cp932.back();
  if (last == '.' || last == ' ') return "the name ends in a dot or a space, which Windows drops";
  if (IsDeviceName(cp932)) return "the name is that of a Windows device (CON, PRN, AUX, NUL, COM1-9, LPT1-9)";
  return nullptr;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (PlatFolderLength(folder.c_str()) == folder.size()) return folder + name;
  return folder + "/" + name;
}

std::string LastPathComponent(const std::string& path) {
  return path.substr(PlatFolderLength(path.c_str()));
}
