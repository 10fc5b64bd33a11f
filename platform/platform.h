// The narrow interface between the updater's logic and the operating system.
//
// Contract: every call takes and returns fixed-width values, NUL-terminated byte strings
// (code page 932 on Windows, raw bytes on the host stand-in) and opaque handles. Results follow
// the system's convention: 1 (or a handle, or a block) for success, 0 (or none) for failure,
// unless a call says otherwise. Nothing here shows anything to the user except PlatMessageBox,
// and nothing keeps state the caller can see between calls except open handles.
//
// Two backends implement it: platform/win32 with the real Windows calls, and platform/host, the
// Linux stand-in used by the tests (its test controls are in platform/host/host_control.h).
#ifndef PLATFORM_PLATFORM_H
#define PLATFORM_PLATFORM_H

#include <stdint.h>

// Opaque handles. A handle is none when it is null.
typedef struct PlatFileRecord* PlatFile;
typedef struct PlatWindowRecord* PlatWindow;
typedef struct PlatLibraryRecord* PlatLibrary;
typedef struct PlatProcRecord* PlatProc;

// File attribute bits, with the values Windows gives them.
enum : uint32_t {
  PlatAttrReadOnly = 0x01,
  PlatAttrDirectory = 0x10,
  PlatAttrNormal = 0x80,
  PlatAttrInvalid = 0xFFFFFFFFu,  // the path does not exist (or cannot be examined)
};

// ---- Files -----------------------------------------------------------------------------------
// Opens an existing file for reading, shared for reading (GENERIC_READ, FILE_SHARE_READ,
// OPEN_EXISTING). Returns none on failure.
PlatFile PlatOpenRead(const char* path);
// Creates or empties a file for writing, unshared (GENERIC_WRITE, CREATE_ALWAYS,
// FILE_ATTRIBUTE_NORMAL). Returns none on failure.
PlatFile PlatCreateWrite(const char* path);
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
int PlatReplaceFile(const char* from, const char* to);

// ---- Text ------------------------------------------------------------------------------------
// lstrcmpiA: 0 when the two strings are equal without regard to letter case, else the sign of
// their order. Double-byte characters compare whole.
int32_t PlatCompareNoCase(const char* a, const char* b);
// IsDBCSLeadByte for the system's code page 932: 0x81 to 0x9F and 0xE0 to 0xFC.
int PlatIsLeadByte(uint8_t c);

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
// A modal message box (MessageBoxA); returns the answer.
int32_t PlatMessageBox(PlatWindow owner, const char* text, const char* caption, uint32_t style);

#endif
