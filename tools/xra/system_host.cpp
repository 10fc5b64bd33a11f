// What xra needs of Linux: whether stderr is a terminal, name conversion between the locale's
// encoding (taken as UTF-8 in the plain C locale, as terminals are today) and code page 932
// through iconv, and the removal of a temporary file when a signal ends the program.
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <initializer_list>
#include <string>

#include "package/wholefile.h"
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

// Removes the temporary file a write has made, then ends as the signal would have.
void RemoveTemporaryAndEnd(int signal) {
  const char* temporary = gWholeFileTemporary;
  if (temporary != nullptr) unlink(temporary);
  ::signal(signal, SIG_DFL);
  raise(signal);
}

}  // namespace

void InitSystem() {
  setlocale(LC_CTYPE, "");
  const char* codeset = nl_langinfo(CODESET);
  if (codeset != nullptr && *codeset != '\0' && strcmp(codeset, "ANSI_X3.4-1968") != 0) {
    gNativeCodeset = codeset;
  }
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = RemoveTemporaryAndEnd;
  sigemptyset(&action.sa_mask);
  // Every signal that ends a program by default, but those that cannot be caught.
  const int ending[] = {SIGINT,  SIGTERM,   SIGHUP,  SIGQUIT, SIGUSR1,
                        SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGPIPE};
  for (int s : ending) sigaddset(&action.sa_mask, s);
  for (int s : ending) sigaction(s, &action, nullptr);
  // Past a file size limit, a write then fails with EFBIG and is reported and cleaned up.
  signal(SIGXFSZ, SIG_IGN);
}

bool NameToPackage(const std::string& native, std::string* cp932) {
  return Convert(gNativeCodeset.c_str(), "CP932", native, cp932);
}

bool NameFromPackage(const std::string& cp932, std::string* native) {
  return Convert("CP932", gNativeCodeset.c_str(), cp932, native);
}

bool ConvertsFromCp932(const std::string& cp932) {
  std::string ignored;
  return Convert("CP932", "UTF-32LE", cp932, &ignored);
}

std::string FileNameKey(const std::string& native) { return native; }

bool StderrIsTerminal() { return isatty(fileno(stderr)) != 0; }
