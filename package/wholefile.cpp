#include "package/wholefile.h"

#include <string.h>

#include "platform/platform.h"

const char* volatile gWholeFileTemporary = nullptr;

namespace {

constexpr char kHex[] = "0123456789ABCDEF";
constexpr uint32_t kRandomDigits = 8;      // 32 random bits a name
constexpr uint32_t kUsualNameLength = 16;  // "~xra" + 8 hex digits + ".tmp"
// Names drawn before giving up. A clash needs someone to have taken that very name; even a
// folder holding thousands of leftover or planted names lets a later draw through.
constexpr int kAttempts = 100;

// Creates a new temporary file in the folder of `path`, with its name in `out` (`limit` bytes).
// Returns none with the reason in `error` when no name fits or every drawn name was taken.
PlatFile CreateTemporary(const char* path, char* out, uint32_t limit, uint32_t* error) {
  const uint32_t folder = PlatFolderLength(path);
  if (folder + 1 >= limit) {
    *error = PlatErrorPathTooLong;
    return nullptr;
  }
  const uint32_t room = limit - 1 - folder;  // bytes for the name, before its terminator
  const bool usual = room >= kUsualNameLength;
  const uint32_t prefix = usual ? 4 : 1;
  const uint32_t digits = usual ? kRandomDigits : (room - 1 < kRandomDigits ? room - 1 : kRandomDigits);
  memcpy(out, path, folder);
  char* name = out + folder;
  memcpy(name, "~xra", prefix);
  // With room for "~" alone there is one name to try.
  const int attempts = digits == 0 ? 1 : kAttempts;
  for (int attempt = 0; attempt < attempts; attempt++) {
    uint8_t random[kRandomDigits / 2];
    PlatRandom(random, sizeof random);
    for (uint32_t k = 0; k < digits; k++) {
      name[prefix + k] = kHex[(random[k / 2] >> (k % 2 ? 0 : 4)) & 0xF];
    }
    memcpy(name + prefix + digits, usual ? ".tmp" : "", usual ? 5 : 1);
    int exists = 0;
    // Named for a signal handler before the file exists, so that there is no moment when the
    // file is there and the handler does not know it. A handler that comes before it is made
    // finds nothing to remove, and one that comes after a clash finds another's file of a name
    // drawn at random a moment ago, which is as good as never.
    gWholeFileTemporary = out;
    PlatFile file = PlatCreateNew(out, &exists);
    if (file != nullptr) return file;
    *error = PlatLastError();
    gWholeFileTemporary = nullptr;
    if (!exists) return nullptr;
  }
  return nullptr;
}

int WriteAll(PlatFile file, const void* data, uint32_t count) {
  uint32_t done = 0;
  return PlatWriteFile(file, data, count, &done) && done == count;
}

}  // namespace

void* ReadWholeFileReason(const char* path, uint32_t* size, uint32_t* error) {
  uint32_t ignored = 0;
  if (error == nullptr) error = &ignored;
  *error = 0;
  PlatFile file = PlatOpenRead(path);
  if (file == nullptr) {
    *error = PlatLastError();
    return nullptr;
  }
  uint32_t length = 0;
  void* block = nullptr;
  if (PlatFileSize(file, &length)) {
    block = PlatAlloc(length);
    if (block == nullptr) *error = PlatLastError();
  } else {
    *error = PlatLastError();
  }
  if (block != nullptr) {
    uint32_t done = 0;
    uint8_t more = 0;
    uint32_t beyond = 0;
    // A short read would hand bytes that were never read to a caller that writes them back, and
    // a file that goes on past its size (one growing, or of /proc, whose size says 0) would be
    // taken for fewer bytes than it holds.
    if (!PlatReadFile(file, block, length, &done)) {
      *error = PlatLastError();
    } else if (done != length || !PlatReadFile(file, &more, 1, &beyond) || beyond != 0) {
      *error = PlatErrorSizeChanged;
    }
    if (*error != 0) {
      PlatFree(block);
      block = nullptr;
    }
  }
  PlatCloseFile(file);
  if (block != nullptr && size != nullptr) *size = length;
  return block;
}

void* ReadWholeFile(const char* path, uint32_t* size) {
  return ReadWholeFileReason(path, size, nullptr);
}

int WriteWholeFileReason(const char* path, const void* data, uint32_t count, const uint64_t* time,
                         uint32_t* error) {
  uint32_t ignored = 0;
  if (error == nullptr) error = &ignored;
  *error = 0;
  const uint32_t limit = PlatPathLimit();
  if (strlen(path) >= limit) {
    *error = PlatErrorPathTooLong;
    return 0;
  }
  char* temporary = static_cast<char*>(PlatAlloc(limit));
  if (temporary == nullptr) {
    *error = PlatLastError();
    return 0;
  }
  PlatFile file = CreateTemporary(path, temporary, limit, error);
  if (file == nullptr) {
    PlatFree(temporary);
    return 0;
  }

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

  int ok = PlatCopyPermissions(path, file) && WriteAll(file, data, count);
  if (ok && time != nullptr) ok = PlatSetFileTimes(file, time, time, time);
  if (ok && keepCreation) PlatSetFileTimes(file, &kept, nullptr, nullptr);
  if (!ok) *error = PlatLastError();
  PlatCloseFile(file);
  if (ok) {
    ok = PlatReplaceFile(temporary, path);
    if (!ok) *error = PlatLastError();
  }
  if (!ok) PlatDeleteFile(temporary);
  gWholeFileTemporary = nullptr;
  PlatFree(temporary);
  return ok;
}

int WriteWholeFile(const char* path, const void* data, uint32_t count, const uint64_t* time) {
  return WriteWholeFileReason(path, data, count, time, nullptr);
}
