#include "package/member.h"

#include "package/decompress.h"
#include "platform/platform.h"

namespace {
const PackageEntry* EntriesOf(const PackageDirectory* directory) {
  return DirectoryEntries(const_cast<PackageDirectory*>(directory));
}
}  // namespace

int32_t FindMember(const PackageDirectory* directory, const char* name, uint32_t* offset) {
  const PackageEntry* entries = EntriesOf(directory);
  uint64_t at = kPackageHeaderSize;
  for (uint32_t i = 0; i < directory->header.entryCount; i++) {
    if (PlatCompareNoCase(entries[i].name, name) == 0) {
      // The loader has checked that all members end before the directory, so `at` fits.
      *offset = static_cast<uint32_t>(at);
      return static_cast<int32_t>(i);
    }
    at += PackageSpan(entries[i].storedSize);
  }
  return -1;
}

uint64_t MemberOffset(const PackageDirectory* directory, uint32_t index) {
  const PackageEntry* entries = EntriesOf(directory);
  uint64_t at = kPackageHeaderSize;
  for (uint32_t i = 0; i < index && i < directory->header.entryCount; i++) {
    at += PackageSpan(entries[i].storedSize);
  }
  return at;
}

void MemberOffsets(const PackageDirectory* directory, uint64_t* offsets) {
  const PackageEntry* entries = EntriesOf(directory);
  uint64_t at = kPackageHeaderSize;
  for (uint32_t i = 0; i < directory->header.entryCount; i++) {
    offsets[i] = at;
    at += PackageSpan(entries[i].storedSize);
  }
}

const uint8_t* MemberContent(const uint8_t* image, uint32_t imageSize, const PackageEntry& entry,
                             uint64_t offset, void** block, MemberStatus* status,
                             DecodeStatus* decodeStatus) {
  *block = nullptr;
  if (decodeStatus != nullptr) *decodeStatus = DecodeOk;
  if (offset > imageSize || entry.storedSize > imageSize - offset) {
    *status = MemberOutsideImage;
    return nullptr;
  }
  const uint8_t* data = image + offset;
  if (!(entry.flags & kEntryCompressed)) {
    if (entry.size != entry.storedSize) {
      *status = MemberSizeMismatch;
      return nullptr;
    }
    *status = MemberOk;
    return data;
  }
  if (entry.size > MaxDecodedSize(entry.storedSize)) {
    // Claims more than its stream could hold: refused before a block of that size is allocated.
    if (decodeStatus != nullptr) *decodeStatus = DecodeShort;
    *status = MemberBadStream;
    return nullptr;
  }
  void* out = PlatAlloc(entry.size);
  if (out == nullptr) {
    *status = MemberNoMemory;
    return nullptr;
  }
  if (!DecompressBlock(out, entry.size, data, entry.storedSize, decodeStatus)) {
    PlatFree(out);
    *status = MemberBadStream;
    return nullptr;
  }
  *block = out;
  *status = MemberOk;
  return static_cast<const uint8_t*>(out);
}
