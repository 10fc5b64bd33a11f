// Memory, volumes, library lookup and message boxes of the Linux stand-in, and its test controls.
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "platform/box_recorder.h"
#include "platform/host/host_state.h"
#include "platform/platform.h"

struct PlatLibraryRecord {
  int unused;
};
struct PlatProcRecord {
  int unused;
};

namespace {
PlatLibraryRecord gKernel32;
PlatProcRecord gFreeSpaceEx;

char UpperLetter(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
}  // namespace

HostState& Host() {
  static HostState state;
  return state;
}

const HostDrive* HostDriveOf(const char* path) {
  if (path == nullptr || path[0] == '\0' || path[1] != ':') return nullptr;
  auto it = Host().drives.find(UpperLetter(path[0]));
  return it == Host().drives.end() ? nullptr : &it->second;
}

void HostReset() {
  Host() = HostState();
  ClearRecordedBoxes();
}

int HostOpenFiles() { return Host().openFiles; }
int HostLiveBlocks() { return Host().liveBlocks; }
int HostOpenKeys() { return Host().openKeys; }
int HostComInits() { return Host().comInits; }

std::string HostLower(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

void HostMapDrive(char letter, const std::string& folder, uint32_t driveType, uint64_t freeBytes,
                  uint64_t totalBytes) {
  HostDrive drive;
  drive.folder = folder;
  drive.type = driveType;
  drive.freeBytes = freeBytes;
  drive.totalBytes = totalBytes;
  Host().drives[UpperLetter(letter)] = drive;
}

void HostSetFreeBytes(char letter, uint64_t freeBytes) {
  Host().drives[UpperLetter(letter)].freeBytes = freeBytes;
}

void HostSetDriveMedium(char letter, const std::string& folder) {
  Host().drives[UpperLetter(letter)].folder = folder;
}

void HostSetFreeSpaceExAvailable(bool available) { Host().freeSpaceExAvailable = available; }
void HostSetFreeSpaceExFails(bool fails) { Host().freeSpaceExFails = fails; }
void HostSetFreeSpaceUnknown(bool unknown) { Host().freeSpaceUnknown = unknown; }
int HostFreeSpaceExLookups() { return Host().freeSpaceExLookups; }

void HostFailNextWrites(int count, uint32_t bytesBefore) {
  Host().failWrites = count;
  Host().failWriteBytesBefore = bytesBefore;
}
void HostFailNextSetTimes(int count) { Host().failSetTimes = count; }
void HostFailNextAllocs(int count) { Host().failAllocs = count; }

void* PlatAlloc(uint32_t size) {
  HostState& h = Host();
  if (h.failAllocs > 0) {
    h.failAllocs--;
    return nullptr;
  }
  void* block = malloc(size == 0 ? 1 : size);
  if (block != nullptr) h.liveBlocks++;
  return block;
}

void PlatFree(void* block) {
  if (block == nullptr) return;
  Host().liveBlocks--;
  free(block);
}

uint32_t PlatGetDriveType(const char* root) {
  const HostDrive* drive = HostDriveOf(root);
  if (drive == nullptr) return PlatDriveNoRoot;
  return drive->type;
}

int PlatGetDiskFreeSpace(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                         uint32_t* freeClusters, uint32_t* totalClusters) {
  const HostDrive* drive = HostDriveOf(root);
  if (drive == nullptr || drive->folder.empty() || Host().freeSpaceUnknown) return 0;
  // The old call reports at most 2^32-1 clusters; a volume beyond that shows as full-sized.
  const uint64_t cluster = 4096;
  *sectorsPerCluster = 8;
  *bytesPerSector = 512;
  *freeClusters = static_cast<uint32_t>(std::min<uint64_t>(drive->freeBytes / cluster, 0xFFFFFFFFu));
  *totalClusters =
      static_cast<uint32_t>(std::min<uint64_t>(drive->totalBytes / cluster, 0xFFFFFFFFu));
  return 1;
}

PlatLibrary PlatLoadLibrary(const char* name) {
  if (name == nullptr || strcasecmp(name, "kernel32.dll") != 0) return nullptr;
  return &gKernel32;
}

PlatProc PlatFindProc(PlatLibrary library, const char* name) {
  if (library != &gKernel32 || strcmp(name, "GetDiskFreeSpaceExA") != 0) return nullptr;
  Host().freeSpaceExLookups++;
  return Host().freeSpaceExAvailable ? &gFreeSpaceEx : nullptr;
}

void PlatFreeLibrary(PlatLibrary) {}

int PlatCallDiskFreeSpaceEx(PlatProc proc, const char* root, uint64_t* freeToCaller,
                            uint64_t* total, uint64_t* totalFree) {
  if (proc != &gFreeSpaceEx || Host().freeSpaceExFails || Host().freeSpaceUnknown) return 0;
  const HostDrive* drive = HostDriveOf(root);
  if (drive == nullptr || drive->folder.empty()) return 0;
  *freeToCaller = drive->freeBytes;
  *total = drive->totalBytes;
  if (totalFree != nullptr) *totalFree = drive->freeBytes;
  return 1;
}

