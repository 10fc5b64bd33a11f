// xra list, extract, test and decode.
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "package/decompress.h"
#include "package/member.h"
#include "package/package.h"
#include "package/wholefile.h"
#include "platform/platform.h"
#include "tools/xra/xra.h"

namespace {

// A package read whole into memory with its directory loaded.
struct LoadedPackage {
  std::vector<uint8_t> image;
  PackageDirectory* directory = nullptr;
  ~LoadedPackage() { PlatFree(directory); }
  uint32_t count() const { return directory->header.entryCount; }
  const PackageEntry& entry(uint32_t i) const { return DirectoryEntries(directory)[i]; }
};

bool LoadWhole(const std::string& path, LoadedPackage* package) {
  if (!ReadFileBytes(path, &package->image)) {
    Fail("%s: cannot read the file", path.c_str());
    return false;
  }
  PackageStatus status = PackageOk;
  if (package->image.size() < kPackageHeaderSize) {
    status = PackageTooShort;
  } else {
    PackageHeader header;
    DecodePackageHeader(package->image.data(), &header);
    if (header.magic != kPackageMagic) status = PackageBadMagic;
  }
  if (status == PackageOk) {
    package->directory = LoadPackageDirectoryStatus(
        package->image.data(), static_cast<uint32_t>(package->image.size()), &status);
  }
  if (package->directory == nullptr) {
    Fail("%s: %s", path.c_str(), PackageStatusText(status));
    return false;
  }
  return true;
}

std::string EntryName(const PackageEntry& entry) { return std::string(entry.name); }

// The name for a table column of `width` cells. A terminal shows a double-byte character of code
// page 932 in two cells and a single byte in one, so the stored name's length in bytes is its
// width whatever encoding the terminal uses.
std::string PaddedName(const PackageEntry& entry, size_t width) {
  const size_t cells = strlen(entry.name);
  return NameFromPackage(EntryName(entry)) + std::string(cells < width ? width - cells : 0, ' ');
}

const char* MethodName(const PackageEntry& entry) {
  return (entry.flags & kEntryCompressed) ? "compressed" : "stored";
}

// Expands member `index`; on failure says why (naming the package and the member) and returns
// false.
bool Expand(const std::string& path, const LoadedPackage& package, uint32_t index,
            std::vector<uint8_t>* content) {
  const PackageEntry& entry = package.entry(index);
  void* block = nullptr;
  MemberStatus status;
  DecodeStatus decodeStatus;
  const uint8_t* data = MemberContent(package.image.data(),
                                      static_cast<uint32_t>(package.image.size()), entry,
                                      MemberOffset(package.directory, index), &block, &status,
                                      &decodeStatus);
  if (data == nullptr) {
    const std::string name = NameFromPackage(EntryName(entry));
    switch (status) {
      case MemberOutsideImage:
        Fail("%s: %s: the member's data runs past the end of the package", path.c_str(),
             name.c_str());
        break;
      case MemberSizeMismatch:
        Fail("%s: %s: stored member of %" PRIu32 " bytes has a stored size of %" PRIu32,
             path.c_str(), name.c_str(), entry.size, entry.storedSize);
        break;
      case MemberNoMemory:
        Fail("%s: %s: out of memory for %" PRIu32 " bytes", path.c_str(), name.c_str(),
             entry.size);
        break;
      default:
        Fail("%s: %s: %s", path.c_str(), name.c_str(), DecodeStatusText(decodeStatus));
        break;
    }
    return false;
  }
  content->assign(data, data + entry.size);
  PlatFree(block);
  return true;
}

const char kListHelp[] =
    "usage: xra list [--tsv] PACKAGE\n"
    "\n"
    "Shows the members of PACKAGE in directory order: name, size, stored size, method\n"
    "(stored or compressed) and last-write time in UTC.\n"
    "\n"
    "  --tsv   one line per member, fields separated by one tab, no header:\n"
    "          name, size, stored size, 'stored' or 'compressed', and the time as\n"
    "          YYYY-MM-DDTHH:MM:SS.fffffffZ (all seven digits of the 100-ns ticks)\n"
    "\n"
    "Names are shown in the terminal's encoding. Reads only the header and the directory.\n";

const char kExtractHelp[] =
    "usage: xra extract PACKAGE [-C DIR] [MEMBER...]\n"
    "\n"
    "Writes the members of PACKAGE into DIR (default: the current folder), each with its\n"
    "stored last-write time. With MEMBER names, only those (matched without regard to case);\n"
    "otherwise all, where of two members with equal names only the first is written, as the\n"
    "updater would use it. Every file is written whole and then put in place, so a failure\n"
    "never leaves a half-written file.\n"
    "\n"
    "Refuses, before writing anything, a name asked for that the package lacks and any member\n"
    "name that is not a plain file name (empty, '.' or '..', or holding '/', '\\', ':' or a\n"
    "control character).\n";

const char kTestHelp[] =
    "usage: xra test PACKAGE\n"
    "\n"
    "Expands every member of PACKAGE and checks that it yields exactly its size. Prints one\n"
    "line per member and a summary; exits with 1 when any member fails.\n";

const char kDecodeHelp[] =
    "usage: xra decode STREAM OUT [--size N]\n"
    "\n"
    "Expands one raw compressed stream (the format of a compressed member) from the file\n"
    "STREAM into the file OUT. With --size, the stream must yield exactly N bytes.\n";

}  // namespace

int CommandList(int argc, char** argv) {
  bool tsv = false;
  const char* path = nullptr;
  for (int i = 1; i < argc; i++) {
    if (IsHelp(argv[i])) {
      fputs(kListHelp, stdout);
      return kExitOk;
    } else if (strcmp(argv[i], "--tsv") == 0) {
      tsv = true;
    } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
      return UsageError("list", "unknown option '%s'", argv[i]);
    } else if (path == nullptr) {
      path = argv[i];
    } else {
      return UsageError("list", "more than one package given");
    }
  }
  if (path == nullptr) return UsageError("list", "no package given");

  PackageStatus status = PackageOk;
  PackageDirectory* directory = LoadPackageDirectoryStatus(path, 0, &status);
  if (directory == nullptr) {
    Fail("%s: %s", path, PackageStatusText(status));
    return kExitData;
  }
  const PackageEntry* entries = DirectoryEntries(directory);
  const uint32_t count = directory->header.entryCount;
  uint64_t totalSize = 0, totalStored = 0;
  if (!tsv) printf("%-16s %12s %12s  %-10s  %s\n", "Name", "Size", "Stored", "Method",
                   "Modified (UTC)");
  for (uint32_t i = 0; i < count; i++) {
    const PackageEntry& e = entries[i];
    const std::string name = NameFromPackage(EntryName(e));
    const std::string time = FormatFileTime(e.time);
    if (tsv) {
      printf("%s\t%" PRIu32 "\t%" PRIu32 "\t%s\t%s\n", name.c_str(), e.size, e.storedSize,
             MethodName(e), time.c_str());
    } else {
      printf("%s %12" PRIu32 " %12" PRIu32 "  %-10s  %.10s %.8s\n", PaddedName(e, 16).c_str(), e.size,
             e.storedSize, MethodName(e), time.c_str(), time.c_str() + 11);
    }
    totalSize += e.size;
    totalStored += e.storedSize;
  }
  if (!tsv) {
    printf("%" PRIu32 " member%s, %" PRIu64 " bytes, %" PRIu64 " stored, directory %s\n", count,
           count == 1 ? "" : "s", totalSize, totalStored,
           (directory->header.flags & kPackageDirectoryCompressed) ? "compressed" : "stored");
  }
  PlatFree(directory);
  return kExitOk;
}

int CommandExtract(int argc, char** argv) {
  const char* path = nullptr;
  std::string folder = ".";
  std::vector<std::string> wanted;
  bool options = true;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    if (options && IsHelp(a)) {
      fputs(kExtractHelp, stdout);
      return kExitOk;
    } else if (options && strcmp(a, "--") == 0) {
      options = false;
    } else if (options && strcmp(a, "-C") == 0) {
      if (i + 1 >= argc) return UsageError("extract", "-C needs a folder");
      folder = argv[++i];
    } else if (options && a[0] == '-' && a[1] != '\0') {
      return UsageError("extract", "unknown option '%s'", a);
    } else if (path == nullptr) {
      path = a;
    } else {
      wanted.push_back(a);
    }
  }
  if (path == nullptr) return UsageError("extract", "no package given");
  const uint32_t folderAttributes = PlatGetFileAttributes(folder.c_str());
  if (folderAttributes == PlatAttrInvalid || !(folderAttributes & PlatAttrDirectory)) {
    Fail("%s: no such folder", folder.c_str());
    return kExitData;
  }

  LoadedPackage package;
  if (!LoadWhole(path, &package)) return kExitData;

  // Choose the members, then check every name before anything is written.
  std::vector<uint32_t> chosen;
  if (wanted.empty()) {
    for (uint32_t i = 0; i < package.count(); i++) {
      uint32_t offset;
      if (FindMember(package.directory, package.entry(i).name, &offset) ==
          static_cast<int32_t>(i)) {
        chosen.push_back(i);
      } else {
        Fail("%s: %s: skipped, an earlier member has the same name", path,
             NameFromPackage(EntryName(package.entry(i))).c_str());
      }
    }
  } else {
    for (const std::string& name : wanted) {
      std::string stored;
      uint32_t offset;
      int32_t index = -1;
      if (NameToPackage(name, &stored)) index = FindMember(package.directory, stored.c_str(), &offset);
      if (index < 0) {
        Fail("%s: no member named '%s'", path, name.c_str());
        return kExitData;
      }
      chosen.push_back(static_cast<uint32_t>(index));
    }
  }
  for (uint32_t index : chosen) {
    const std::string name = EntryName(package.entry(index));
    if (const char* problem = PlainNameProblem(name)) {
      Fail("%s: refusing member '%s': %s", path, NameFromPackage(name).c_str(), problem);
      return kExitData;
    }
  }

  for (uint32_t index : chosen) {
    const PackageEntry& entry = package.entry(index);
    std::vector<uint8_t> content;
    if (!Expand(path, package, index, &content)) return kExitData;
    const std::string target = JoinPath(folder, NameFromPackage(EntryName(entry)));
    if (!WriteWholeFile(target.c_str(), content.data(), static_cast<uint32_t>(content.size()),
                        &entry.time)) {
      Fail("%s: cannot write the file", target.c_str());
      return kExitData;
    }
  }
  return kExitOk;
}

int CommandTest(int argc, char** argv) {
  const char* path = nullptr;
  for (int i = 1; i < argc; i++) {
    if (IsHelp(argv[i])) {
      fputs(kTestHelp, stdout);
      return kExitOk;
    } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
      return UsageError("test", "unknown option '%s'", argv[i]);
    } else if (path == nullptr) {
      path = argv[i];
    } else {
      return UsageError("test", "more than one package given");
    }
  }
  if (path == nullptr) return UsageError("test", "no package given");
  LoadedPackage package;
  if (!LoadWhole(path, &package)) return kExitData;
  uint32_t failed = 0;
  for (uint32_t i = 0; i < package.count(); i++) {
    std::vector<uint8_t> content;
    const std::string name = NameFromPackage(EntryName(package.entry(i)));
    if (Expand(path, package, i, &content)) {
      printf("ok      %s %12zu bytes\n", PaddedName(package.entry(i), 16).c_str(), content.size());
    } else {
      printf("FAILED  %s\n", name.c_str());
      failed++;
    }
  }
  printf("%s: %" PRIu32 " member%s tested, %" PRIu32 " failed\n", path, package.count(),
         package.count() == 1 ? "" : "s", failed);
  return failed == 0 ? kExitOk : kExitData;
}

int CommandDecode(int argc, char** argv) {
  std::vector<const char*> paths;
  bool haveSize = false;
  uint32_t size = 0;
  for (int i = 1; i < argc; i++) {
    if (IsHelp(argv[i])) {
      fputs(kDecodeHelp, stdout);
      return kExitOk;
    } else if (strcmp(argv[i], "--size") == 0) {
      if (i + 1 >= argc) return UsageError("decode", "--size needs a number");
      char* end = nullptr;
      const char* text = argv[++i];
      const unsigned long long n = strtoull(text, &end, 10);
      if (*text < '0' || *text > '9' || *end != '\0' || n > 0xFFFFFFFFull) {
        return UsageError("decode", "--size takes a number of bytes below 4 GiB");
      }
      haveSize = true;
      size = static_cast<uint32_t>(n);
    } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
      return UsageError("decode", "unknown option '%s'", argv[i]);
    } else {
      paths.push_back(argv[i]);
    }
  }
  if (paths.size() != 2) return UsageError("decode", "needs STREAM and OUT");
  std::vector<uint8_t> stream;
  if (!ReadFileBytes(paths[0], &stream)) {
    Fail("%s: cannot read the file", paths[0]);
    return kExitData;
  }
  const uint32_t inSize = static_cast<uint32_t>(stream.size());
  std::vector<uint8_t> out;
  DecodeStatus status;
  uint32_t produced = 0;
  if (haveSize) {
    out.resize(size);
    DecompressBlock(out.data(), size, stream.data(), inSize, &status);
    produced = size;
  } else {
    // The output size is unknown: grow the buffer until the stream fits.
    uint64_t capacity = static_cast<uint64_t>(inSize) * 4 + 4096;
    for (;;) {
      if (capacity > 0xFFFFFFFFull) capacity = 0xFFFFFFFFull;
      out.resize(static_cast<size_t>(capacity));
      status = DecodeStream(out.data(), static_cast<uint32_t>(capacity), stream.data(), inSize,
                            &produced, nullptr);
      if (status != DecodeOverrun || capacity == 0xFFFFFFFFull) break;
      capacity *= 2;
    }
  }
  if (status != DecodeOk) {
    Fail("%s: %s", paths[0], DecodeStatusText(status));
    return kExitData;
  }
  if (!WriteWholeFile(paths[1], out.data(), produced, nullptr)) {
    Fail("%s: cannot write the file", paths[1]);
    return kExitData;
  }
  return kExitOk;
}
