// The platform interface on Windows: thin wrappers of the ANSI Windows calls.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

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
