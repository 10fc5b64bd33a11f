// The shell's copy, done on the host's files the way SHFileOperationA copies with FO_COPY: a
// file goes to the destination path, with the folders above it made as needed, or into the
// destination under its own name when that is an existing folder; a folder goes into an existing
// destination folder under its own name (or becomes a destination that does not exist yet); files
// keep their read-only attribute and last-write time and replace what is there. A source that
// does not exist gives 0x402, with nothing copied. A copy that cannot be done once its source was
// found gives 0x4C7 and reports itself aborted, as the shell does when it was told to ask no
// questions (FOF_NOCONFIRMATION) and so gives up silently. The test can script other outcomes.
#include <inttypes.h>
#include <stdio.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "platform/host/host_state.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t kSourceMissing = 0x402;
constexpr int32_t kCopyError = 0x4C7;  // ERROR_CANCELLED, what a failure half-way reports

std::string Hex(uint32_t value) {
  char text[16];
  snprintf(text, sizeof text, "0x%" PRIX32, value);
  return text;
}

bool CopyFileKeepingAttributes(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  // A file another program holds open can be neither read nor replaced.
  if (HostIsLocked(from.string()) || HostIsLocked(to.string())) return false;
  if (to.has_parent_path()) fs::create_directories(to.parent_path(), ec);
  // A read-only file in the way is replaced too, as the shell does when asked no questions.
  if (fs::exists(to, ec)) {
    fs::permissions(to, fs::perms::owner_write, fs::perm_options::add, ec);
  }
  if (!fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec)) return false;
  const fs::perms perms = fs::status(from, ec).permissions();
  fs::permissions(to, perms, ec);
  fs::last_write_time(to, fs::last_write_time(from, ec), ec);
  return !ec;
}

bool CopyTree(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::create_directories(to, ec);
  if (ec) return false;
  for (const fs::directory_entry& entry : fs::directory_iterator(from, ec)) {
    const fs::path target = to / entry.path().filename();
    const bool ok = entry.is_directory() ? CopyTree(entry.path(), target)
                                         : CopyFileKeepingAttributes(entry.path(), target);
    if (!ok) return false;
  }
  return !ec;
}

// The result of one copy; `aborted` is set when it gave up after finding its source.
int32_t Copy(const char* from, const char* to, bool* aborted) {
  const std::string source = HostNativePath(from);
  const std::string destination = HostNativePath(to);
  std::error_code ec;
  if (source.empty() || !fs::exists(source, ec)) return kSourceMissing;
  bool done = false;
  if (!destination.empty()) {
    fs::path target = destination;
    if (fs::is_directory(source, ec)) {
      fs::path name = fs::path(source).filename();
      if (name.empty()) name = fs::path(source).parent_path().filename();
      if (fs::is_directory(target, ec)) target /= name;
      done = CopyTree(source, target);
    } else {
      if (fs::is_directory(target, ec)) target /= fs::path(source).filename();
      done = CopyFileKeepingAttributes(source, target);
    }
  }
  if (done) return 0;
  *aborted = true;
  return kCopyError;
}

}  // namespace

void HostQueueShellOutcomes(const std::vector<HostShellOutcome>& outcomes) {
  Host().shellOutcomes.insert(Host().shellOutcomes.end(), outcomes.begin(), outcomes.end());
}

size_t HostShellOutcomesLeft() { return Host().shellOutcomes.size(); }

int32_t PlatShellCopy(PlatWindow owner, const char* from, const char* to, uint32_t flags,
                      int32_t* anyAborted) {
  HostRecord(std::string("shell copy ") + from + " -> " + to + " flags " + Hex(flags) + " owner " +
             HostWindowName(owner));
  HostRunCopySteps();
  int32_t result = 0;
  bool aborted = false;
  HostState& h = Host();
  if (!h.shellOutcomes.empty()) {
    result = h.shellOutcomes.front().result;
    aborted = h.shellOutcomes.front().aborted;
    h.shellOutcomes.pop_front();
  }
  if (result == 0 && !aborted) result = Copy(from, to, &aborted);
  *anyAborted = aborted ? 1 : 0;
  HostRecord("= " + Hex(static_cast<uint32_t>(result)) + (aborted ? " aborted" : ""));
  return result;
}
