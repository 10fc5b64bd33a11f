// The platform interface on Windows: thin wrappers of the ANSI Windows calls.
#include <windows.h>

#include "platform/platform.h"

static_assert(sizeof(DWORD) == 4, "DWORD is 32 bits");

namespace {

HANDLE ToHandle(PlatFile file) { return reinterpret_cast<HANDLE>(file); }

PlatFile FromHandle(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? nullptr : reinterpret_cast<PlatFile>(handle);
}

FILETIME ToFileTime(uint64_t ticks) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(ticks);
  ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return ft;
}

uint64_t FromFileTime(const FILETIME& ft) {
  return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

typedef BOOL(WINAPI* FreeSpaceExFn)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

}  // namespace

PlatFile PlatOpenRead(const char* path) {
  return FromHandle(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

PlatFile PlatCreateWrite(const char* path) {
  return FromHandle(
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

int PlatReadFile(PlatFile file, void* buffer, uint32_t size, uint32_t* done) {
  DWORD n = 0;
  BOOL ok = ReadFile(ToHandle(file), buffer, size, &n, nullptr);
  *done = n;
  return ok ? 1 : 0;
}

int PlatWriteFile(PlatFile file, const void* data, uint32_t size, uint32_t* done) {
  DWORD n = 0;
  BOOL ok = WriteFile(ToHandle(file), data, size, &n, nullptr);
  *done = n;
  return ok ? 1 : 0;
}

int PlatSeekFile(PlatFile file, uint32_t offset) {
  LONG high = 0;
  DWORD low = SetFilePointer(ToHandle(file), static_cast<LONG>(offset), &high, FILE_BEGIN);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return 0;
  return low == offset && high == 0;
}

int PlatFileSize(PlatFile file, uint32_t* size) {
  DWORD high = 0;
  DWORD low = GetFileSize(ToHandle(file), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return 0;
  if (high != 0) return 0;
  *size = low;
  return 1;
}

int PlatGetFileTimes(PlatFile file, uint64_t* creation, uint64_t* access, uint64_t* write) {
  FILETIME c, a, w;
  if (!GetFileTime(ToHandle(file), &c, &a, &w)) return 0;
  if (creation != nullptr) *creation = FromFileTime(c);
  if (access != nullptr) *access = FromFileTime(a);
  if (write != nullptr) *write = FromFileTime(w);
  return 1;
}

int PlatSetFileTimes(PlatFile file, const uint64_t* creation, const uint64_t* access,
                     const uint64_t* write) {
  FILETIME c, a, w;
  if (creation != nullptr) c = ToFileTime(*creation);
  if (access != nullptr) a = ToFileTime(*access);
  if (write != nullptr) w = ToFileTime(*write);
  return SetFileTime(ToHandle(file), creation ? &c : nullptr, access ? &a : nullptr,
                     write ? &w : nullptr)
             ? 1
             : 0;
}

void PlatCloseFile(PlatFile file) {
  if (file != nullptr) CloseHandle(ToHandle(file));
}

uint32_t PlatGetFileAttributes(const char* path) { return GetFileAttributesA(path); }

int PlatSetFileAttributes(const char* path, uint32_t attributes) {
  return SetFileAttributesA(path, attributes) ? 1 : 0;
}

int PlatDeleteFile(const char* path) { return DeleteFileA(path) ? 1 : 0; }

int PlatCreateDirectory(const char* path) { return CreateDirectoryA(path, nullptr) ? 1 : 0; }

int PlatReplaceFile(const char* from, const char* to) {
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 1 : 0;
}

void* PlatAlloc(uint32_t size) { return reinterpret_cast<void*>(GlobalAlloc(GMEM_FIXED, size)); }

void PlatFree(void* block) {
  if (block != nullptr) GlobalFree(reinterpret_cast<HGLOBAL>(block));
}

uint32_t PlatGetDriveType(const char* root) { return GetDriveTypeA(root); }

int PlatGetDiskFreeSpace(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                         uint32_t* freeClusters, uint32_t* totalClusters) {
  DWORD spc = 0, bps = 0, fc = 0, tc = 0;
  if (!GetDiskFreeSpaceA(root, &spc, &bps, &fc, &tc)) return 0;
  *sectorsPerCluster = spc;
  *bytesPerSector = bps;
  *freeClusters = fc;
  *totalClusters = tc;
  return 1;
}

PlatLibrary PlatLoadLibrary(const char* name) {
  return reinterpret_cast<PlatLibrary>(LoadLibraryA(name));
}

PlatProc PlatFindProc(PlatLibrary library, const char* name) {
  return reinterpret_cast<PlatProc>(
      reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(library), name)));
}

void PlatFreeLibrary(PlatLibrary library) {
  if (library != nullptr) FreeLibrary(reinterpret_cast<HMODULE>(library));
}

int PlatCallDiskFreeSpaceEx(PlatProc proc, const char* root, uint64_t* freeToCaller,
                            uint64_t* total, uint64_t* totalFree) {
  FreeSpaceExFn fn = reinterpret_cast<FreeSpaceExFn>(reinterpret_cast<void*>(proc));
  ULARGE_INTEGER a, b, c;
  if (fn == nullptr || !fn(root, &a, &b, &c)) return 0;
  *freeToCaller = a.QuadPart;
  *total = b.QuadPart;
  if (totalFree != nullptr) *totalFree = c.QuadPart;
  return 1;
}

uint32_t PlatGetProfileString(const char* section, const char* key, const char* def, char* out,
                              uint32_t size, const char* file) {
  return GetPrivateProfileStringA(section, key, def, out, size, file);
}


int32_t PlatCompareNoCase(const char* a, const char* b) { return lstrcmpiA(a, b); }

int PlatIsLeadByte(uint8_t c) { return IsDBCSLeadByte(c) ? 1 : 0; }
