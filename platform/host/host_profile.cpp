// Profile (INI) files on Linux, read the way the Windows profile reader reads a file in code page
// 932, byte for byte:
// - lines end at CR, LF or a NUL byte; blanks (space, tab, VT, FF, 0x1A) at both ends of names
//   and values are removed;
// - a line whose first character is '[' and that holds a later ']' opens a section named by the
//   text up to its last ']'; any other line is a key line, its name up to the first '=' and its
//   value after it; lines before the first section belong to a section with an empty name;
// - only the first section of a name is searched, and in it only the first line of the key;
//   a key line without '=' has no value and gives the default, like a missing key;
// - names match without regard to ASCII letter case; a double-byte character matches only
//   itself (its second byte is never folded);
// - no line is a comment: ";k=v" is a key named ";k", which no real key name matches;
// - a value enclosed in one pair of equal quotes (' or ") loses them;
// - a value longer than size-1 bytes is cut to size-1 bytes and the result is size-1, but a
//   double-byte character that the cut would split is dropped whole, as the Windows reader does.
// Where the Windows reader converts through Unicode (and so rewrites the NEC-selected IBM
// characters to their IBM codes), this reader passes the bytes unchanged.
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/host/host_control.h"
#include "platform/host/host_state.h"
#include "platform/platform.h"

namespace {

struct Span {
  const char* p;
  size_t n;
};

bool IsBlank(uint8_t c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n' || c == 0x1A;
}

bool IsLineEnd(char c) { return c == '\r' || c == '\n' || c == '\0'; }

Span Trim(const char* p, size_t n) {
  while (n > 0 && IsBlank(static_cast<uint8_t>(*p))) {
    p++;
    n--;
  }
  while (n > 0 && IsBlank(static_cast<uint8_t>(p[n - 1]))) n--;
  return Span{p, n};
}

uint8_t FoldAscii(uint8_t c) { return (c >= 'A' && c <= 'Z') ? static_cast<uint8_t>(c + 32) : c; }

bool NamesEqual(Span a, Span b) {
  if (a.n != b.n) return false;
  const uint8_t* x = reinterpret_cast<const uint8_t*>(a.p);
  const uint8_t* y = reinterpret_cast<const uint8_t*>(b.p);
  for (size_t i = 0; i < a.n;) {
    if (PlatIsLeadByte(x[i]) && i + 1 < a.n) {
      if (x[i] != y[i] || x[i + 1] != y[i + 1]) return false;
      i += 2;
    } else {
      if (FoldAscii(x[i]) != FoldAscii(y[i])) return false;
      i++;
    }
  }
  return true;
}

// The offset of the last ']' of the line that is a character of its own, or -1.
long LastCloseBracket(const char* line, size_t n) {
  long last = -1;
  for (size_t i = 0; i < n;) {
    const uint8_t c = static_cast<uint8_t>(line[i]);
    if (PlatIsLeadByte(c) && i + 1 < n) {
      i += 2;
      continue;
    }
    if (c == ']') last = static_cast<long>(i);
    i++;
  }
  return last;
}

bool ReadAll(const char* path, std::string* text) {
  const std::string native = HostNativePath(path);
  if (native.empty() || HostIsLocked(native)) return false;
  const int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  char chunk[65536];
  while (ok) {
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got < 0) ok = false;
    if (got <= 0) break;
    text->append(chunk, static_cast<size_t>(got));
  }
  close(fd);
  return ok;
}

// Finds the value of `key` in the first section named `section`; false when the key has none.
bool FindValue(const std::string& text, Span section, Span key, Span* value) {
  bool inSection = section.n == 0;  // the lines before the first section header
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    const char* lineEnd = p;
    while (lineEnd < end && !IsLineEnd(*lineEnd)) lineEnd++;
    const Span line = Trim(p, static_cast<size_t>(lineEnd - p));
    p = lineEnd + (lineEnd < end ? 1 : 0);
    if (line.n == 0) continue;
    if (line.p[0] == '[') {
      const long close = LastCloseBracket(line.p + 1, line.n - 1);
      if (close >= 0) {
        if (inSection) return false;  // the first section of that name has ended
        inSection = NamesEqual(Trim(line.p + 1, static_cast<size_t>(close)), section);
        continue;
      }
    }
    if (!inSection) continue;
    const char* equals = static_cast<const char*>(memchr(line.p, '=', line.n));
    const size_t nameLength = equals ? static_cast<size_t>(equals - line.p) : line.n;
    if (!NamesEqual(Trim(line.p, nameLength), key)) continue;
    if (equals == nullptr) return false;
    Span v = Trim(equals + 1, line.n - nameLength - 1);
    if (v.n >= 2 && (v.p[0] == '"' || v.p[0] == '\'') && v.p[v.n - 1] == v.p[0]) {
      v.p++;
      v.n -= 2;
    }
    *value = v;
    return true;
  }
  return false;
}

uint32_t CopyCut(char* out, uint32_t size, const char* src, size_t n) {
  if (size == 0) return 0;
  if (n <= size - 1) {
    memcpy(out, src, n);
    out[n] = '\0';
    return static_cast<uint32_t>(n);
  }
  const size_t keep = size - 1;
  size_t whole = 0;  // bytes up to the last character that fits whole
  while (whole < keep) {
    const size_t step = (PlatIsLeadByte(static_cast<uint8_t>(src[whole])) && whole + 1 < n) ? 2 : 1;
    if (whole + step > keep) break;
    whole += step;
  }
  memcpy(out, src, whole);
  memset(out + whole, 0, size - whole);
  return static_cast<uint32_t>(keep);
}

}  // namespace

uint32_t PlatGetProfileString(const char* section, const char* key, const char* def, char* out,
                              uint32_t size, const char* file) {
  if (def == nullptr) def = "";
  Span value{def, strlen(def)};
  std::string text;
  if (section != nullptr && key != nullptr && file != nullptr && ReadAll(file, &text)) {
    Span found;
    if (FindValue(text, Trim(section, strlen(section)), Trim(key, strlen(key)), &found)) {
      value = found;
    }
  }
  return CopyCut(out, size, value.p, value.n);
}
