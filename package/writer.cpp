#include "package/writer.h"

namespace {
// A function, not an expression, so that a 32-bit build does not warn that it cannot fail.
bool Fits32(uint64_t value) { return value <= 0xFFFFFFFFull; }
}  // namespace

std::vector<uint8_t> EncodeDirectory(const std::vector<PackageMemberInput>& members) {
  std::vector<uint8_t> out(members.size() * kPackageEntrySize);
  for (size_t i = 0; i < members.size(); i++) {
    PackageEntry entry = members[i].entry;
    entry.storedSize = static_cast<uint32_t>(members[i].stored.size());
    EncodePackageEntry(entry, &out[i * kPackageEntrySize]);
  }
  return out;
}

bool AssemblePackage(const std::vector<PackageMemberInput>& members,
                     const std::vector<uint8_t>& directory, bool directoryCompressed,
                     std::vector<uint8_t>* image) {
  uint64_t offset = kPackageHeaderSize;
  for (const PackageMemberInput& m : members) {
    if (!Fits32(m.stored.size())) return false;
    offset += PackageSpan(static_cast<uint32_t>(m.stored.size()));
  }
  if (members.size() > 0x07FFFFFFull || !Fits32(offset + directory.size())) return false;
  image->assign(kPackageHeaderSize, 0);
  image->reserve(static_cast<size_t>(offset + directory.size()));
  for (const PackageMemberInput& m : members) {
    image->insert(image->end(), m.stored.begin(), m.stored.end());
    image->resize(static_cast<size_t>(PackageSpan(static_cast<uint32_t>(image->size()))), 0);
  }
  PackageHeader header;
  header.magic = kPackageMagic;
  header.flags = directoryCompressed ? kPackageDirectoryCompressed : 0;
  header.directoryOffset = static_cast<uint32_t>(offset);
  header.entryCount = static_cast<uint32_t>(members.size());
  EncodePackageHeader(header, image->data());
  image->insert(image->end(), directory.begin(), directory.end());
  return true;
}
