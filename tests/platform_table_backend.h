// What the platform tables need of a backend beyond the platform interface, which only reads the
// registry and knows nothing of drives: a registry key of the test's own to write values into, a
// disc in the CD-ROM drive R:, and a temporary folder. On Windows (and Wine) these are the real
// registry, a drive that cmake/wine-run sets up, and the system's temporary folder; on the host
// the stand-in's test controls.
#ifndef TESTS_PLATFORM_TABLE_BACKEND_H
#define TESTS_PLATFORM_TABLE_BACKEND_H

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

// Registry value types, with the values Windows gives them.
enum : uint32_t {
  kTestRegSz = 1,
  kTestRegBinary = 3,
  kTestRegDword = 4,
};

// Whether the tables run against Windows (under Wine), for the rows where it differs.
extern const bool kWindowsBackend;

// Puts the backend into the state a test starts from (the stand-in forgets everything).
void ResetBackend();

// A key under HKEY_CURRENT_USER that belongs to this test program alone, emptied on creation and
// removed with everything under it on destruction. Paths are relative to HKEY_CURRENT_USER.
class TestRegistry {
 public:
  TestRegistry();
  ~TestRegistry();
  TestRegistry(const TestRegistry&) = delete;
  TestRegistry& operator=(const TestRegistry&) = delete;

  // "Software\XraPlatformTest\" and a name of this process's own.
  const std::string& root() const { return root_; }
  // Creates the key and its parents.
  void AddKey(const std::string& path) const;
  // Stores the bytes as given: a string needs its own terminator, and one without keeps none.
  void SetValue(const std::string& path, const std::string& name, uint32_t type,
                const std::vector<uint8_t>& data) const;

 private:
  std::string root_;
};

// The disc in drive R:, a CD-ROM drive: a fresh folder of this test's own, which the drive shows
// as R:\<name>, removed with its contents on destruction.
class TestDisc {
 public:
  TestDisc();
  ~TestDisc();
  TestDisc(const TestDisc&) = delete;
  TestDisc& operator=(const TestDisc&) = delete;

  // The drive, "R:".
  static const char* Drive() { return "R:"; }
  // Where the test writes the disc's file `relative` (backslashes between names).
  std::string WritePath(const std::string& relative) const;
  // The same file as the drive shows it: "R:\<name>\relative".
  std::string DrivePath(const std::string& relative) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Makes PlatGetTempPath answer (the system's folder on Windows; one the test sets on the host).
void PrepareTempPath();

// A fresh folder of this process's own that the platform calls may write in, as a path they take,
// ending in a separator; removed at exit.
std::string TestFolder();

// The code page 932 text `cp932` as the system decodes it, each character in upper case as the
// system gives it (CharUpperBuffW on Windows; iconv and the cased letters of code page 932's
// repertoire on the host), one code point an element; false when the system refuses the text.
bool SystemUpperUnicode(const std::string& cp932, std::u32string* out);

#endif
