// Helpers shared by the tests: scratch folders, files, and small packages.
#ifndef TESTS_TEST_SUPPORT_H
#define TESTS_TEST_SUPPORT_H

#include <stdint.h>

#include <string>
#include <vector>

#include "package/writer.h"

// A fresh empty folder under the system's temporary folder, removed with its contents on
// destruction. path() ends without a separator.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const std::string& path() const { return path_; }
  // path() joined with a name by the platform's separator.
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

std::vector<uint8_t> Bytes(const std::string& text);
void WriteFileOrDie(const std::string& path, const std::vector<uint8_t>& data);
std::vector<uint8_t> ReadFileOrDie(const std::string& path);

// A member for the package helpers; `stored` defaults to the content (a stored member).
PackageMemberInput StoredMember(const char* name, const std::vector<uint8_t>& content,
                                uint64_t time = 0);
// A compressed member whose stream is given.
PackageMemberInput CompressedMember(const char* name, uint32_t size,
                                    const std::vector<uint8_t>& stream, uint64_t time = 0);
// A package with a stored directory.
std::vector<uint8_t> StoredPackage(const std::vector<PackageMemberInput>& members);
// A stream of literals only, ending with the end marker: the simplest valid compressed stream.
std::vector<uint8_t> LiteralStream(const std::vector<uint8_t>& content);

#endif
