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

// A name for a new temporary file in the folder of `path`, or 0 when none is free. Where the
// folder leaves no room for the usual name, a shorter one ("~" and hex digits) takes the room
// there is; a path of at most 259 bytes always has it, as its own name fits.
int MakeTemporaryName(const char* path, char out[kPathSize]) {
  static uint32_t counter = 0;
  static const char kHex[] = "0123456789ABCDEF";
  const uint32_t folder = FolderLength(path);
  if (folder + 1 >= kPathSize) return 0;
  const uint32_t room = kPathSize - 1 - folder;  // bytes for the name, before its terminator
  const bool usual = room >= kTemporaryNameLength;
  const uint32_t digits = usual ? 4 : (room - 1 < 4 ? room - 1 : 4);
  const int attempts = digits >= 2 ? 64 : (digits == 1 ? 16 : 1);
  for (int attempt = 0; attempt < attempts; attempt++) {
    const uint32_t n = counter++;
    memcpy(out, path, folder);
    char* p = out + folder;
    const uint32_t prefix = usual ? 4 : 1;
    memcpy(p, "~xra", prefix);
    for (uint32_t k = 0; k < digits; k++) p[prefix + k] = kHex[(n >> (4 * (digits - 1 - k))) & 0xF];
    if (usual) {
      memcpy(p + prefix + digits, ".tmp", 5);
      static_assert(kTemporaryNameLength == 4 + 4 + 4, "the name's parts");
    } else {
      p[prefix + digits] = '\0';
    }
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
  // No temporary path can be named beside a path the system's calls would not take either; the
  // tools on Linux can still write it where it stands.
  if (strlen(path) >= kPathSize) return WriteInPlace(path, data, count, time);
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
