// The platform interface on Windows: thin wrappers of the ANSI Windows calls.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <initializer_list>

#include "platform/own_errors.h"
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
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  BY_HANDLE_FILE_INFORMATION info;
  // A pipe, the console or a device such as NUL has no file information: not a file's bytes.
  // (GetFileType would tell too, but under Wine it updates the file's last-access time.)
  if (file != INVALID_HANDLE_VALUE && !GetFileInformationByHandle(file, &info)) {
    CloseHandle(file);
    SetLastError(PlatErrorNotRegularFile);
    return nullptr;
  }
  return FromHandle(file);
}

PlatFile PlatCreateNew(const char* path, int* exists) {
  HANDLE file =
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (exists != nullptr) {
    const DWORD error = GetLastError();
    *exists = file == INVALID_HANDLE_VALUE &&
              (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS);
    SetLastError(error);
  }
  return FromHandle(file);
}

int PlatCopyPermissions(const char*, PlatFile) { return 1; }

int PlatSameFile(const char* a, const char* b) {
  BY_HANDLE_FILE_INFORMATION info[2];
  const char* paths[2] = {a, b};
  for (int i = 0; i < 2; i++) {
    // No access asked for: the file's identity can be read even while another program holds it.
    HANDLE file = CreateFileA(paths[i], 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    const BOOL ok = GetFileInformationByHandle(file, &info[i]);
    CloseHandle(file);
    if (!ok) return 0;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
         info[0].nFileIndexLow == info[1].nFileIndexLow;
}

uint32_t PlatLastError() { return GetLastError(); }

void PlatErrorText(uint32_t error, char* out, uint32_t size) {
  if (size == 0) return;
  out[0] = 0;
  if (const char* own = PlatOwnErrorText(error)) {
    lstrcpynA(out, own, static_cast<int>(size));
    return;
  }
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           error, 0, out, size, nullptr);
  if (n == 0) {
    if (size >= 24) wsprintfA(out, "error %lu", static_cast<unsigned long>(error));
    return;
  }
  // The system's texts end in a period and a line end.
  while (n > 0 && (out[n - 1] == '\r' || out[n - 1] == '\n' || out[n - 1] == ' ' ||
                   out[n - 1] == '.')) {
    out[--n] = 0;
  }
}

void PlatRandom(void* out, uint32_t size) {
  // RtlGenRandom, exported as SystemFunction036, where the system has it; the clocks, the ids
  // and an address, mixed, where it does not.
  typedef BOOLEAN(WINAPI * GenRandomFn)(PVOID, ULONG);
  static GenRandomFn genRandom = nullptr;
  static bool looked = false;
  if (!looked) {
    looked = true;
    if (HMODULE advapi = LoadLibraryA("advapi32.dll")) {
      genRandom = reinterpret_cast<GenRandomFn>(
          reinterpret_cast<void (*)()>(GetProcAddress(advapi, "SystemFunction036")));
    }
  }
  if (genRandom != nullptr && genRandom(out, size)) return;
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  static uint64_t x = 0;
  x ^= static_cast<uint64_t>(counter.QuadPart) ^ (static_cast<uint64_t>(GetTickCount()) << 32) ^
       (static_cast<uint64_t>(GetCurrentProcessId()) << 16) ^ GetCurrentThreadId() ^
       reinterpret_cast<uintptr_t>(&counter);
  uint8_t* p = static_cast<uint8_t*>(out);
  for (uint32_t i = 0; i < size; i++) {
    x += 0x9E3779B97F4A7C15ull;
    uint64_t z = x;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    p[i] = static_cast<uint8_t>(z ^ (z >> 31));
  }
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
  for (const uint64_t* t : {creation, access, write}) {
    if (t != nullptr && *t >= 0x8000000000000000ull) {
      // Beyond what a file time can be (year 30828).
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
  }
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

// ---- windows, the dialog, cursors ---------------------------------------------------------------

namespace {

HWND ToHwnd(PlatWindow window) { return reinterpret_cast<HWND>(window); }
PlatWindow FromHwnd(HWND window) { return reinterpret_cast<PlatWindow>(window); }

// The logic's procedure behind the one dialog the process shows at a time.
PlatDialogProc gDialogProc = nullptr;

INT_PTR CALLBACK DialogTrampoline(HWND dialog, UINT message, WPARAM first, LPARAM second) {
  if (gDialogProc == nullptr) return FALSE;
  return gDialogProc(FromHwnd(dialog), message, static_cast<uint64_t>(first),
                     static_cast<int64_t>(second));
}

}  // namespace

PlatWindow PlatFindWindow(const char* className, const char* title) {
  return FromHwnd(FindWindowA(className, title));
}

PlatWindow PlatFindDialogWindow(const char* title) {
  return FromHwnd(FindWindowA(MAKEINTATOM(0x8002), title));
}

int PlatShowWindow(PlatWindow window, int32_t command) {
  return ShowWindow(ToHwnd(window), command) ? 1 : 0;
}

int PlatSetForegroundWindow(PlatWindow window) {
  return SetForegroundWindow(ToHwnd(window)) ? 1 : 0;
}

int64_t PlatDialogBox(PlatModule module, uint32_t templateId, PlatDialogProc proc, int64_t param) {
  PlatDialogProc outer = gDialogProc;
  gDialogProc = proc;
  const INT_PTR result =
      DialogBoxParamA(reinterpret_cast<HINSTANCE>(module), MAKEINTRESOURCEA(templateId), nullptr,
                      DialogTrampoline, static_cast<LPARAM>(param));
  gDialogProc = outer;
  return result;
}

int PlatEndDialog(PlatWindow dialog, int64_t result) {
  return EndDialog(ToHwnd(dialog), static_cast<INT_PTR>(result)) ? 1 : 0;
}

int PlatSetWindowText(PlatWindow window, const char* text) {
  return SetWindowTextA(ToHwnd(window), text) ? 1 : 0;
}

int PlatSetDlgItemText(PlatWindow dialog, int32_t id, const char* text) {
  return SetDlgItemTextA(ToHwnd(dialog), id, text) ? 1 : 0;
}

PlatWindow PlatGetDlgItem(PlatWindow dialog, int32_t id) {
  return FromHwnd(GetDlgItem(ToHwnd(dialog), id));
}

int PlatEnableWindow(PlatWindow window, int32_t enable) {
  // EnableWindow answers whether the window was disabled before, not whether the call worked.
  EnableWindow(ToHwnd(window), enable ? TRUE : FALSE);
  return 1;
}

PlatWindow PlatSetFocus(PlatWindow window) { return FromHwnd(SetFocus(ToHwnd(window))); }

PlatCursor PlatLoadSystemCursor(uint32_t id) {
  return reinterpret_cast<PlatCursor>(LoadCursorA(nullptr, MAKEINTRESOURCEA(id)));
}

PlatCursor PlatSetCursor(PlatCursor cursor) {
  return reinterpret_cast<PlatCursor>(SetCursor(reinterpret_cast<HCURSOR>(cursor)));
}

// ---- shell, process, resources, registry ------------------------------------------------------

int32_t PlatShellCopy(PlatWindow owner, const char* from, const char* to, uint32_t flags,
                      int32_t* anyAborted) {
  SHFILEOPSTRUCTA op;
  ZeroMemory(&op, sizeof op);
  op.hwnd = ToHwnd(owner);
  op.wFunc = FO_COPY;
  op.pFrom = from;
  op.pTo = to;
  op.fFlags = static_cast<FILEOP_FLAGS>(flags);
  const int result = SHFileOperationA(&op);
  *anyAborted = op.fAnyOperationsAborted ? 1 : 0;
  return result;
}

void PlatInitCom() { CoInitialize(nullptr); }

uint32_t PlatGetTempPath(uint32_t size, char* out) { return GetTempPathA(size, out); }

PlatModule PlatOwnModule() { return reinterpret_cast<PlatModule>(GetModuleHandleA(nullptr)); }

uint32_t PlatCurrentProcessId() { return GetCurrentProcessId(); }

PlatResource PlatFindResource(PlatModule module, uint32_t id, const char* type) {
  return reinterpret_cast<PlatResource>(
      FindResourceA(reinterpret_cast<HMODULE>(module), MAKEINTRESOURCEA(id), type));
}

uint32_t PlatSizeofResource(PlatModule module, PlatResource resource) {
  return SizeofResource(reinterpret_cast<HMODULE>(module), reinterpret_cast<HRSRC>(resource));
}

PlatResourceData PlatLoadResource(PlatModule module, PlatResource resource) {
  return reinterpret_cast<PlatResourceData>(
      LoadResource(reinterpret_cast<HMODULE>(module), reinterpret_cast<HRSRC>(resource)));
}

const void* PlatLockResource(PlatResourceData data) {
  return LockResource(reinterpret_cast<HGLOBAL>(data));
}

int32_t PlatRegOpenCurrentUserKey(const char* path, uint32_t access, PlatKey* key) {
  HKEY opened = nullptr;
  const LONG result = RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, access, &opened);
  *key = result == ERROR_SUCCESS ? reinterpret_cast<PlatKey>(opened) : nullptr;
  return result;
}

int32_t PlatRegQueryValue(PlatKey key, const char* name, void* data, uint32_t* size) {
  DWORD count = *size;
  const LONG result = RegQueryValueExA(reinterpret_cast<HKEY>(key), name, nullptr, nullptr,
                                       static_cast<BYTE*>(data), &count);
  *size = count;
  return result;
}

void PlatRegCloseKey(PlatKey key) {
  if (key != nullptr) RegCloseKey(reinterpret_cast<HKEY>(key));
}
