// What xra needs of Windows: whether stderr is a console, and name conversion between the ANSI
// code page, in which the program receives its arguments and names its files, and code page 932
// (the same bytes where the ANSI code page is 932).
#include <io.h>
#include <stdio.h>
#include <windows.h>

#include <string>

#include "tools/xra/xra.h"

namespace {

bool Convert(UINT from, UINT to, const std::string& in, std::string* out) {
  if (from == to || in.empty()) {
    *out = in;
    return true;
  }
  const int wide = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, in.data(),
                                       static_cast<int>(in.size()), nullptr, 0);
  if (wide <= 0) return false;
  std::wstring w(static_cast<size_t>(wide), L'\0');
  MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()), &w[0],
                      wide);
  BOOL lossy = FALSE;
  const int bytes = WideCharToMultiByte(to, 0, w.data(), wide, nullptr, 0, nullptr, &lossy);
  if (bytes <= 0) return false;
  std::string result(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(to, 0, w.data(), wide, &result[0], bytes, nullptr, &lossy);
  if (lossy) return false;
  *out = result;
  return true;
}

}  // namespace

void InitNames() {}

bool NameToPackage(const std::string& native, std::string* cp932) {
  return Convert(GetACP(), 932, native, cp932);
}

std::string NameFromPackage(const std::string& cp932) {
  std::string out;
  if (Convert(932, GetACP(), cp932, &out)) return out;
  return cp932;
}

std::string LastPathComponent(const std::string& path) {
  // A backslash can be the second byte of a double-byte character of the ANSI code page.
  size_t start = 0;
  for (size_t i = 0; i < path.size(); i++) {
    const char c = path[i];
    if (IsDBCSLeadByte(static_cast<BYTE>(c)) && i + 1 < path.size()) {
      i++;
    } else if (c == '/' || c == '\\' || (i == 1 && c == ':')) {
      start = i + 1;
    }
  }
  return path.substr(start);
}

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
