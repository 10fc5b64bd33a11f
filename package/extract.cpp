#include "package/extract.h"

#include <stdio.h>
#include <string.h>

#include "package/member.h"
#include "package/package.h"
#include "package/wholefile.h"
#include "platform/platform.h"
#include "updater/shared_state.h"

namespace {

PlatProc gFreeSpaceEx = nullptr;

// Looks GetDiskFreeSpaceExA up until it is found; systems without it fall back on every call.
PlatProc FreeSpaceExProc() {
  if (gFreeSpaceEx == nullptr) {
    PlatLibrary kernel = PlatLoadLibrary("kernel32.dll");
    if (kernel != nullptr) {
      gFreeSpaceEx = PlatFindProc(kernel, "GetDiskFreeSpaceExA");
      PlatFreeLibrary(kernel);
    }
  }
  return gFreeSpaceEx;
}

}  // namespace

int QueryFreeSpace(const char* root, uint64_t* freeToCaller, uint64_t* total,
                   uint64_t* totalFree) {
  PlatProc proc = FreeSpaceExProc();
  if (proc != nullptr && PlatCallDiskFreeSpaceEx(proc, root, freeToCaller, total, totalFree)) {
    return 1;
  }
  uint32_t sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  if (!PlatGetDiskFreeSpace(root, &sectorsPerCluster, &bytesPerSector, &freeClusters,
                            &totalClusters)) {
    return 0;
  }
  // In 64 bits throughout, so that no product of the four counts can wrap.
  const uint64_t cluster = static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector;
  *freeToCaller = freeClusters * cluster;
  *total = totalClusters * cluster;
  if (totalFree != nullptr) *totalFree = *freeToCaller;
  return 1;
}

int ExtractMember(const char* name, const char* destination, int newerOnly) {
  const PackageDirectory* directory = ThePackage.directory;
  uint32_t offset = 0;
  const int32_t index = (directory != nullptr && directory->header.entryCount != 0)
                            ? FindMember(directory, name, &offset)
                            : -1;
  if (index < 0) {
    ReportUpdateError("Can't Find File in Resource !!");
    return 0;
  }
  const PackageEntry& entry = ThePackage.entries[index];
  if (strlen(destination) >= static_cast<size_t>(kPathSize)) return 0;

  // The whole member must fit, whatever the destination already holds. A volume that cannot be
  // queried (a path without a drive letter) is not held against the update.
  char root[3];
  const size_t rootLength = strnlen(destination, 2);
  memcpy(root, destination, rootLength);
  root[rootLength] = '\0';
  uint64_t freeBytes = 0, totalBytes = 0;
  if (QueryFreeSpace(root, &freeBytes, &totalBytes, nullptr) && entry.size > freeBytes) {
    char message[kPathSize];
    snprintf(message, sizeof message,
             "ディスク容量が足りません。%s ドライブに %u バイトの空き容量が必要です", root,
             static_cast<unsigned>(entry.size - freeBytes));
    ReportUpdateError(message);
    return 0;
  }

  void* block = nullptr;
  MemberStatus status;
  const uint8_t* content = MemberContent(ThePackage.image, ThePackage.imageSize, entry, offset,
                                         &block, &status, nullptr);
  if (content == nullptr) {
    if (status == MemberNoMemory) ReportUpdateError("Can't Allocate Memory !!");
    return 0;
  }

  int result = 0;
  const uint32_t attributes = PlatGetFileAttributes(destination);
  const bool exists = attributes != PlatAttrInvalid;
  if (exists && (attributes & PlatAttrDirectory)) goto done;
  if (exists && (attributes & PlatAttrReadOnly)) {
    PlatSetFileAttributes(destination, PlatAttrNormal);
  }
  if (newerOnly == 1 && exists) {
    PlatFile file = PlatOpenRead(destination);
    if (file != nullptr) {
      uint64_t written = 0;
      const bool known = PlatGetFileTimes(file, nullptr, nullptr, &written) != 0;
      PlatCloseFile(file);
      if (known && written > entry.time) {
        result = 1;
        goto done;
      }
    }
  }
  result = WriteWholeFile(destination, content, entry.size, &entry.time);
done:
  PlatFree(block);
  return result;
}
