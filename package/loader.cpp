// Loading the package directory. Beyond the header's own fields, the loader checks what later
// readers take on trust, so that a loaded directory is safe to walk: the block size fits 32 bits,
// the directory lies inside the package, a compressed directory yields exactly its entries, every
// name ends within its field, and the members fit between the header and the directory.
#include <string.h>

#include "package/decompress.h"
#include "package/le.h"
#include "package/package.h"
#include "platform/platform.h"

Package ThePackage;

namespace {

// Checks the header against the package's total size; on success `blockSize` is the size of the
// directory block.
PackageStatus CheckHeader(const PackageHeader& header, uint64_t total, uint32_t* blockSize) {
  const uint64_t entryBytes = static_cast<uint64_t>(header.entryCount) * kPackageEntrySize;
  const uint64_t size = kPackageHeaderSize + entryBytes;
  if (size > 0xFFFFFFFFull) return PackageBadDirectory;
  if (header.directoryOffset < kPackageHeaderSize || header.directoryOffset > total) {
    return PackageBadDirectory;
  }
  const uint64_t available = total - header.directoryOffset;
  if (header.flags & kPackageDirectoryCompressed) {
    // A directory that claims more than its stream could yield is refused before its block is
    // allocated.
    if (entryBytes > MaxDecodedSize(static_cast<uint32_t>(available))) {
      return PackageBadDirectory;
    }
  } else if (entryBytes > available) {
    return PackageBadDirectory;
  }
  *blockSize = static_cast<uint32_t>(size);
  return PackageOk;
}

// Turns the raw entries that follow the header in `block` into records, in place, and checks
// them.
PackageStatus FinishDirectory(uint8_t* block, const PackageHeader& header) {
  uint64_t dataEnd = kPackageHeaderSize;
  for (uint32_t i = 0; i < header.entryCount; i++) {
    uint8_t* raw = block + kPackageHeaderSize + static_cast<size_t>(i) * kPackageEntrySize;
    PackageEntry entry;
    DecodePackageEntry(raw, &entry);
    if (memchr(entry.name, 0, sizeof entry.name) == nullptr) return PackageBadName;
    dataEnd += PackageSpan(entry.storedSize);
    memcpy(raw, &entry, sizeof entry);
  }
  if (dataEnd > header.directoryOffset) return PackageMembersOverlap;
  memcpy(block, &header, sizeof header);
  return PackageOk;
}

PackageDirectory* LoadFromMemory(const uint8_t* image, uint32_t size, PackageStatus* status) {
  if (size < kPackageHeaderSize) {
    *status = PackageTooShort;
    return nullptr;
  }
  PackageHeader header;
  DecodePackageHeader(image, &header);
  uint32_t blockSize = 0;
  *status = CheckHeader(header, size, &blockSize);
  if (*status != PackageOk) return nullptr;
  uint8_t* block = static_cast<uint8_t*>(PlatAlloc(blockSize));
  if (block == nullptr) {
    *status = PackageNoMemory;
    return nullptr;
  }
  const uint8_t* dir = image + header.directoryOffset;
  const uint32_t entryBytes = blockSize - kPackageHeaderSize;
  if (header.flags & kPackageDirectoryCompressed) {
    // The image stays valid for the whole call, so the stream is read in place.
    if (!DecompressBlock(block + kPackageHeaderSize, entryBytes, dir,
                         size - header.directoryOffset, nullptr)) {
      *status = PackageBadStream;
    }
  } else {
    memcpy(block + kPackageHeaderSize, dir, entryBytes);
  }
  if (*status == PackageOk) *status = FinishDirectory(block, header);
  if (*status != PackageOk) {
    PlatFree(block);
    return nullptr;
  }
  return reinterpret_cast<PackageDirectory*>(block);
}

bool ReadExactly(PlatFile file, void* buffer, uint32_t size) {
  uint32_t done = 0;
  return PlatReadFile(file, buffer, size, &done) && done == size;
}

PackageDirectory* LoadFromFile(const char* path, PackageStatus* status) {
  PlatFile file = PlatOpenRead(path);
  if (file == nullptr) {
    *status = PackageCannotOpen;
    return nullptr;
  }
  uint8_t raw[kPackageHeaderSize];
  PackageHeader header;
  uint32_t total = 0;
  uint32_t blockSize = 0;
  uint8_t* block = nullptr;
  uint8_t* stream = nullptr;
  PackageDirectory* result = nullptr;
  *status = PackageReadFailed;
  if (!PlatFileSize(file, &total)) goto done;
  if (total < kPackageHeaderSize) {
    *status = PackageTooShort;
    goto done;
  }
  if (!ReadExactly(file, raw, sizeof raw)) goto done;
  DecodePackageHeader(raw, &header);
  if (header.magic != kPackageMagic) {
    *status = PackageBadMagic;
    goto done;
  }
  *status = CheckHeader(header, total, &blockSize);
  if (*status != PackageOk) goto done;
  *status = PackageReadFailed;
  if (!PlatSeekFile(file, header.directoryOffset)) goto done;
  *status = PackageNoMemory;
  block = static_cast<uint8_t*>(PlatAlloc(blockSize));
  if (block == nullptr) goto done;
  if (header.flags & kPackageDirectoryCompressed) {
    const uint32_t streamSize = total - header.directoryOffset;
    stream = static_cast<uint8_t*>(PlatAlloc(streamSize));
    if (stream == nullptr) goto done;
    *status = PackageReadFailed;
    if (!ReadExactly(file, stream, streamSize)) goto done;
    *status = PackageBadStream;
    if (!DecompressBlock(block + kPackageHeaderSize, blockSize - kPackageHeaderSize, stream,
                         streamSize, nullptr)) {
      goto done;
    }
  } else {
    *status = PackageReadFailed;
    if (!ReadExactly(file, block + kPackageHeaderSize, blockSize - kPackageHeaderSize)) goto done;
  }
  *status = FinishDirectory(block, header);
  if (*status == PackageOk) {
    result = reinterpret_cast<PackageDirectory*>(block);
    block = nullptr;
  }
done:
  PlatFree(stream);
  PlatFree(block);
  PlatCloseFile(file);
  return result;
}

}  // namespace

PackageDirectory* LoadPackageDirectoryStatus(const void* source, uint32_t size,
                                             PackageStatus* status) {
  PackageStatus ignored;
  if (status == nullptr) status = &ignored;
  if (source == nullptr) {
    *status = PackageCannotOpen;
    return nullptr;
  }
  if (size != 0) return LoadFromMemory(static_cast<const uint8_t*>(source), size, status);
  return LoadFromFile(static_cast<const char*>(source), status);
}

PackageDirectory* LoadPackageDirectory(const void* source, uint32_t size) {
  return LoadPackageDirectoryStatus(source, size, nullptr);
}

const char* PackageStatusText(PackageStatus status) {
  switch (status) {
    case PackageOk:
      return "ok";
    case PackageCannotOpen:
      return "cannot open the file";
    case PackageReadFailed:
      return "cannot read the file";
    case PackageTooShort:
      return "shorter than a package header";
    case PackageBadMagic:
      return "not a package (no \"XRA\" header)";
    case PackageBadDirectory:
      return "the directory does not lie inside the package";
    case PackageNoMemory:
      return "out of memory";
    case PackageBadStream:
      return "the compressed directory is malformed";
    case PackageBadName:
      return "a member name does not end within its field";
    case PackageMembersOverlap:
      return "the members run into the directory";
  }
  return "unknown package status";
}

void DecodePackageHeader(const uint8_t raw[kPackageHeaderSize], PackageHeader* header) {
  header->magic = Load32(raw);
  header->flags = Load32(raw + 4);
  header->directoryOffset = Load32(raw + 8);
  header->entryCount = Load32(raw + 12);
}

void DecodePackageEntry(const uint8_t raw[kPackageEntrySize], PackageEntry* entry) {
  memcpy(entry->name, raw, sizeof entry->name);
  entry->flags = raw[15];
  entry->time = static_cast<uint64_t>(Load32(raw + 16)) |
                (static_cast<uint64_t>(Load32(raw + 20)) << 32);
  entry->size = Load32(raw + 24);
  entry->storedSize = Load32(raw + 28);
}

void EncodePackageHeader(const PackageHeader& header, uint8_t raw[kPackageHeaderSize]) {
  Store32(raw, header.magic);
  Store32(raw + 4, header.flags);
  Store32(raw + 8, header.directoryOffset);
  Store32(raw + 12, header.entryCount);
}

void EncodePackageEntry(const PackageEntry& entry, uint8_t raw[kPackageEntrySize]) {
  memcpy(raw, entry.name, sizeof entry.name);
  raw[15] = entry.flags;
  Store32(raw + 16, static_cast<uint32_t>(entry.time));
  Store32(raw + 20, static_cast<uint32_t>(entry.time >> 32));
  Store32(raw + 24, entry.size);
  Store32(raw + 28, entry.storedSize);
}
