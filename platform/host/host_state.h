// Shared state of the host stand-in's translation units. Not for use outside platform/host.
#ifndef PLATFORM_HOST_HOST_STATE_H
#define PLATFORM_HOST_HOST_STATE_H

#include <stdint.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/host/host_control.h"

struct HostDrive {
  std::string folder;
  uint32_t type = PlatDriveUnknown;
  uint64_t freeBytes = 0;
  uint64_t totalBytes = 0;
};

struct HostState {
  std::map<char, HostDrive> drives;  // upper-case letter -> drive
  bool freeSpaceExAvailable = true;
  bool freeSpaceExFails = false;
  int freeSpaceExLookups = 0;
  int failWrites = 0;
  uint32_t failWriteBytesBefore = 0;
  int failSetTimes = 0;
  int failAllocs = 0;
  // Creation times, which Linux file systems do not keep, by (device, inode).
  std::map<std::pair<uint64_t, uint64_t>, uint64_t> creationTimes;
};

HostState& Host();

// Returns the drive that a "X:" prefix of `path` names, or null.
const HostDrive* HostDriveOf(const char* path);

#endif
