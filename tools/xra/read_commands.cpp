// xra list, extract, test and decode.
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <unordered_map>
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
  std::vector<uint64_t> offsets;  // each member's data offset, from one walk of the directory
  ~LoadedPackage() { PlatFree(directory); }
  uint32_t count() const { return directory->header.entryCount; }
  const PackageEntry& entry(uint32_t i) const { return DirectoryEntries(directory)[i]; }
};

bool LoadWhole(const std::string& path, LoadedPackage* package) {
  uint32_t error = 0;
  if (!ReadFileBytes(path, &package->image, &error)) {
    Fail("%s: cannot read the file: %s", path.c_str(), Reason(error).c_str());
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
  package->offsets.resize(package->count());
  MemberOffsets(package->directory, package->offsets.data());
  return true;
}

std::string EntryName(const PackageEntry& entry) { return std::string(entry.name); }

// The name for a table column of `width` cells. A terminal shows a double-byte character of code
// page 932 in two cells and a single byte in one, so the stored name's length in bytes is its
// width whatever encoding the terminal uses; each byte shown escaped takes the four cells of its
// \xNN instead of one. A name shown wholly escaped is ASCII, a cell a byte.
std::string PaddedName(const PackageEntry& entry, size_t width) {
  const std::string name = EntryName(entry);
  const std::string shown = ShowName(name);
  std::string native;
  const size_t cells =
      NameFromPackage(name, &native) ? name.size() + (shown.size() - native.size()) : shown.size();
  return shown + std::string(cells < width ? width - cells : 0, ' ');
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
                                      package.offsets[index], &block, &status,
                                      &decodeStatus);
  if (data == nullptr) {
    const std::string name = ShowName(EntryName(entry));
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

const char kNamesShown[] =
    "Names are shown in the terminal's encoding. A control character or a backslash in a name\n"
    "is shown as \\xNN (its byte in hex), and so is every byte outside printable ASCII of a\n"
    "name that has no form in that encoding, so no name can break a line, a field or the\n"
    "terminal.\n";

const char kListHelp[] =
    "usage: xra list [--tsv] [--] PACKAGE\n"
    "\n"
    "Shows the members of PACKAGE in directory order: name, size, stored size, method\n"
    "(stored or compressed) and last-write time in UTC.\n"
    "\n"
    "  --tsv   one line per member, fields separated by one tab, no header:\n"
    "          name, size, stored size, 'stored' or 'compressed', and the time as\n"
    "          YYYY-MM-DDTHH:MM:SS.fffffffZ (all seven digits of the 100-ns ticks)\n"
    "\n"
    "Reads only the header and the directory.\n";

const char kExtractHelp[] =
    "usage: xra extract PACKAGE [-C DIR] [--] [MEMBER...]\n"
    "\n"
    "Writes the members of PACKAGE into DIR (default: the current folder), each with its\n"
    "stored last-write time. With MEMBER names, only those (matched without regard to case,\n"
    "as the updater matches them); otherwise all, where of two members with equal names only\n"
    "the first is written, as the updater would use it. Every file is written whole and then\n"
    "put in place, so a failure never leaves a half-written file; a replaced file keeps its\n"
    "permissions.\n"
    "\n"
    "Refuses, before writing anything: a name asked for that the package lacks; a member name\n"
    "that Windows could not write as a plain file name (empty, '.' or '..', not valid code page\n"
    "932, holding '/', '\\', ':', '<', '>', '\"', '|', '?', '*' or a control character, ending\n"
    "in a dot or a space, or a device name such as CON or COM1) or that has no form in the\n"
    "terminal's encoding; a member whose data is damaged; a member time of 2^63 ticks or more (after the year 30828), which no\n"
    "file can be given (a file system with a smaller range, such as ext4 after 2446, clamps a\n"
    "time beyond it); two members that would be one file; and writing over PACKAGE itself.\n";

const char kTestHelp[] =
    "usage: xra test [--] PACKAGE\n"
    "\n"
    "Expands every member of PACKAGE and checks that it yields exactly its size. Prints one\n"
    "line per member and a summary; exits with 1 when any member fails.\n";

const char kDecodeHelp[] =
    "usage: xra decode [--size N] [--] STREAM OUT\n"
    "\n"
    "Expands one raw compressed stream (the format of a compressed member) from the file\n"
    "STREAM into the file OUT. With --size, the stream must yield exactly N bytes.\n";

}  // namespace

int CommandList(int argc, char** argv) {
  bool tsv = false, options = true;
  const char* path = nullptr;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    if (options && IsHelp(a)) {
      printf("%s\n%s", kListHelp, kNamesShown);
      return kExitOk;
    } else if (options && strcmp(a, "--") == 0) {
      options = false;
    } else if (options && strcmp(a, "--tsv") == 0) {
      tsv = true;
    } else if (options && a[0] == '-' && a[1] != '\0') {
      return UsageError("list", "unknown option '%s'", a);
    } else if (path == nullptr) {
      path = a;
    } else {
      return UsageError("list", "more than one package given");
    }
  }
  if (path == nullptr) return UsageError("list", "no package given");

  PackageStatus status = PackageOk;
  PackageDirectory* directory = LoadPackageDirectoryStatus(path, 0, &status);
  if (directory == nullptr) {
    if (status == PackageCannotOpen || status == PackageReadFailed) {
      Fail("%s: %s: %s", path, PackageStatusText(status), Reason(PlatLastError()).c_str());
    } else {
      Fail("%s: %s", path, PackageStatusText(status));
    }
    return kExitData;
  }
  const PackageEntry* entries = DirectoryEntries(directory);
  const uint32_t count = directory->header.entryCount;
  uint64_t totalSize = 0, totalStored = 0;
  if (!tsv) printf("%-16s %12s %12s  %-10s  %s\n", "Name", "Size", "Stored", "Method",
                   "Modified (UTC)");
  for (uint32_t i = 0; i < count; i++) {
    const PackageEntry& e = entries[i];
    const std::string time = FormatFileTime(e.time);
    if (tsv) {
      printf("%s\t%" PRIu32 "\t%" PRIu32 "\t%s\t%s\n", ShowName(EntryName(e)).c_str(), e.size,
             e.storedSize, MethodName(e), time.c_str());
    } else {
      printf("%s %12" PRIu32 " %12" PRIu32 "  %-10s  %.10s %.8s\n", PaddedName(e, 16).c_str(),
             e.size, e.storedSize, MethodName(e), time.c_str(), time.c_str() + 11);
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

namespace {

// The folded form of a package name: equal for two names the updater takes for one.
std::string NameKey(const std::string& cp932) {
  std::string key(cp932.size(), '\0');
  PlatFoldName(cp932.c_str(), &key[0]);
  return key;
}

}  // namespace

int CommandExtract(int argc, char** argv) {
  const char* path = nullptr;
  std::string folder = ".";
  std::vector<std::string> wanted;
  bool options = true;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    if (options && IsHelp(a)) {
      printf("%s\n%s", kExtractHelp, kNamesShown);
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
  if (folder.empty()) return UsageError("extract", "-C needs a folder");
  const uint32_t folderAttributes = PlatGetFileAttributes(folder.c_str());
  if (folderAttributes == PlatAttrInvalid) {
    Fail("%s: no such folder: %s", folder.c_str(), Reason(PlatLastError()).c_str());
    return kExitData;
  }
  if (!(folderAttributes & PlatAttrDirectory)) {
    Fail("%s: not a folder", folder.c_str());
    return kExitData;
  }

  LoadedPackage package;
  if (!LoadWhole(path, &package)) return kExitData;

  // The first member of each name, found in one pass: the updater takes the first of equal
  // names, and a walk per member would take time in the square of their number.
  std::unordered_map<std::string, uint32_t> firstOfName;
  firstOfName.reserve(package.count());
  for (uint32_t i = 0; i < package.count(); i++) {
    firstOfName.emplace(NameKey(EntryName(package.entry(i))), i);
  }

  // Choose the members, then check every one before anything is written.
  std::vector<uint32_t> chosen;
  if (wanted.empty()) {
    for (uint32_t i = 0; i < package.count(); i++) {
      if (firstOfName.at(NameKey(EntryName(package.entry(i)))) == i) {
        chosen.push_back(i);
      } else {
        Fail("%s: %s: skipped, an earlier member has the same name", path,
             ShowName(EntryName(package.entry(i))).c_str());
      }
    }
  } else {
    std::vector<bool> taken(package.count(), false);
    for (const std::string& name : wanted) {
      std::string stored;
      auto found = firstOfName.end();
      if (NameToPackage(name, &stored)) found = firstOfName.find(NameKey(stored));
      if (found == firstOfName.end()) {
        Fail("%s: no member named '%s'", path, name.c_str());
        return kExitData;
      }
      if (!taken[found->second]) chosen.push_back(found->second);  // asked for twice: once
      taken[found->second] = true;
    }
  }
  std::vector<std::string> targets;
  std::unordered_map<std::string, uint32_t> byFile;
  for (uint32_t index : chosen) {
    const PackageEntry& entry = package.entry(index);
    const std::string name = EntryName(entry);
    std::string native;
    if (const char* problem = PlainNameProblem(name)) {
      Fail("%s: refusing member '%s': %s", path, ShowName(name).c_str(), problem);
      return kExitData;
    }
    if (!NameFromPackage(name, &native)) {
      Fail("%s: refusing member '%s': the name has no form in the terminal's encoding", path,
           ShowName(name).c_str());
      return kExitData;
    }
    if (entry.time >= kFileTimeLimit) {
      Fail("%s: refusing member '%s': its time (%" PRIu64
           " ticks) is after the year 30828, which no file can be given",
           path, ShowName(name).c_str(), entry.time);
      return kExitData;
    }
    // Two different codes can stand for one character, and a file system may take two names for
    // one: a second member must never overwrite the first.
    const auto clash = byFile.emplace(FileNameKey(native), index);
    if (!clash.second) {
      Fail("%s: refusing member '%s': it would be written to the same file as '%s'", path,
           ShowName(name).c_str(), ShowName(EntryName(package.entry(clash.first->second))).c_str());
      return kExitData;
    }
    targets.push_back(JoinPath(folder, native));
    if (PlatSameFile(targets.back().c_str(), path)) {
      Fail("%s: refusing member '%s': it would be written over the package itself", path,
           ShowName(name).c_str());
      return kExitData;
    }
  }

  // Every member is expanded once before anything is written, so that a damaged one later in
  // the package leaves no folder half extracted.
  for (uint32_t index : chosen) {
    std::vector<uint8_t> content;
    if (!Expand(path, package, index, &content)) return kExitData;
  }
  for (size_t k = 0; k < chosen.size(); k++) {
    const PackageEntry& entry = package.entry(chosen[k]);
    std::vector<uint8_t> content;
    if (!Expand(path, package, chosen[k], &content)) return kExitData;
    uint32_t error = 0;
    if (!WriteWholeFileReason(targets[k].c_str(), content.data(),
                              static_cast<uint32_t>(content.size()), &entry.time, &error)) {
      Fail("%s: cannot write the file: %s", targets[k].c_str(), Reason(error).c_str());
      return kExitData;
    }
  }
  return kExitOk;
}

int CommandTest(int argc, char** argv) {
  const char* path = nullptr;
  bool options = true;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    if (options && IsHelp(a)) {
      printf("%s\n%s", kTestHelp, kNamesShown);
      return kExitOk;
    } else if (options && strcmp(a, "--") == 0) {
      options = false;
    } else if (options && a[0] == '-' && a[1] != '\0') {
      return UsageError("test", "unknown option '%s'", a);
    } else if (path == nullptr) {
      path = a;
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
    if (Expand(path, package, i, &content)) {
      printf("ok      %s %12zu bytes\n", PaddedName(package.entry(i), 16).c_str(), content.size());
    } else {
      printf("FAILED  %s\n", ShowName(EntryName(package.entry(i))).c_str());
      failed++;
    }
  }
  printf("%s: %" PRIu32 " member%s tested, %" PRIu32 " failed\n", path, package.count(),
         package.count() == 1 ? "" : "s", failed);
  return failed == 0 ? kExitOk : kExitData;
}

int CommandDecode(int argc, char** argv) {
  std::vector<const char*> paths;
  bool haveSize = false, options = true;
  uint32_t size = 0;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    if (options && IsHelp(a)) {
      fputs(kDecodeHelp, stdout);
      return kExitOk;
    } else if (options && strcmp(a, "--") == 0) {
      options = false;
    } else if (options && strcmp(a, "--size") == 0) {
      if (i + 1 >= argc) return UsageError("decode", "--size needs a number");
      char* end = nullptr;
      const char* text = argv[++i];
      const unsigned long long n = strtoull(text, &end, 10);
      if (*text < '0' || *text > '9' || *end != '\0' || n > 0xFFFFFFFFull) {
        return UsageError("decode", "--size takes a number of bytes below 4 GiB");
      }
      haveSize = true;
      size = static_cast<uint32_t>(n);
    } else if (options && a[0] == '-' && a[1] != '\0') {
      return UsageError("decode", "unknown option '%s'", a);
    } else {
      paths.push_back(a);
    }
  }
  if (paths.size() != 2) return UsageError("decode", "needs STREAM and OUT");
  if (PlatSameFile(paths[0], paths[1])) {
    Fail("%s: refusing to write the output over the stream it reads", paths[1]);
    return kExitData;
  }
  std::vector<uint8_t> stream;
  uint32_t error = 0;
  if (!ReadFileBytes(paths[0], &stream, &error)) {
    Fail("%s: cannot read the file: %s", paths[0], Reason(error).c_str());
    return kExitData;
  }
  const uint32_t inSize = static_cast<uint32_t>(stream.size());
  // No stream yields more than this, so no buffer need be larger, whatever --size says.
  const uint64_t most = MaxDecodedSize(inSize) < 0xFFFFFFFFull ? MaxDecodedSize(inSize)
                                                                : 0xFFFFFFFFull;
  if (haveSize && size > most) {
    Fail("%s: a stream of %" PRIu32 " bytes yields at most %" PRIu64
         " bytes, not the %" PRIu32 " asked for",
         paths[0], inSize, most, size);
    return kExitData;
  }
  std::vector<uint8_t> out;
  DecodeStatus status;
  uint32_t produced = 0;
  // The output size is unknown (or only claimed): grow the buffer until the stream fits.
  uint64_t capacity = haveSize ? size : static_cast<uint64_t>(inSize) * 4 + 4096;
  for (;;) {
    if (capacity > most) capacity = most;
    out.resize(static_cast<size_t>(capacity));
    status = DecodeStream(out.data(), static_cast<uint32_t>(capacity), stream.data(), inSize,
                          &produced, nullptr);
    if (status != DecodeOverrun || capacity == most) break;
    capacity = capacity < 2048 ? 4096 : capacity * 2;
  }
  if (status != DecodeOk) {
    Fail("%s: %s", paths[0], DecodeStatusText(status));
    return kExitData;
  }
  if (haveSize && produced != size) {
    Fail("%s: the stream yields %" PRIu32 " bytes, not the %" PRIu32 " asked for", paths[0],
         produced, size);
    return kExitData;
  }
  if (!WriteWholeFileReason(paths[1], out.data(), produced, nullptr, &error)) {
    Fail("%s: cannot write the file: %s", paths[1], Reason(error).c_str());
    return kExitData;
  }
  return kExitOk;
}
