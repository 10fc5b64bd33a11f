// Shared state of the host stand-in's translation units. Not for use outside platform/host.
#ifndef PLATFORM_HOST_HOST_STATE_H
#define PLATFORM_HOST_HOST_STATE_H

#include <stdint.h>

#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/host/host_control.h"

struct HostDrive {
  std::string folder;  // the medium's folder; empty when a removable drive holds none
  uint32_t type = PlatDriveUnknown;
  uint64_t freeBytes = 0;
  uint64_t totalBytes = 0;
};

struct HostRegistryValue {
  std::string name;  // as first given
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

struct HostRegistryKey {
  std::map<std::string, HostRegistryValue> values;  // by lower-case name
};

// A window the stand-in knows: one of the test's (a game, another updater's window or box), the
// process's own dialog or one of its controls, or a message box the process shows.
enum class HostWindowKind { External, Dialog, Control, Box };

struct PlatWindowRecord {
  HostWindowKind kind = HostWindowKind::External;
  std::string name;       // how the transcript calls it
  std::string className;  // "#32770" for the dialog class
  std::string title;
  int32_t id = 0;  // a control's id
  bool enabled = true;
  bool alive = true;
  PlatWindowRecord* parent = nullptr;
};

struct PlatKeyRecord {
  std::string path;  // lower-case
};

struct HostResource {
  std::string type;  // upper-case
  uint32_t id = 0;
  std::vector<uint8_t> bytes;
};

struct HostState {
  std::map<char, HostDrive> drives;  // upper-case letter -> drive
  bool freeSpaceExAvailable = true;
  bool freeSpaceExFails = false;
  bool freeSpaceUnknown = false;
  int freeSpaceExLookups = 0;
  int failWrites = 0;
  uint32_t failWriteBytesBefore = 0;
  int failSetTimes = 0;
  int failAllocs = 0;
  // Creation times, which Linux file systems do not keep, by (device, inode).
  std::map<std::pair<uint64_t, uint64_t>, uint64_t> creationTimes;
  std::set<std::string> lockedFiles;  // native paths

  int openFiles = 0;
  int liveBlocks = 0;
  int openKeys = 0;
  int comInits = 0;

  std::map<std::string, HostRegistryKey> registry;  // by lower-case path under HKCU
  uint32_t processId = 0x1234;
  bool tempPathSet = false;
  std::string tempPath;
  std::deque<HostResource> resources;
  HostResourceFailure resourceFailure = HostResourceFailure::None;

  // Windows, in the order they were made; records stay (marked dead) so that a stale handle
  // names something.
  std::deque<PlatWindowRecord> windows;
  PlatWindowRecord* dialog = nullptr;  // the open dialog, if any
  bool dialogEnded = false;
  int64_t dialogResult = 0;
  bool failDialog = false;

  std::deque<HostStep> steps;
  std::deque<HostShellOutcome> shellOutcomes;
  std::vector<std::string> transcript;
};

HostState& Host();

// Returns the drive that a "X:" prefix of `path` names, or null.
const HostDrive* HostDriveOf(const char* path);

// Whether another program holds the file at this native path (HostLockFile).
bool HostIsLocked(const std::string& native);
// Adds a line to the transcript.
void HostRecord(const std::string& line);
// The shell copy's message loop: takes the steps meant for it from the front of the queue.
void HostRunCopySteps();
// The name a window has in the transcript ("none" for no window).
std::string HostWindowName(PlatWindow window);
// Lower-case ASCII.
std::string HostLower(const std::string& text);

#endif
