// The update package: its records, the process's one Package, and the directory loader.
//
// A package is a 16-byte header, the member data area (each member padded to 16 bytes), and the
// directory of 32-byte entries, stored or as one compressed stream. All integers are
// little-endian on disk; the loader converts them into the fixed-width fields below.
//
// LoadPackageDirectory takes a package image in memory (size not 0) or a package file (size 0,
// source is a path) and returns a new global-heap block holding the header and the uncompressed
// entries, owned by the caller and released with PlatFree; or none when the package cannot be
// read or is malformed. It never reads outside the image or the file, never touches the member
// data, and shows no message.
#ifndef PACKAGE_PACKAGE_H
#define PACKAGE_PACKAGE_H

#include <stddef.h>
#include <stdint.h>

constexpr uint32_t kPackageMagic = 0x00415258u;  // "XRA" and a zero byte, read little-endian
constexpr uint32_t kPackageHeaderSize = 16;
constexpr uint32_t kPackageEntrySize = 32;
constexpr uint32_t kPackageDirectoryCompressed = 0x01;  // header flags bit 0
constexpr uint8_t kEntryCompressed = 0x02;              // entry flags bit 1
constexpr uint32_t kMemberNameMax = 14;                 // bytes before the name's zero byte

struct PackageHeader {
  uint32_t magic;
  uint32_t flags;
  uint32_t directoryOffset;
  uint32_t entryCount;
};
static_assert(sizeof(PackageHeader) == kPackageHeaderSize, "header record is 16 bytes");

struct PackageEntry {
  char name[15];      // NUL-terminated within the field
  uint8_t flags;
  uint64_t time;      // last-write time, 100-ns ticks since 1601-01-01 UTC
  uint32_t size;      // bytes once extracted
  uint32_t storedSize;  // bytes in the data area, before padding to 16
};
static_assert(sizeof(PackageEntry) == kPackageEntrySize, "entry record is 32 bytes");
static_assert(offsetof(PackageEntry, time) == 16 && offsetof(PackageEntry, storedSize) == 28,
              "entry fields at their on-disk offsets");

// The loaded directory: one block of 16 + 32 x header.entryCount bytes, the header followed by
// the entries in directory order.
struct PackageDirectory {
  PackageHeader header;
};

inline PackageEntry* DirectoryEntries(PackageDirectory* directory) {
  return reinterpret_cast<PackageEntry*>(reinterpret_cast<uint8_t*>(directory) +
                                         kPackageHeaderSize);
}

struct Package {
  const uint8_t* image;        // the package bytes, read in place, never freed
  uint32_t imageSize;
  PackageDirectory* directory;  // from LoadPackageDirectory, or none
  PackageEntry* entries;        // DirectoryEntries(directory), or none
};

// The process's one package, filled by start-up and read by member extraction.
extern Package ThePackage;

PackageDirectory* LoadPackageDirectory(const void* source, uint32_t size);

// Why a load failed, for tools that tell their user.
enum PackageStatus : int32_t {
  PackageOk = 0,
  PackageCannotOpen,      // the file cannot be opened
  PackageReadFailed,      // the file cannot be sized, positioned or read in full
  PackageTooShort,        // shorter than the header
  PackageBadMagic,        // a file that does not begin with "XRA" and a zero byte
  PackageBadDirectory,    // the directory does not lie inside the package or is too large
  PackageNoMemory,        // a block cannot be allocated
  PackageBadStream,       // the compressed directory is malformed
  PackageBadName,         // an entry's name does not end within its field
  PackageMembersOverlap,  // the members run into the directory
};
PackageDirectory* LoadPackageDirectoryStatus(const void* source, uint32_t size,
                                             PackageStatus* status);
const char* PackageStatusText(PackageStatus status);

// Bytes that a member of `storedSize` takes in the data area: rounded up to 16.
inline uint64_t PackageSpan(uint32_t storedSize) {
  return (static_cast<uint64_t>(storedSize) + 15) & ~static_cast<uint64_t>(15);
}

// Little-endian record decoding, shared with the package writer and the tools.
void DecodePackageHeader(const uint8_t raw[kPackageHeaderSize], PackageHeader* header);
void DecodePackageEntry(const uint8_t raw[kPackageEntrySize], PackageEntry* entry);
void EncodePackageHeader(const PackageHeader& header, uint8_t raw[kPackageHeaderSize]);
void EncodePackageEntry(const PackageEntry& entry, uint8_t raw[kPackageEntrySize]);

#endif
