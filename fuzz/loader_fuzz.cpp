// The directory loader on arbitrary images: it must never read outside the image, and every
// directory it accepts must be safe to walk and to extract from.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "package/member.h"
#include "package/package.h"
#include "platform/platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 0xFFFFFFFFu) return 0;
  PackageDirectory* d = LoadPackageDirectory(data, static_cast<uint32_t>(size));
  if (d == nullptr) return 0;
  const PackageEntry* entries = DirectoryEntries(d);
  std::vector<uint64_t> offsets(d->header.entryCount);
  MemberOffsets(d, offsets.data());
  for (uint32_t i = 0; i < d->header.entryCount; i++) {
    if (memchr(entries[i].name, 0, sizeof entries[i].name) == nullptr) abort();
    uint32_t offset;
    const int32_t found = FindMember(d, entries[i].name, &offset);
    // The first of equal names, at the offset the one walk gave it.
    if (found < 0 || static_cast<uint32_t>(found) > i || offset != offsets[found]) abort();
    void* block = nullptr;
    MemberStatus status;
    const uint8_t* content = MemberContent(data, static_cast<uint32_t>(size), entries[i],
                                           offsets[i], &block, &status, nullptr);
    if (content != nullptr && entries[i].size > 0) {
      volatile uint8_t sink = content[entries[i].size - 1];
      (void)sink;
    }
    PlatFree(block);
  }
  PlatFree(d);
  return 0;
}
