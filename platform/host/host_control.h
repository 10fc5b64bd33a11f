// Test controls of the Linux stand-in for the platform interface.
//
// The stand-in simulates what the logic needs of Windows: drive letters mapped to folders with a
// drive type and a free-space figure, the creation time that Linux file systems do not keep,
// message boxes answered from a script and recorded, and injected write failures. Tests set it up
// with these calls and read what the logic did. Only the host backend provides them; code that
// calls them builds for the host alone.
//
// Paths: "X:rest" with a mapped letter X becomes the mapped folder followed by rest; any other
// path is used as it stands. In both, every backslash becomes a slash. A path with an unmapped
// drive letter names nothing.
#ifndef PLATFORM_HOST_HOST_CONTROL_H
#define PLATFORM_HOST_HOST_CONTROL_H

#include <stdint.h>

#include <string>
#include <vector>

#include "platform/platform.h"

// Forgets every mapping and injected failure, and the recorded message boxes.
void HostReset();

// Maps drive `letter` (A to Z, either case) to `folder`, with a drive type and the bytes free to
// the caller (also reported as the total free bytes); the total size is `totalBytes`.
void HostMapDrive(char letter, const std::string& folder, uint32_t driveType, uint64_t freeBytes,
                  uint64_t totalBytes = 1ull << 40);
void HostSetFreeBytes(char letter, uint64_t freeBytes);
// Whether "kernel32.dll" offers GetDiskFreeSpaceExA (default yes), and whether calling it fails.
void HostSetFreeSpaceExAvailable(bool available);
void HostSetFreeSpaceExFails(bool fails);
// How many times the library lookup of GetDiskFreeSpaceExA has run since the reset.
int HostFreeSpaceExLookups();

// The native path a platform path names ("" when it names nothing).
std::string HostNativePath(const char* path);

// Makes the next `count` PlatWriteFile calls fail after writing `bytesBefore` bytes each.
void HostFailNextWrites(int count, uint32_t bytesBefore = 0);
// Makes the next `count` PlatSetFileTimes calls fail.
void HostFailNextSetTimes(int count);
// Makes the next `count` PlatAlloc calls fail.
void HostFailNextAllocs(int count);

// Message boxes are recorded by platform/box_recorder.h, which the host backend includes.

#endif
