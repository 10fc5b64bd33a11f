// Code page 932 and UTF-8 through iconv, whose CP932 table is the one GCC compiles the system's
// strings with.
#include <iconv.h>

#include <string>

#include "tests/scenario/scenario.h"

namespace {

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

bool Utf8ToCp932(const std::string& utf8, std::string* cp932) {
  return Convert("UTF-8", "CP932", utf8, cp932);
}

bool Cp932ToUtf8(const std::string& cp932, std::string* utf8) {
  return Convert("CP932", "UTF-8", cp932, utf8);
}
