// What xra needs of Windows: whether stderr is a console, and name conversion between the ANSI
// code page, in which the program receives its arguments and names its files, and code page 932
// (the same bytes where the ANSI code page is 932).
#include <io.h>
#include <stdio.h>
#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "tools/xra/xra.h"

namespace {

bool Convert(UINT from, UINT to, const std::string& in, std::string* out) {
  if (in.empty()) {
    out->clear();
    return true;
  }
  const int wide = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, in.data(),
                                       static_cast<int>(in.size()), nullptr, 0);
  if (wide <= 0) return false;
  if (from == to) {
    *out = in;
    return true;
  }
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

void InitSystem() {}

bool NameToPackage(const std::string& native, std::string* cp932) {
  return Convert(GetACP(), 932, native, cp932);
}

bool NameFromPackage(const std::string& cp932, std::string* native) {
  return Convert(932, GetACP(), cp932, native);
}

bool ConvertsFromCp932(const std::string& cp932) {
  return cp932.empty() || MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, cp932.data(),
                                              static_cast<int>(cp932.size()), nullptr, 0) > 0;
}

std::string FileNameKey(const std::string& native) {
  // Windows' file systems match names without regard to case.
  std::string key(native.size(), '\0');
  PlatFoldName(native.c_str(), &key[0]);
  return key;
}

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
