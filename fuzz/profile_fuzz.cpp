// The profile reader on arbitrary file bytes, then the list tokenizer and the entry-value splitters
// over every value read. Nothing may be read or written outside a buffer, every value and token
// must end within its buffer, and every list must end.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "config/profile.h"
#include "config/update_script.h"
#include "fuzz/fuzz_file.h"
#include "platform/platform.h"

namespace {

void Require(bool condition) {
  if (!condition) abort();
}

void SplitValue(const char* value, uint32_t size) {
  for (uint32_t slotSize : {1u, 4u, 260u}) {
    // Exact sizes, so that the sanitizers see any access outside them.
    std::vector<char> token(slotSize);
    const char* cursor = value;
    uint32_t count = 0;
    while (NextListToken(token.data(), slotSize, &cursor)) {
      Require(memchr(token.data(), 0, slotSize) != nullptr);
      Require(cursor > value && cursor < value + size);
      Require(++count <= size);
    }
  }
  UpdateFileFields update;
  SplitUpdateFileValue(value, &update);
  Require(memchr(update.path, 0, sizeof update.path) != nullptr);
  Require(update.nameOffset >= 0 && static_cast<size_t>(update.nameOffset) <= strlen(update.path));
  CopyFileFields copy;
  SplitCopyFileValue(value, &copy);
  Require(memchr(copy.path, 0, sizeof copy.path) != nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  const std::string path = WriteFuzzFile("profile_fuzz", data, size);
  if (path.empty()) return 0;
  static const char* const kSections[] = {"SETUP", "UPDATE", "s"};
  static const char* const kKeys[] = {"k", "SetupBmp", "UpdateFile00", "CopyFile00"};
  for (const char* section : kSections) {
    for (const char* key : kKeys) {
      for (uint32_t outSize : {1u, 2u, 20u, 260u, 1024u}) {
        std::vector<char> out(outSize, '\0');
        const uint32_t result =
            PlatGetProfileString(section, key, "", out.data(), outSize, path.c_str());
        Require(result <= outSize - 1);
        Require(memchr(out.data(), 0, outSize) != nullptr);
        SplitValue(out.data(), outSize);
      }
    }
  }
  RemoveFuzzFile(path);
  return 0;
}
