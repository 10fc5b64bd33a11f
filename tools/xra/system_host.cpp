// What xra needs of Linux: whether stderr is a terminal, and name conversion between the
// locale's encoding (taken as UTF-8 in the plain C locale, as terminals are today) and code page
// 932, through iconv.
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "tools/xra/xra.h"

namespace {

std::string gNativeCodeset = "UTF-8";

bool Convert(const char* from, const char* to, const std::string& in, std::string* out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string result(in.size() * 4 + 4, '\0');
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char* dst = &result[0];
  size_t dstLeft = result.size();
  const bool ok = iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1) &&
                  iconv(cd, nullptr, nullptr, &dst, &dstLeft) != static_cast<size_t>(-1);
  iconv_close(cd);
  if (!ok) return false;
  result.resize(result.size() - dstLeft);
  *out = result;
  return true;
}

}  // namespace

void InitNames() {
  setlocale(LC_CTYPE, "");
  const char* codeset = nl_langinfo(CODESET);
  if (codeset != nullptr && *codeset != '\0' && strcmp(codeset, "ANSI_X3.4-1968") != 0) {
    gNativeCodeset = codeset;
  }
}

bool NameToPackage(const std::string& native, std::string* cp932) {
  return Convert(gNativeCodeset.c_str(), "CP932", native, cp932);
}

std::string NameFromPackage(const std::string& cp932) {
  std::string out;
  if (Convert("CP932", gNativeCodeset.c_str(), cp932, &out)) return out;
  // A name that has no form in the locale's encoding is shown with its bytes escaped.
  static const char kHex[] = "0123456789abcdef";
  out.clear();
  for (unsigned char c : cp932) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string LastPathComponent(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool StderrIsTerminal() { return isatty(fileno(stderr)) != 0; }
