// The files, paths and memory of the interface on Linux as they are, for the tools: a path is a
// POSIX path used as given (no drive letters, no backslashes, no code page 932 rules), names
// match as the file system matches them, and a file's mode is its own. Only what the tools call is
// here; the rest of the interface belongs to the updater, which this backend is not for.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <initializer_list>
#include <new>

#include "platform/platform.h"

struct PlatFileRecord {
  int fd;
};

namespace {

// Ticks between 1601-01-01 and 1970-01-01.
constexpr int64_t kUnixEpochTicks = 116444736000000000LL;
// Windows takes no file time of 2^63 ticks or more, so neither does this backend: every build
// refuses the same times.
constexpr uint64_t kTicksLimit = 0x8000000000000000ull;

uint64_t TicksFromTimespec(const struct timespec& ts) {
  // Seconds before 1601 or after 30828 do not fit a file time; they are clamped to its range.
  const int64_t minSeconds = -kUnixEpochTicks / 10000000LL;
  const int64_t maxSeconds = (INT64_MAX - kUnixEpochTicks) / 10000000LL - 1;
  const int64_t sec = static_cast<int64_t>(ts.tv_sec);
  if (sec < minSeconds) return 0;
  if (sec > maxSeconds) return kTicksLimit - 1;
  return static_cast<uint64_t>(kUnixEpochTicks + sec * 10000000LL + ts.tv_nsec / 100);
}

struct timespec TimespecFromTicks(uint64_t ticks) {
  const int64_t t = static_cast<int64_t>(ticks) - kUnixEpochTicks;  // ticks < 2^63
  int64_t sec = t / 10000000LL;
  int64_t rem = t % 10000000LL;
  if (rem < 0) {
    rem += 10000000LL;
    sec -= 1;
  }
  struct timespec ts;
  ts.tv_sec = static_cast<time_t>(sec);
  ts.tv_nsec = static_cast<long>(rem * 100);
  return ts;
}

PlatFile Wrap(int fd) {
  if (fd < 0) return nullptr;
  PlatFile file = new (std::nothrow) PlatFileRecord{fd};
  if (file == nullptr) {
    close(fd);
    errno = ENOMEM;
  }
  return file;
}

}  // namespace

PlatFile PlatOpenRead(const char* path) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat st;
  int error = 0;
  if (fstat(fd, &st) != 0) {
    error = errno;
  } else if (!S_ISREG(st.st_mode)) {
    // A pipe would give what it holds now and a device what it likes: neither is a file's bytes.
    error = static_cast<int>(PlatErrorNotRegularFile);
  }
  if (error != 0) {
    close(fd);
    errno = error;
    return nullptr;
  }
  // O_NONBLOCK was only there so that opening a FIFO does not wait for a writer.
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return Wrap(fd);
}

PlatFile PlatCreateWrite(const char* path) {
  return Wrap(open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
}

PlatFile PlatCreateNew(const char* path, int* exists) {
  if (exists != nullptr) *exists = 0;
  const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0 && exists != nullptr) *exists = errno == EEXIST;
  return Wrap(fd);
}

int PlatCopyPermissions(const char* like, PlatFile file) {
  struct stat st;
  if (file == nullptr) return 0;
  // A link at that name is replaced, not followed: its target's mode is not the file's.
  if (lstat(like, &st) != 0 || !S_ISREG(st.st_mode)) return 1;
  // The owner and group too, where this user may give them (root may); never the set-user and
  // set-group bits, which belong to the content they were given for, not to a new one.
  if (fchown(file->fd, st.st_uid, st.st_gid) != 0) {
    struct stat own;
    if (fstat(file->fd, &own) == 0 && own.st_gid != st.st_gid) fchown(file->fd, -1, st.st_gid);
  }
  return fchmod(file->fd, st.st_mode & 0777) == 0;
}

int PlatReadFile(PlatFile file, void* buffer, uint32_t size, uint32_t* done) {
  *done = 0;
  if (file == nullptr) return 0;
  uint8_t* p = static_cast<uint8_t*>(buffer);
  while (*done < size) {
    const ssize_t n = read(file->fd, p + *done, size - *done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return 0;
    }
    if (n == 0) break;
    *done += static_cast<uint32_t>(n);
  }
  return 1;
}

int PlatWriteFile(PlatFile file, const void* data, uint32_t size, uint32_t* done) {
  *done = 0;
  if (file == nullptr) return 0;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  while (*done < size) {
    const ssize_t n = write(file->fd, p + *done, size - *done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return 0;
    }
    *done += static_cast<uint32_t>(n);
  }
  return 1;
}

int PlatSeekFile(PlatFile file, uint32_t offset) {
  if (file == nullptr) return 0;
  return lseek(file->fd, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

int PlatFileSize(PlatFile file, uint32_t* size) {
  struct stat st;
  if (file == nullptr || fstat(file->fd, &st) != 0) return 0;
  if (st.st_size < 0 || static_cast<uint64_t>(st.st_size) > 0xFFFFFFFFull) {
    errno = EFBIG;
    return 0;
  }
  *size = static_cast<uint32_t>(st.st_size);
  return 1;
}

int PlatGetFileTimes(PlatFile file, uint64_t* creation, uint64_t* access, uint64_t* write) {
  struct stat st;
  if (file == nullptr || fstat(file->fd, &st) != 0) return 0;
  // Linux keeps no creation time that every file system gives; the last change stands in.
  if (creation != nullptr) *creation = TicksFromTimespec(st.st_ctim);
  if (access != nullptr) *access = TicksFromTimespec(st.st_atim);
  if (write != nullptr) *write = TicksFromTimespec(st.st_mtim);
  return 1;
}

int PlatSetFileTimes(PlatFile file, const uint64_t* creation, const uint64_t* access,
                     const uint64_t* write) {
  if (file == nullptr) return 0;
  for (const uint64_t* t : {creation, access, write}) {
    if (t != nullptr && *t >= kTicksLimit) {
      errno = EOVERFLOW;
      return 0;
    }
  }
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1] = times[0];
  if (access != nullptr) times[0] = TimespecFromTicks(*access);
  if (write != nullptr) times[1] = TimespecFromTicks(*write);
  if (access == nullptr && write == nullptr) return 1;  // a creation time has nowhere to go
  return futimens(file->fd, times) == 0;
}

void PlatCloseFile(PlatFile file) {
  if (file == nullptr) return;
  close(file->fd);
  delete file;
}

uint32_t PlatGetFileAttributes(const char* path) {
  struct stat st;
  if (stat(path, &st) != 0) return PlatAttrInvalid;
  uint32_t attributes = 0;
  if (S_ISDIR(st.st_mode)) attributes |= PlatAttrDirectory;
  if (access(path, W_OK) != 0 && errno == EACCES) attributes |= PlatAttrReadOnly;
  return attributes == 0 ? PlatAttrNormal : attributes;
}

int PlatSetFileAttributes(const char* path, uint32_t attributes) {
  struct stat st;
  if (stat(path, &st) != 0) return 0;
  mode_t mode = st.st_mode & 07777;
  if (attributes & PlatAttrReadOnly) {
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  } else {
    mode |= S_IWUSR;
  }
  return chmod(path, mode) == 0;
}

int PlatDeleteFile(const char* path) {
  struct stat st;
  if (lstat(path, &st) != 0) return 0;
  if (S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return 0;
  }
  return unlink(path) == 0;
}

int PlatCreateDirectory(const char* path) { return mkdir(path, 0777) == 0; }

int PlatReplaceFile(const char* from, const char* to) {
  struct stat st;
  if (lstat(to, &st) == 0) {
    // As on Windows: a folder is not replaced by a file, and a file the user may not write is
    // not replaced either, which a rename in a writable folder would otherwise do. A link is
    // replaced itself; what it points to is never written.
    if (S_ISDIR(st.st_mode)) {
      errno = EISDIR;
      return 0;
    }
    // Nor is a device, a pipe or a socket, which the user meant to write into, not to remove.
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
      errno = static_cast<int>(PlatErrorNotRegularFile);
      return 0;
    }
    if (S_ISREG(st.st_mode) && access(to, W_OK) != 0) return 0;
  }
  return rename(from, to) == 0;
}

uint32_t PlatFolderLength(const char* path) {
  const char* slash = strrchr(path, '/');
  return slash == nullptr ? 0 : static_cast<uint32_t>(slash - path + 1);
}

uint32_t PlatPathLimit() { return PATH_MAX; }

int PlatSameFile(const char* a, const char* b) {
  struct stat sa, sb;
  if (stat(a, &sa) != 0 || stat(b, &sb) != 0) return 0;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void* PlatAlloc(uint32_t size) { return malloc(size == 0 ? 1 : size); }

void PlatFree(void* block) { free(block); }
