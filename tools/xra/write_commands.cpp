// xra create and encode.
#include <inttypes.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "package/encoder.h"
#include "package/package.h"
#include "package/wholefile.h"
#include "package/writer.h"
#include "platform/platform.h"
#include "tools/xra/xra.h"

namespace {

// Below this much input a run is over before a progress line would help.
constexpr uint64_t kProgressThreshold = 4u << 20;

const char kCreateHelp[] =
    "usage: xra create PACKAGE [--level fast|default|max] [--store] [--stored-directory]\n"
    "                  [--time YYYY-MM-DDTHH:MM:SSZ] FILE...\n"
    "\n"
    "Builds PACKAGE from the FILEs, one member per file in the order given, each with its\n"
    "file's last-write time. A member is named by the last component of its FILE; the name is\n"
    "converted from the terminal's encoding to code page 932, which is what the package stores\n"
    "and what the updater matches. A member is stored compressed unless compressing does not\n"
    "make it smaller, and then it is stored as it is.\n"
    "\n"
    "  --level fast|default|max  how hard to compress (default: default). max finds the\n"
    "                            smallest stream the format allows and is the slowest\n"
    "  --store                   store every member as it is\n"
    "  --stored-directory        store the directory as it is; otherwise it is compressed,\n"
    "                            unless compressing does not make it smaller\n"
    "  --time YYYY-MM-DDTHH:MM:SSZ\n"
    "                            give every member this last-write time (UTC, from 1601 on)\n"
    "                            instead of its file's, so that the same files make the same\n"
    "                            package whatever their files' times\n"
    "\n"
    "Refuses, naming the file and writing nothing: a name longer than 14 bytes in code page\n"
    "932 (a Japanese character counts two); a name that Windows could not write as a plain\n"
    "file name (empty, '.' or '..', holding '/', '\\', ':', '<', '>', '\"', '|', '?', '*' or a\n"
    "control character, ending in a dot or a space, or a device name such as CON, NUL.TXT or\n"
    "COM1) or that has no form in code page 932; two names that are equal as the updater\n"
    "compares them (without regard to case, fullwidth letters too); a file that cannot be read\n"
    "or is not a regular file (a folder, a pipe, a device); PACKAGE itself as a FILE; and files\n"
    "or a package of 4 GiB or more, before any file is read. The package is written whole and\n"
    "then put in place, so a failed run leaves an existing PACKAGE as it was, with its\n"
    "permissions.\n";

const char kEncodeHelp[] =
    "usage: xra encode IN OUT [--level fast|default|max]\n"
    "\n"
    "Compresses the file IN into one raw stream (the format of a compressed member) in the\n"
    "file OUT; 'xra decode' expands it again. The level is as for 'xra create'. OUT is written\n"
    "whole and then put in place.\n";

// A function, not an expression, so that a 32-bit build does not warn that it cannot fail.
bool Fits32(uint64_t value) { return value <= 0xFFFFFFFFull; }

bool ParseLevel(const char* text, int* level) {
  if (strcmp(text, "fast") == 0) {
    *level = EncodeFast;
  } else if (strcmp(text, "default") == 0) {
    *level = EncodeDefault;
  } else if (strcmp(text, "max") == 0) {
    *level = EncodeMax;
  } else {
    return false;
  }
  return true;
}

// "YYYY-MM-DDTHH:MM:SSZ", a UTC time from 1601 on, as a Windows file time (100 ns ticks since
// 1601-01-01). Exactly that form: no fraction, no offset, every field in its calendar range.
bool ParseMemberTime(const char* text, uint64_t* ticks) {
  static const char kForm[] = "dddd-dd-ddTdd:dd:ddZ";
  for (size_t i = 0; i < sizeof kForm; i++) {
    // The terminating zero is compared too: a longer text fails on it, a shorter one on its own
    // end, before anything past that end is read.
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (kForm[i] == 'd' ? !digit : text[i] != kForm[i]) return false;
  }
  auto field = [text](int at, int width) {
    uint32_t value = 0;
    for (int i = 0; i < width; i++) value = value * 10 + static_cast<uint32_t>(text[at + i] - '0');
    return value;
  };
  const uint32_t year = field(0, 4), month = field(5, 2), day = field(8, 2);
  const uint32_t hour = field(11, 2), minute = field(14, 2), second = field(17, 2);
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  static const uint32_t kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1601 || month < 1 || month > 12 || day < 1 ||
      day > kMonthDays[month - 1] + (month == 2 && leap ? 1 : 0) || hour > 23 || minute > 59 ||
      second > 59) {
    return false;
  }
  // Whole years since 1601, then the months of this one: 1601 starts a 400-year cycle, so the
  // leap days before `year` are counted from it directly.
  const uint64_t years = year - 1601;
  uint64_t days = years * 365 + years / 4 - years / 100 + years / 400;
  for (uint32_t m = 1; m < month; m++) days += kMonthDays[m - 1] + (m == 2 && leap ? 1 : 0);
  days += day - 1;
  *ticks = ((days * 24 + hour) * 60 + minute) * 60 + second;
  *ticks *= 10000000u;
  return true;
}

// A line on stderr that rewrites itself, shown only when stderr is a terminal and there is
// enough input for the wait to be noticed.
struct ProgressLine {
  bool shown = false;
  uint64_t total = 0;
  uint64_t before = 0;  // input bytes of the members already done

  void Start(uint64_t totalBytes) {
    total = totalBytes;
    shown = totalBytes >= kProgressThreshold && StderrIsTerminal();
  }
  void Show(uint64_t done) const {
    if (!shown) return;
    fprintf(stderr, "\rxra: compressing %3u%% (%" PRIu64 " of %" PRIu64 " MB)",
            static_cast<unsigned>(done * 100 / total), done >> 20, total >> 20);
    fflush(stderr);
  }
  void End() const {
    // Spaces rather than an erase sequence, which not every Windows console knows.
    if (shown) fprintf(stderr, "\r%50s\r", "");
  }
  static void Report(void* context, uint32_t bytesDone) {
    const ProgressLine* line = static_cast<const ProgressLine*>(context);
    line->Show(line->before + bytesDone);
  }
};

// A file's size and last-write time; says what is wrong and returns false when the file cannot
// be opened or is no ordinary file of less than 4 GiB.
bool StatMemberFile(const std::string& path, uint32_t* size, uint64_t* time) {
  PlatFile file = PlatOpenRead(path.c_str());
  if (file == nullptr) {
    Fail("%s: cannot open the file: %s", path.c_str(), Reason(PlatLastError()).c_str());
    return false;
  }
  bool ok = false;
  if (!PlatFileSize(file, size)) {
    Fail("%s: cannot take its size (%s); a file of 4 GiB or more does not fit a package",
         path.c_str(), Reason(PlatLastError()).c_str());
  } else if (!PlatGetFileTimes(file, nullptr, nullptr, time)) {
    Fail("%s: cannot read its last-write time: %s", path.c_str(), Reason(PlatLastError()).c_str());
  } else {
    ok = true;
  }
  PlatCloseFile(file);
  return ok;
}

// A file's bytes, which must still be the `expected` count that its size was when the sizes
// were checked. Says what is wrong and returns false when it cannot be read whole.
bool ReadMemberFile(const std::string& path, uint32_t expected, std::vector<uint8_t>* content) {
  uint32_t error = 0;
  if (!ReadFileBytes(path, content, &error)) {
    Fail("%s: cannot read the file: %s", path.c_str(), Reason(error).c_str());
    return false;
  }
  if (content->size() != expected) {
    Fail("%s: the file changed while the package was made (%u bytes, then %u)", path.c_str(),
         static_cast<unsigned>(expected), static_cast<unsigned>(content->size()));
    return false;
  }
  return true;
}

// Compresses `content` at `level` into `stream`; false when the stream is no smaller.
bool CompressSmaller(const std::vector<uint8_t>& content, int level, ProgressLine* progress,
                     std::vector<uint8_t>* stream) {
  EncodeProgress report{&ProgressLine::Report, progress};
  EncodeBlock(content.data(), static_cast<uint32_t>(content.size()), level, stream, &report);
  return stream->size() < content.size();
}

}  // namespace

int CommandCreate(int argc, char** argv) {
  const char* packagePath = nullptr;
  std::vector<std::string> files;
  int level = EncodeDefault;
  bool store = false, storedDirectory = false, options = true, fixedTime = false;
  uint64_t memberTime = 0;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    if (options && IsHelp(a)) {
      fputs(kCreateHelp, stdout);
      return kExitOk;
    } else if (options && strcmp(a, "--") == 0) {
      options = false;
    } else if (options && strcmp(a, "--level") == 0) {
      if (i + 1 >= argc) return UsageError("create", "--level needs fast, default or max");
      if (!ParseLevel(argv[++i], &level)) {
        return UsageError("create", "unknown level '%s': use fast, default or max", argv[i]);
      }
    } else if (options && strcmp(a, "--time") == 0) {
      if (i + 1 >= argc) return UsageError("create", "--time needs a time YYYY-MM-DDTHH:MM:SSZ");
      if (!ParseMemberTime(argv[++i], &memberTime)) {
        return UsageError("create",
                          "--time '%s' is not a UTC time YYYY-MM-DDTHH:MM:SSZ from 1601 on "
                          "(e.g. 2026-12-01T00:00:00Z)",
                          argv[i]);
      }
      fixedTime = true;
    } else if (options && strcmp(a, "--store") == 0) {
      store = true;
    } else if (options && strcmp(a, "--stored-directory") == 0) {
      storedDirectory = true;
    } else if (options && a[0] == '-' && a[1] != '\0') {
      return UsageError("create", "unknown option '%s'", a);
    } else if (packagePath == nullptr) {
      packagePath = a;
    } else {
      files.push_back(a);
    }
  }
  if (packagePath == nullptr) return UsageError("create", "no package given");
  if (files.empty()) return UsageError("create", "no files given");

  // Every name is checked, and every file's size, before any file is read, and everything is
  // read and compressed before anything is written.
  std::vector<PackageMemberInput> members(files.size());
  std::unordered_map<std::string, size_t> byName;  // folded name -> first file with it
  for (size_t i = 0; i < files.size(); i++) {
    const std::string native = LastPathComponent(files[i]);
    std::string name;
    if (!NameToPackage(native, &name)) {
      Fail("%s: the name '%s' has no form in code page 932", files[i].c_str(), native.c_str());
      return kExitData;
    }
    if (const char* problem = PlainNameProblem(name)) {
      Fail("%s: refusing the member name '%s': %s", files[i].c_str(), native.c_str(), problem);
      return kExitData;
    }
    if (name.size() > kMemberNameMax) {
      // Fail checks its format as the Windows C library's printf, which knows no %zu.
      Fail("%s: the name '%s' takes %u bytes in code page 932; a member name holds at most %u",
           files[i].c_str(), native.c_str(), static_cast<unsigned>(name.size()),
           static_cast<unsigned>(kMemberNameMax));
      return kExitData;
    }
    char key[kMemberNameMax + 1];
    PlatFoldName(name.c_str(), key);
    const auto first = byName.emplace(key, i);
    if (!first.second) {
      Fail("%s: the name '%s' is that of %s as the updater compares names (%s)",
           files[i].c_str(), native.c_str(), files[first.first->second].c_str(),
           name == members[first.first->second].entry.name
               ? "both are one name in code page 932"
               : "without regard to case");
      return kExitData;
    }
    if (PlatSameFile(files[i].c_str(), packagePath)) {
      Fail("%s: refusing to write the package over one of its own files", packagePath);
      return kExitData;
    }
    memcpy(members[i].entry.name, name.c_str(), name.size() + 1);
  }

  std::vector<uint32_t> sizes(files.size());
  uint64_t total = 0, span = kPackageHeaderSize;
  for (size_t i = 0; i < files.size(); i++) {
    if (!StatMemberFile(files[i], &sizes[i], &members[i].entry.time)) return kExitData;
    if (fixedTime) members[i].entry.time = memberTime;
    total += sizes[i];
    // A member is never stored larger than its file, nor the directory than its entries.
    span += PackageSpan(sizes[i]) + kPackageEntrySize;
  }
  if (!Fits32(span)) {
    Fail("%s: the files hold %" PRIu64 " bytes; a package stays below 4 GiB", packagePath, total);
    return kExitData;
  }
  std::vector<std::vector<uint8_t>> contents(files.size());
  for (size_t i = 0; i < files.size(); i++) {
    if (!ReadMemberFile(files[i], sizes[i], &contents[i])) return kExitData;
  }

  ProgressLine progress;
  progress.Start(total);
  for (size_t i = 0; i < files.size(); i++) {
    PackageMemberInput& m = members[i];
    m.entry.size = static_cast<uint32_t>(contents[i].size());
    m.entry.flags = 0;
    if (!store && CompressSmaller(contents[i], level, &progress, &m.stored)) {
      m.entry.flags = kEntryCompressed;
    } else {
      m.stored.swap(contents[i]);
    }
    contents[i].clear();
    contents[i].shrink_to_fit();
    progress.before += m.entry.size;
  }
  progress.End();

  std::vector<uint8_t> directory = EncodeDirectory(members);
  bool directoryCompressed = false;
  if (!storedDirectory) {
    std::vector<uint8_t> stream;
    ProgressLine quiet;
    if (CompressSmaller(directory, level, &quiet, &stream)) {
      directory.swap(stream);
      directoryCompressed = true;
    }
  }
  std::vector<uint8_t> image;
  if (!AssemblePackage(members, directory, directoryCompressed, &image)) {
    Fail("%s: the package would be 4 GiB or larger", packagePath);
    return kExitData;
  }
  uint32_t error = 0;
  if (!WriteWholeFileReason(packagePath, image.data(), static_cast<uint32_t>(image.size()), nullptr,
                            &error)) {
    Fail("%s: cannot write the file: %s", packagePath, Reason(error).c_str());
    return kExitData;
  }
  printf("%s: %zu member%s, %" PRIu64 " bytes in %zu\n", packagePath, members.size(),
         members.size() == 1 ? "" : "s", total, image.size());
  return kExitOk;
}

int CommandEncode(int argc, char** argv) {
  std::vector<const char*> paths;
  int level = EncodeDefault;
  bool options = true;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    if (options && IsHelp(a)) {
      fputs(kEncodeHelp, stdout);
      return kExitOk;
    } else if (options && strcmp(a, "--") == 0) {
      options = false;
    } else if (options && strcmp(a, "--level") == 0) {
      if (i + 1 >= argc) return UsageError("encode", "--level needs fast, default or max");
      if (!ParseLevel(argv[++i], &level)) {
        return UsageError("encode", "unknown level '%s': use fast, default or max", argv[i]);
      }
    } else if (options && a[0] == '-' && a[1] != '\0') {
      return UsageError("encode", "unknown option '%s'", a);
    } else {
      paths.push_back(a);
    }
  }
  if (paths.size() != 2) return UsageError("encode", "needs IN and OUT");
  if (PlatSameFile(paths[0], paths[1])) {
    Fail("%s: refusing to write the stream over the file it reads", paths[1]);
    return kExitData;
  }
  uint32_t size = 0;
  uint64_t time = 0;
  std::vector<uint8_t> content;
  if (!StatMemberFile(paths[0], &size, &time) || !ReadMemberFile(paths[0], size, &content)) {
    return kExitData;
  }
  ProgressLine progress;
  progress.Start(content.size());
  std::vector<uint8_t> stream;
  EncodeProgress report{&ProgressLine::Report, &progress};
  EncodeBlock(content.data(), static_cast<uint32_t>(content.size()), level, &stream, &report);
  progress.End();
  if (!Fits32(stream.size())) {
    Fail("%s: the stream would be 4 GiB or larger", paths[1]);
    return kExitData;
  }
  uint32_t error = 0;
  if (!WriteWholeFileReason(paths[1], stream.data(), static_cast<uint32_t>(stream.size()), nullptr,
                            &error)) {
    Fail("%s: cannot write the file: %s", paths[1], Reason(error).c_str());
    return kExitData;
  }
  return kExitOk;
}
