// xra extract on arbitrary package files, into a scratch folder that is watched: whatever the
// member names, nothing may be written anywhere but as a plain file directly inside the output
// folder, no temporary file may be left behind, the package itself must stay as it was, and every
// file written must be a member of that name with that member's content.
//
// The package lies outside the watched tree. The output folder lies four folders deep in it: a
// name holds at most 14 bytes, so the furthest any name could climb ("../../../../x") still lands
// inside the tree, where the walk sees it.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "package/member.h"
#include "package/package.h"
#include "platform/platform.h"
#include "tools/xra/xra.h"

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fault(const char* what, const fs::path& path) {
  fprintf(stderr, "extract_fuzz: %s: %s\n", what, path.string().c_str());
  abort();
}

struct Scratch {
  fs::path parent;
  fs::path package;  // parent/pkg/p.xra
  fs::path watch;    // parent/watch
  fs::path out;      // parent/watch/a/b/c/out
  std::vector<fs::path> chain;  // the folders from watch down to out, out last
  FILE* quiet = nullptr;

  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "xra-extract-fuzz-XXXXXX").string();
    if (mkdtemp(&pattern[0]) == nullptr) Fault("cannot make the scratch folder", pattern);
    parent = pattern;
    fs::create_directory(parent / "pkg");
    package = parent / "pkg" / "p.xra";
    watch = parent / "watch";
    out = watch / "a" / "b" / "c" / "out";
    fs::create_directories(out);
    for (fs::path p = out; p != watch; p = p.parent_path()) chain.insert(chain.begin(), p);
    quiet = fopen("/dev/null", "w");
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(parent, ec);
  }
};

Scratch& TheScratch() {
  static Scratch scratch;
  return scratch;
}

bool IsChainFolder(const Scratch& s, const fs::path& path) {
  for (const fs::path& p : s.chain) {
    if (p == path) return true;
  }
  return false;
}

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The files in `out`, after checking that the watched tree holds nothing else: only the folders
// down to `out`, and regular files directly inside it. Beside the tree, the scratch folder must
// hold only the package's folder and the package, unchanged.
std::vector<fs::path> CheckedFiles(const Scratch& s, const uint8_t* data, size_t size) {
  std::vector<fs::path> files;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(s.watch)) {
    const fs::file_status status = e.symlink_status();
    if (IsChainFolder(s, e.path())) {
      if (!fs::is_directory(status)) Fault("a folder of the tree was replaced", e.path());
      continue;
    }
    if (e.path().parent_path() != s.out) Fault("written outside the output folder", e.path());
    if (!fs::is_regular_file(status)) Fault("not a plain file", e.path());
    files.push_back(e.path());
  }
  for (const fs::directory_entry& e : fs::directory_iterator(s.parent)) {
    if (e.path() != s.watch && e.path() != s.package.parent_path()) {
      Fault("written into the scratch folder", e.path());
    }
  }
  for (const fs::directory_entry& e : fs::directory_iterator(s.package.parent_path())) {
    if (e.path() != s.package) Fault("written beside the package", e.path());
  }
  if (!fs::is_regular_file(fs::symlink_status(s.package))) Fault("package replaced", s.package);
  const std::vector<uint8_t> now = ReadAll(s.package);
  if (now.size() != size || (size > 0 && memcmp(now.data(), data, size) != 0)) {
    Fault("the package was changed", s.package);
  }
  return files;
}

// The package as the fuzz target reads it, to judge what extraction wrote.
struct Members {
  PackageDirectory* directory = nullptr;
  std::vector<uint64_t> offsets;
  std::vector<std::string> native;  // each name in the locale's encoding, "" when it has none
  std::vector<bool> hasNative;
  ~Members() { PlatFree(directory); }
  uint32_t count() const { return directory == nullptr ? 0 : directory->header.entryCount; }
  const PackageEntry& entry(uint32_t i) const { return DirectoryEntries(directory)[i]; }
};

void LoadMembers(const uint8_t* data, size_t size, Members* m) {
  if (size == 0 || size > 0xFFFFFFFFu) return;
  m->directory = LoadPackageDirectory(data, static_cast<uint32_t>(size));
  if (m->directory == nullptr) return;
  m->offsets.resize(m->count());
  MemberOffsets(m->directory, m->offsets.data());
  m->native.resize(m->count());
  m->hasNative.resize(m->count());
  for (uint32_t i = 0; i < m->count(); i++) {
    m->hasNative[i] = NameFromPackage(m->entry(i).name, &m->native[i]);
  }
}

// Every file must carry the name of a member, and the content of the first member of that name
// (the one extraction writes; a later one of an equal name is skipped or refused). No two files
// may have names that the updater takes for one, even where this file system tells them apart.
void CheckContents(const std::vector<fs::path>& files, const Members& m, const uint8_t* data,
                   size_t size) {
  std::set<std::string> keys;
  for (const fs::path& file : files) {
    const std::string name = file.filename().string();
    uint32_t i = 0;
    while (i < m.count() && !(m.hasNative[i] && m.native[i] == name)) i++;
    if (i == m.count()) {
      Fault(name.compare(0, 4, "~xra") == 0 ? "a temporary file was left behind"
                                             : "a file that no member names",
            file);
    }
    std::string key(strlen(m.entry(i).name), '\0');
    PlatFoldName(m.entry(i).name, &key[0]);
    if (!keys.insert(key).second) Fault("two files of names equal without regard to case", file);
    void* block = nullptr;
    MemberStatus status;
    const uint8_t* content = MemberContent(data, static_cast<uint32_t>(size), m.entry(i),
                                           m.offsets[i], &block, &status, nullptr);
    if (content == nullptr) Fault("written from a member that cannot be expanded", file);
    const std::vector<uint8_t> written = ReadAll(file);
    const bool same = written.size() == m.entry(i).size &&
                      (written.empty() || memcmp(written.data(), content, written.size()) == 0);
    PlatFree(block);
    if (!same) Fault("the file differs from its member", file);
  }
}

// Runs one extraction and checks its outcome; leaves `out` empty again.
void RunExtract(Scratch& s, const Members& m, const uint8_t* data, size_t size,
                const std::vector<std::string>& names) {
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(s.watch)) {
    if (!IsChainFolder(s, e.path())) Fault("the tree was not empty before the run", e.path());
  }
  const std::string package = s.package.string(), out = s.out.string();
  std::vector<std::string> args = {"extract", package, "-C", out};
  if (!names.empty()) {
    args.push_back("--");  // a member name may begin with '-'
    args.insert(args.end(), names.begin(), names.end());
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);

  // The refusals of hostile packages are one message each, run after run; only the command's
  // own stream is quietened, so that the sanitizers and libFuzzer still report on fd 2.
  FILE* const loud = stderr;
  if (s.quiet != nullptr) stderr = s.quiet;
  const int rc = CommandExtract(static_cast<int>(argv.size() - 1), argv.data());
  stderr = loud;

  if (rc != kExitOk && rc != kExitData) Fault("a usage error for well-formed arguments", s.out);
  const std::vector<fs::path> files = CheckedFiles(s, data, size);
  CheckContents(files, m, data, size);
  // The first member is the first of its name, and so is written by any successful run that
  // takes it: all of them, or itself asked for by name.
  if (rc == kExitOk && m.count() > 0 && (names.empty() || names[0] == m.native[0]) &&
      !fs::is_regular_file(fs::symlink_status(s.out / m.native[0]))) {
    Fault("success without the first member written", s.out / m.native[0]);
  }
  for (const fs::path& file : files) fs::remove(file);
}

// ASCII letters swapped in case; the locale's encoding keeps every byte of a multibyte character
// above 0x7F, so only the letters change.
std::string SwapCase(std::string name) {
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    } else if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (InitSystem(), true);
  (void)ready;
  Scratch& s = TheScratch();
  {
    std::ofstream file(s.package, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!file) Fault("cannot write the package", s.package);
  }
  Members m;
  LoadMembers(data, size, &m);

  RunExtract(s, m, data, size, {});
  if (m.count() > 0) {
    // Members asked for by name: the first as it is (a name without a form in the locale's
    // encoding as its raw bytes), and the last in the other case, which must find the first
    // member of that name.
    const uint32_t last = m.count() - 1;
    std::vector<std::string> names = {m.hasNative[0] ? m.native[0] : m.entry(0).name};
    if (m.hasNative[last]) names.push_back(SwapCase(m.native[last]));
    RunExtract(s, m, data, size, names);
  }
  return 0;
}
