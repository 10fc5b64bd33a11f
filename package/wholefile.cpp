#include "package/wholefile.h"

#include <string.h>

#include "platform/platform.h"

namespace {

constexpr uint32_t kPathSize = 260;

// Length of the folder part of `path`, separator included: up to the last backslash or slash
// that is a character of its own (a 0x5C can be the second byte of a double-byte character).
uint32_t FolderLength(const char* path) {
  uint32_t folder = 0;
  for (uint32_t i = 0; path[i] != 0; i++) {
    const uint8_t c = static_cast<uint8_t>(path[i]);
    if (PlatIsLeadByte(c) && path[i + 1] != 0) {
      i++;
    } else if (c == '\\' || c == '/' || (i == 1 && c == ':')) {
      folder = i + 1;
    }
  }
  return folder;
}

constexpr uint32_t kTemporaryNameLength = 12;  // "~xra" + 4 hex digits + ".tmp"

// Whether a temporary name fits beside `path` within the system's path limit.
bool TemporaryNameFits(const char* path) {
  return FolderLength(path) + kTemporaryNameLength + 1 <= kPathSize;
}

// A name for a new temporary file in the folder of `path`, or 0 when none is free.
int MakeTemporaryName(const char* path, char out[kPathSize]) {
  static uint32_t counter = 0;
  static const char kHex[] = "0123456789ABCDEF";
  const uint32_t folder = FolderLength(path);
  if (!TemporaryNameFits(path)) return 0;
  for (int attempt = 0; attempt < 64; attempt++) {
    const uint32_t n = counter++;
    memcpy(out, path, folder);
    char* p = out + folder;
    memcpy(p, "~xra", 4);
    for (int k = 0; k < 4; k++) p[4 + k] = kHex[(n >> (12 - 4 * k)) & 0xF];
    memcpy(p + 8, ".tmp", 5);
    static_assert(kTemporaryNameLength == 4 + 4 + 4, "the name's parts");
    if (PlatGetFileAttributes(out) == PlatAttrInvalid) return 1;
  }
  return 0;
}

int WriteAll(PlatFile file, const void* data, uint32_t count) {
  uint32_t done = 0;
  return PlatWriteFile(file, data, count, &done) && done == count;
}

}  // namespace

void* ReadWholeFile(const char* path, uint32_t* size) {
  PlatFile file = PlatOpenRead(path);
  if (file == nullptr) return nullptr;
  uint32_t length = 0;
  void* block = nullptr;
  if (PlatFileSize(file, &length)) block = PlatAlloc(length);
  if (block != nullptr) {
    uint32_t done = 0;
    // A short read would hand bytes that were never read to a caller that writes them back.
    if (!PlatReadFile(file, block, length, &done) || done != length) {
      PlatFree(block);
      block = nullptr;
    }
  }
  PlatCloseFile(file);
  if (block != nullptr && size != nullptr) *size = length;
  return block;
}

namespace {

// Creates or empties the file and writes it where it stands.
int WriteInPlace(const char* path, const void* data, uint32_t count, const uint64_t* time) {
  PlatFile file = PlatCreateWrite(path);
  if (file == nullptr) return 0;
  int ok = WriteAll(file, data, count);
  if (ok && time != nullptr) ok = PlatSetFileTimes(file, time, time, time);
  PlatCloseFile(file);
  return ok;
}

}  // namespace

int WriteWholeFile(const char* path, const void* data, uint32_t count, const uint64_t* time) {
  if (!TemporaryNameFits(path)) return WriteInPlace(path, data, count, time);
  char temporary[kPathSize];
  if (!MakeTemporaryName(path, temporary)) return 0;

  // Without a time of its own the file keeps the creation time of the one it replaces, as a
  // rewrite in place would.
  uint64_t kept = 0;
  bool keepCreation = false;
  if (time == nullptr) {
    PlatFile old = PlatOpenRead(path);
    if (old != nullptr) {
      keepCreation = PlatGetFileTimes(old, &kept, nullptr, nullptr) != 0;
      PlatCloseFile(old);
    }
  }

  PlatFile file = PlatCreateWrite(temporary);
  if (file == nullptr) return 0;
  int ok = WriteAll(file, data, count);
  if (ok && time != nullptr) ok = PlatSetFileTimes(file, time, time, time);
  if (ok && keepCreation) PlatSetFileTimes(file, &kept, nullptr, nullptr);
  PlatCloseFile(file);
  if (ok) ok = PlatReplaceFile(temporary, path);
  if (!ok) PlatDeleteFile(temporary);
  return ok;
}
