// The narrow interface between the updater's logic and the operating system.
//
// Contract: every call takes and returns fixed-width values, NUL-terminated byte strings
// (code page 932 on Windows, raw bytes on the host stand-in) and opaque handles. Results follow
// the system's convention: 1 (or a handle, or a block) for success, 0 (or none) for failure,
// unless a call says otherwise. Nothing here shows anything to the user except the message box,
// the modal dialog and its items, and the shell copy's progress window; nothing keeps state the
// caller can see between calls except open handles and windows.
//
// Two backends implement it: platform/win32 with the real Windows calls, and platform/host, the
// Linux stand-in used by the tests (its test controls are in platform/host/host_control.h).
// A third, platform/posix, implements the files, paths, text, memory and errors on Linux as they
// are, for the tools: paths are POSIX paths used as given.
#ifndef PLATFORM_PLATFORM_H
#define PLATFORM_PLATFORM_H

#include <stdint.h>

// Opaque handles. A handle is none when it is null.
typedef struct PlatFileRecord* PlatFile;
typedef struct PlatWindowRecord* PlatWindow;
typedef struct PlatLibraryRecord* PlatLibrary;
typedef struct PlatProcRecord* PlatProc;
typedef struct PlatModuleRecord* PlatModule;          // an executable's instance handle
typedef struct PlatKeyRecord* PlatKey;                // an open registry key
typedef struct PlatResourceRecord* PlatResource;      // a found resource (FindResourceA)
typedef struct PlatResourceDataRecord* PlatResourceData;  // a loaded resource (LoadResource)
typedef struct PlatCursorRecord* PlatCursor;

// File attribute bits, with the values Windows gives them.
enum : uint32_t {
  PlatAttrReadOnly = 0x01,
  PlatAttrDirectory = 0x10,
  PlatAttrNormal = 0x80,
  PlatAttrInvalid = 0xFFFFFFFFu,  // the path does not exist (or cannot be examined)
};

// ---- Files -----------------------------------------------------------------------------------
// Opens an existing file for reading, shared for reading (GENERIC_READ, FILE_SHARE_READ,
// OPEN_EXISTING). Returns none on failure, and for anything that is not an ordinary file on a
// disk (a folder, a pipe, a device), whose reason is then PlatErrorNotRegularFile.
PlatFile PlatOpenRead(const char* path);
// Creates or empties a file for writing, unshared (GENERIC_WRITE, CREATE_ALWAYS,
// FILE_ATTRIBUTE_NORMAL). Returns none on failure.
PlatFile PlatCreateWrite(const char* path);
// Creates a new file for writing, unshared, and fails when anything at all already has the name:
// a file, a folder, a link (even one whose target is missing) is never opened, followed or
// emptied (CREATE_NEW; O_CREAT|O_EXCL|O_NOFOLLOW). `exists`, when not null, receives 1 when that
// was why it failed, else 0.
PlatFile PlatCreateNew(const char* path, int* exists);
// Gives `file` the permissions of the existing file `like` (its mode bits on Linux), so that a
// file put in its place keeps them. Does nothing on Windows, where the only such bit is the
// read-only attribute, and where `like` is missing. Returns 0 only when they cannot be set.
int PlatCopyPermissions(const char* like, PlatFile file);
// Reads up to `size` bytes; `done` receives the count actually read (0 at the end of the file).
int PlatReadFile(PlatFile file, void* buffer, uint32_t size, uint32_t* done);
// Writes `size` bytes; `done` receives the count actually written.
int PlatWriteFile(PlatFile file, const void* data, uint32_t size, uint32_t* done);
// Moves the position to `offset` bytes from the start of the file.
int PlatSeekFile(PlatFile file, uint32_t offset);
// The file's size. Fails for a file of 4 GiB or more, which no format of the system describes.
int PlatFileSize(PlatFile file, uint32_t* size);
// File times in 100-nanosecond ticks since 1601-01-01 UTC (Windows file times). Any output or
// input may be null: a null input leaves that time as it is.
int PlatGetFileTimes(PlatFile file, uint64_t* creation, uint64_t* access, uint64_t* write);
int PlatSetFileTimes(PlatFile file, const uint64_t* creation, const uint64_t* access,
                     const uint64_t* write);
void PlatCloseFile(PlatFile file);

// ---- Paths -----------------------------------------------------------------------------------
// PlatAttrInvalid when the path does not exist.
uint32_t PlatGetFileAttributes(const char* path);
int PlatSetFileAttributes(const char* path, uint32_t attributes);
int PlatDeleteFile(const char* path);
// Creates one folder level; fails when it exists or its parent does not.
int PlatCreateDirectory(const char* path);
// Replaces `to` by `from` in one step where the file system allows it (both in one folder).
// Refuses to replace a folder or a read-only file.
int PlatReplaceFile(const char* from, const char* to);
// Length of the folder part of `path`, its last separator included, by the system's rules: on
// Windows (and the stand-in) a backslash or slash that is a character of its own (0x5C can be the
// second byte of a double-byte character) or the colon after a drive letter; on Linux the last
// slash. 0 when the path has no folder part; strlen(path) when it ends in a separator.
uint32_t PlatFolderLength(const char* path);
// Bytes that the longest path the file calls take needs, terminator included: 260 (MAX_PATH) on
// Windows and the stand-in, PATH_MAX on Linux.
uint32_t PlatPathLimit();
// 1 when both paths name one existing file (the same file, not two equal ones), else 0.
int PlatSameFile(const char* a, const char* b);

// ---- Errors ----------------------------------------------------------------------------------
// Why the last failing call of this interface on this thread failed: the system's own code
// (GetLastError on Windows, errno on Linux), or PlatErrorNotRegularFile.
enum : uint32_t {
  PlatErrorNotRegularFile = 0x20000001u,  // codes of the application's range on Windows
  PlatErrorPathTooLong = 0x20000002u,     // no room for the path, or for a name beside it
  PlatErrorSizeChanged = 0x20000003u,     // a file read whole held more or fewer bytes than its size
};
uint32_t PlatLastError();
// The system's text for `error`, NUL-terminated in `out` (`size` bytes, size >= 1), without a
// final period or line end.
void PlatErrorText(uint32_t error, char* out, uint32_t size);

// ---- Text ------------------------------------------------------------------------------------
// lstrcmpiA: 0 when the two strings are equal without regard to letter case, else the sign of
// their order. Double-byte characters compare whole.
int32_t PlatCompareNoCase(const char* a, const char* b);
// IsDBCSLeadByte for the system's code page 932: 0x81 to 0x9F and 0xE0 to 0xFC.
int PlatIsLeadByte(uint8_t c);
// The folded form of a code page 932 name: two names are equal by the rule lstrcmpiA follows
// for code page 932 exactly when their folded forms are equal byte for byte. Letters of either
// case (ASCII, fullwidth, Greek, Cyrillic, Roman numerals) fold to the capital, and a character
// that the code page encodes twice (the NEC and IBM extensions) to one of its codes. Every
// character keeps its length, so `out` needs strlen(name) + 1 bytes; a byte that is not part of
// a valid character is kept as it is. The same code on every backend.
void PlatFoldName(const char* name, char* out);

// ---- Memory ----------------------------------------------------------------------------------
// A fixed block from the global heap (GlobalAlloc with GMEM_FIXED), owned by the caller; none on
// failure. A request for 0 bytes still returns a block that PlatFree accepts.
void* PlatAlloc(uint32_t size);
void PlatFree(void* block);

// ---- Volumes ---------------------------------------------------------------------------------
// Drive types, with the values GetDriveTypeA gives.
enum : uint32_t {
  PlatDriveUnknown = 0,
  PlatDriveNoRoot = 1,
  PlatDriveRemovable = 2,
  PlatDriveFixed = 3,
  PlatDriveRemote = 4,
  PlatDriveCdrom = 5,
  PlatDriveRamdisk = 6,
};
uint32_t PlatGetDriveType(const char* root);
// GetDiskFreeSpaceA: the volume's geometry, in clusters.
int PlatGetDiskFreeSpace(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                         uint32_t* freeClusters, uint32_t* totalClusters);

// ---- Libraries -------------------------------------------------------------------------------
// Run-time lookup of an optional system call (LoadLibraryA, GetProcAddress, FreeLibrary).
PlatLibrary PlatLoadLibrary(const char* name);
PlatProc PlatFindProc(PlatLibrary library, const char* name);
void PlatFreeLibrary(PlatLibrary library);
// Calls a PlatProc found under the name "GetDiskFreeSpaceExA". `totalFree` may be null.
int PlatCallDiskFreeSpaceEx(PlatProc proc, const char* root, uint64_t* freeToCaller,
                            uint64_t* total, uint64_t* totalFree);

// ---- Profile files ---------------------------------------------------------------------------
// GetPrivateProfileStringA: copies the value of `key` in `section` of `file` into `out` (`size`
// bytes, size >= 1), NUL-terminated, and returns the number of bytes before the NUL. Names match
// without regard to case; blanks around the value and one pair of enclosing quotes are removed; a
// longer value is cut to size-1 bytes. A missing file, section or key gives `def`, and 0 when
// `def` is empty.
uint32_t PlatGetProfileString(const char* section, const char* key, const char* def, char* out,
                              uint32_t size, const char* file);

// ---- User interface --------------------------------------------------------------------------
// Message box styles and answers, with the values Windows gives them.
enum : uint32_t {
  PlatMbOk = 0x00,
  PlatMbOkCancel = 0x01,
  PlatMbIconError = 0x10,
};
enum : int32_t {
  PlatIdOk = 1,
  PlatIdCancel = 2,
};
// A modal message box (MessageBoxA); returns the answer. It runs a message loop of its own, in
// which the owner's messages are still delivered.
int32_t PlatMessageBox(PlatWindow owner, const char* text, const char* caption, uint32_t style);

// Top-level windows. Class names and titles match without regard to case. PlatFindDialogWindow
// looks for a window of the system's dialog class (atom 0x8002, which message boxes share).
PlatWindow PlatFindWindow(const char* className, const char* title);
PlatWindow PlatFindDialogWindow(const char* title);
enum : int32_t {
  PlatSwShow = 5,
};
int PlatShowWindow(PlatWindow window, int32_t command);
int PlatSetForegroundWindow(PlatWindow window);

// The modal dialog. PlatDialogBox (DialogBoxParamA, no owner) creates the dialog of template
// `templateId` from `module`'s resources, sends it WM_INITDIALOG with `param`, and runs its
// message loop until PlatEndDialog; it returns the value given there, or -1 when the dialog
// cannot be created. The procedure returns the 32-bit truth value that Windows expects of a
// dialog procedure. Message parameters are widened to 64 bits, so no bit of either is lost on a
// 64-bit system.
enum : uint32_t {
  PlatWmSetCursor = 0x0020,
  PlatWmInitDialog = 0x0110,
  PlatWmCommand = 0x0111,
};
typedef int32_t (*PlatDialogProc)(PlatWindow dialog, uint32_t message, uint64_t first,
                                  int64_t second);
int64_t PlatDialogBox(PlatModule module, uint32_t templateId, PlatDialogProc proc, int64_t param);
// Ends the dialog with `result` once the message being handled returns.
int PlatEndDialog(PlatWindow dialog, int64_t result);
int PlatSetWindowText(PlatWindow window, const char* text);
int PlatSetDlgItemText(PlatWindow dialog, int32_t id, const char* text);
PlatWindow PlatGetDlgItem(PlatWindow dialog, int32_t id);
int PlatEnableWindow(PlatWindow window, int32_t enable);
// Returns the window that had the keyboard focus before, or none.
PlatWindow PlatSetFocus(PlatWindow window);
// The system's own cursors (LoadCursorA with no module).
enum : uint32_t {
  PlatIdcArrow = 0x7F00,
  PlatIdcWait = 0x7F02,
};
PlatCursor PlatLoadSystemCursor(uint32_t id);
// Returns the cursor shown before.
PlatCursor PlatSetCursor(PlatCursor cursor);

// ---- Shell -----------------------------------------------------------------------------------
// SHFileOperationA with FO_COPY: `from` and `to` are lists of names, each name NUL-terminated and
// the list ended by a second zero byte. `flags` are the FOF_ bits below. Returns the operation's
// result (0 on success); `anyAborted` receives 1 when the user cancelled, else 0. It shows the
// shell's progress window and runs a message loop of its own.
enum : uint32_t {
  PlatFofNoConfirmation = 0x0010,
  PlatFofNoConfirmMkdir = 0x0200,
  PlatFofNoErrorUi = 0x0400,
};
int32_t PlatShellCopy(PlatWindow owner, const char* from, const char* to, uint32_t flags,
                      int32_t* anyAborted);

// ---- Process ---------------------------------------------------------------------------------
// CoInitialize(NULL): COM as a single-threaded apartment on the calling thread. No result.
void PlatInitCom();
// GetTempPathA: the temporary folder, ending in a backslash, in `out` (`size` bytes). Returns
// its length without the terminator; 0 on failure; when `size` is too small, the size needed
// (terminator included), with `out` not holding the path.
uint32_t PlatGetTempPath(uint32_t size, char* out);
// The module of the running executable (GetModuleHandleA(NULL)).
PlatModule PlatOwnModule();
// GetCurrentProcessId.
uint32_t PlatCurrentProcessId();
// Fills `out` with `size` bytes that cannot be guessed from outside the process, for names that a
// neighbour must not be able to plant a file or a link under beforehand.
void PlatRandom(void* out, uint32_t size);

// ---- Resources -------------------------------------------------------------------------------
// FindResourceA with a numeric identifier and a type given by name, SizeofResource,
// LoadResource, LockResource. The locked bytes stay valid as long as the module is loaded and
// are never freed. Each returns none (or 0) on failure.
PlatResource PlatFindResource(PlatModule module, uint32_t id, const char* type);
uint32_t PlatSizeofResource(PlatModule module, PlatResource resource);
PlatResourceData PlatLoadResource(PlatModule module, PlatResource resource);
const void* PlatLockResource(PlatResourceData data);

// ---- Registry (read only) --------------------------------------------------------------------
// Unlike the rest of this interface, these return the Windows error code: 0 on success.
enum : int32_t {
  PlatErrorSuccess = 0,
  PlatErrorFileNotFound = 2,
  PlatErrorMoreData = 234,  // the value does not fit the buffer; `size` says how much it needs
};
constexpr uint32_t PlatKeyRead = 0x20019;  // KEY_READ
// RegOpenKeyExA under HKEY_CURRENT_USER with options 0.
int32_t PlatRegOpenCurrentUserKey(const char* path, uint32_t access, PlatKey* key);
// RegQueryValueExA without the value type: copies the value's bytes into `data`, which has room
// for *size bytes, and sets *size to the value's length. A string value is not guaranteed to end
// in a zero byte within *size.
int32_t PlatRegQueryValue(PlatKey key, const char* name, void* data, uint32_t* size);
void PlatRegCloseKey(PlatKey key);

#endif
