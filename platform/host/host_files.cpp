// Files and paths on Linux, with the Windows behaviours the logic relies on: a read-only file
// refuses to be written, replaced or deleted (also for root, who could otherwise write it), and
// file times are Windows ticks with a creation time kept by the stand-in.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <initializer_list>
#include <new>
#include <string>
#include <set>
#include <vector>

#include "platform/host/host_state.h"
#include "platform/platform.h"

struct PlatFileRecord {
  int fd;
};

namespace {

// Ticks between 1601-01-01 and 1970-01-01.
constexpr int64_t kUnixEpochTicks = 116444736000000000LL;

uint64_t TicksFromTimespec(const struct timespec& ts) {
  return static_cast<uint64_t>(kUnixEpochTicks + static_cast<int64_t>(ts.tv_sec) * 10000000LL +
                               ts.tv_nsec / 100);
}

// Windows takes no file time of 2^63 ticks or more; nor does the stand-in, whose conversion
// would overflow.
constexpr uint64_t kTicksLimit = 0x8000000000000000ull;

struct timespec TimespecFromTicks(uint64_t ticks) {
  int64_t t = static_cast<int64_t>(ticks) - kUnixEpochTicks;
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

std::pair<uint64_t, uint64_t> FileKey(const struct stat& st) {
  return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

bool IsReadOnly(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

uint64_t NowTicks() {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return TicksFromTimespec(ts);
}

}  // namespace

namespace {

// The name of an entry of `folder` that equals `name` without regard to case, as the file
// systems of Windows match names; `name` itself when there is none (a file yet to be made).
std::string ExistingName(const std::string& folder, const std::string& name) {
  struct stat st;
  if (lstat((folder + "/" + name).c_str(), &st) == 0) return name;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return name;
  std::string found = name;
  while (struct dirent* entry = readdir(dir)) {
    if (PlatCompareNoCase(entry->d_name, name.c_str()) == 0) {
      found = entry->d_name;
      break;
    }
  }
  closedir(dir);
  return found;
}

}  // namespace

std::string HostNativePath(const char* path) {
  if (path == nullptr) return "";
  const std::string text = path;
  const bool onDrive = text.size() >= 2 && text[1] == ':' &&
                       ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
  // The path's names, split where a backslash or slash is a character of its own: the second
  // byte of a double-byte character can be 0x5C, and is then part of a name, as on Windows.
  std::vector<std::string> names;
  std::string name;
  for (size_t i = onDrive ? 2 : 0; i < text.size(); i++) {
    const char c = text[i];
    if (PlatIsLeadByte(static_cast<uint8_t>(c)) && i + 1 < text.size()) {
      name += c;
      name += text[++i];
    } else if (c == '\\' || c == '/') {
      names.push_back(name);
      name.clear();
    } else if (c == ':' && onDrive) {
      return "";  // a colon after the drive's names no file of the folder
    } else {
      name += c;
    }
  }
  names.push_back(name);
  if (!onDrive) {
    // A path of the host's own, as the tests give it.
    std::string out = names[0];
    for (size_t i = 1; i < names.size(); i++) out += "/" + names[i];
    return out;
  }
  const HostDrive* drive = HostDriveOf(path);
  if (drive == nullptr || drive->folder.empty()) return "";
  // ".." stops at the root of the drive, as it does on Windows, so no path leaves the drive's
  // folder; "." and empty names (doubled separators) fall away.
  std::vector<std::string> kept;
  for (const std::string& n : names) {
    if (n.empty() || n == ".") continue;
    if (n == "..") {
      if (!kept.empty()) kept.pop_back();
      continue;
    }
    kept.push_back(n);
  }
  std::string out = drive->folder;
  for (const std::string& n : kept) out += "/" + ExistingName(out, n);
  if (kept.empty() || names.back().empty()) out += '/';
  return out;
}

bool HostIsLocked(const std::string& native) {
  const std::set<std::string>& locked = Host().lockedFiles;
  return !locked.empty() && locked.count(native) != 0;
}

void HostLockFile(const std::string& native) { Host().lockedFiles.insert(native); }
void HostUnlockFiles() { Host().lockedFiles.clear(); }

PlatFile PlatOpenRead(const char* path) {
  std::string native = HostNativePath(path);
  if (native.empty() || HostIsLocked(native)) return nullptr;
  int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  int error = 0;
  if (fstat(fd, &st) != 0) {
    error = errno;
  } else if (!S_ISREG(st.st_mode)) {
    error = static_cast<int>(PlatErrorNotRegularFile);
  }
  if (error != 0) {
    close(fd);
    errno = error;
    return nullptr;
  }
  PlatFile file = new (std::nothrow) PlatFileRecord{fd};
  if (file == nullptr) {
    close(fd);
  } else {
    Host().openFiles++;
  }
  return file;
}

PlatFile PlatCreateWrite(const char* path) {
  std::string native = HostNativePath(path);
  if (native.empty() || HostIsLocked(native)) return nullptr;
  struct stat st;
  bool existed = stat(native.c_str(), &st) == 0;
  if (existed && (S_ISDIR(st.st_mode) || IsReadOnly(st))) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : EACCES;
    return nullptr;
  }
  int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  if (!existed && fstat(fd, &st) == 0) Host().creationTimes[FileKey(st)] = NowTicks();
  PlatFile file = new (std::nothrow) PlatFileRecord{fd};
  if (file == nullptr) {
    close(fd);
  } else {
    Host().openFiles++;
  }
  return file;
}

PlatFile PlatCreateNew(const char* path, int* exists) {
  if (exists != nullptr) *exists = 0;
  std::string native = HostNativePath(path);
  if (native.empty()) {
    errno = ENOENT;
    return nullptr;
  }
  if (HostIsLocked(native)) {
    errno = EACCES;
    return nullptr;
  }
  int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (exists != nullptr) *exists = errno == EEXIST;
    return nullptr;
  }
  struct stat st;
  if (fstat(fd, &st) == 0) Host().creationTimes[FileKey(st)] = NowTicks();
  PlatFile file = new (std::nothrow) PlatFileRecord{fd};
  if (file == nullptr) {
    close(fd);
    unlink(native.c_str());
    errno = ENOMEM;
  } else {
    Host().openFiles++;
  }
  return file;
}

// Windows has no mode bits to carry over.
int PlatCopyPermissions(const char*, PlatFile) { return 1; }

int PlatSameFile(const char* a, const char* b) {
  const std::string x = HostNativePath(a), y = HostNativePath(b);
  struct stat sa, sb;
  if (x.empty() || y.empty() || stat(x.c_str(), &sa) != 0 || stat(y.c_str(), &sb) != 0) return 0;
  return FileKey(sa) == FileKey(sb);
}

int PlatReadFile(PlatFile file, void* buffer, uint32_t size, uint32_t* done) {
  *done = 0;
  if (file == nullptr) return 0;
  uint8_t* p = static_cast<uint8_t*>(buffer);
  while (*done < size) {
    ssize_t n = read(file->fd, p + *done, size - *done);
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
  uint32_t limit = size;
  bool fail = false;
  HostState& h = Host();
  if (h.failWrites > 0) {
    h.failWrites--;
    fail = true;
    if (h.failWriteBytesBefore < limit) limit = h.failWriteBytesBefore;
  }
  const uint8_t* p = static_cast<const uint8_t*>(data);
  while (*done < limit) {
    ssize_t n = write(file->fd, p + *done, limit - *done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return 0;
    }
    *done += static_cast<uint32_t>(n);
  }
  return fail ? 0 : 1;
}

int PlatSeekFile(PlatFile file, uint32_t offset) {
  if (file == nullptr) return 0;
  return lseek(file->fd, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

int PlatFileSize(PlatFile file, uint32_t* size) {
  struct stat st;
  if (file == nullptr || fstat(file->fd, &st) != 0) return 0;
  if (st.st_size < 0 || static_cast<uint64_t>(st.st_size) > 0xFFFFFFFFull) return 0;
  *size = static_cast<uint32_t>(st.st_size);
  return 1;
}

int PlatGetFileTimes(PlatFile file, uint64_t* creation, uint64_t* access, uint64_t* write) {
  struct stat st;
  if (file == nullptr || fstat(file->fd, &st) != 0) return 0;
  if (creation != nullptr) {
    auto it = Host().creationTimes.find(FileKey(st));
    *creation = it != Host().creationTimes.end() ? it->second : TicksFromTimespec(st.st_mtim);
  }
  if (access != nullptr) *access = TicksFromTimespec(st.st_atim);
  if (write != nullptr) *write = TicksFromTimespec(st.st_mtim);
  return 1;
}

int PlatSetFileTimes(PlatFile file, const uint64_t* creation, const uint64_t* access,
                     const uint64_t* write) {
  struct stat st;
  if (file == nullptr || fstat(file->fd, &st) != 0) return 0;
  HostState& h = Host();
  if (h.failSetTimes > 0) {
    h.failSetTimes--;
    return 0;
  }
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1] = times[0];
  for (const uint64_t* t : {creation, access, write}) {
    if (t != nullptr && *t >= kTicksLimit) {
      errno = EINVAL;
      return 0;
    }
  }
  if (access != nullptr) times[0] = TimespecFromTicks(*access);
  if (write != nullptr) times[1] = TimespecFromTicks(*write);
  if (futimens(file->fd, times) != 0) return 0;
  if (creation != nullptr) h.creationTimes[FileKey(st)] = *creation;
  return 1;
}

void PlatCloseFile(PlatFile file) {
  if (file == nullptr) return;
  close(file->fd);
  delete file;
  Host().openFiles--;
}

uint32_t PlatGetFileAttributes(const char* path) {
  std::string native = HostNativePath(path);
  struct stat st;
  if (native.empty() || stat(native.c_str(), &st) != 0) return PlatAttrInvalid;
  uint32_t attributes = 0;
  if (S_ISDIR(st.st_mode)) attributes |= PlatAttrDirectory;
  if (IsReadOnly(st)) attributes |= PlatAttrReadOnly;
  return attributes == 0 ? PlatAttrNormal : attributes;
}

int PlatSetFileAttributes(const char* path, uint32_t attributes) {
  std::string native = HostNativePath(path);
  struct stat st;
  if (native.empty() || stat(native.c_str(), &st) != 0) return 0;
  mode_t mode = st.st_mode & 07777;
  if (attributes & PlatAttrReadOnly) {
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  } else {
    mode |= S_IWUSR;
  }
  return chmod(native.c_str(), mode) == 0;
}

int PlatDeleteFile(const char* path) {
  std::string native = HostNativePath(path);
  struct stat st;
  if (native.empty() || HostIsLocked(native) || lstat(native.c_str(), &st) != 0) return 0;
  if (S_ISDIR(st.st_mode) || IsReadOnly(st)) return 0;
  if (unlink(native.c_str()) != 0) return 0;
  Host().creationTimes.erase(FileKey(st));
  return 1;
}

int PlatCreateDirectory(const char* path) {
  std::string native = HostNativePath(path);
  if (native.empty()) return 0;
  return mkdir(native.c_str(), 0777) == 0;
}

int PlatReplaceFile(const char* from, const char* to) {
  std::string nativeFrom = HostNativePath(from);
  std::string nativeTo = HostNativePath(to);
  if (nativeFrom.empty() || nativeTo.empty() || HostIsLocked(nativeFrom) || HostIsLocked(nativeTo)) {
    return 0;
  }
  struct stat st;
  if (stat(nativeTo.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode) || IsReadOnly(st)) {
      errno = S_ISDIR(st.st_mode) ? EISDIR : EACCES;
      return 0;
    }
    Host().creationTimes.erase(FileKey(st));
  }
  return rename(nativeFrom.c_str(), nativeTo.c_str()) == 0;
}
