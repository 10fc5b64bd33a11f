// Test controls of the Linux stand-in for the platform interface.
//
// The stand-in simulates what the logic needs of Windows: drive letters mapped to folders with a
// drive type and a free-space figure (and CD-ROM drives whose disc can be changed), the creation
// time that Linux file systems do not keep, the current user's registry, the temporary folder,
// the executable's resources, top-level windows, the modal dialog with its controls, message
// boxes, the shell's copy, and injected failures. Tests set it up with these calls, script what
// the user does, and read back what the logic did: every box, title, text, button state, focus,
// cursor, shown window and shell copy is a line of one transcript, in order. Only the host
// backend provides these calls; code that calls them builds for the host alone.
//
// Paths: "X:rest" with a mapped letter X becomes the mapped folder followed by rest, with "." and
// ".." resolved and never above the drive's root, as Windows resolves them, and each name matched
// to an existing one without regard to case; a colon after the drive names nothing. Any other path is used as it stands. In both, every backslash that is a
// character of its own becomes a slash (a 0x5C second byte of a double-byte character stays part
// of its name). A path with an unmapped drive letter, or on a drive that holds no disc, names
// nothing.
#ifndef PLATFORM_HOST_HOST_CONTROL_H
#define PLATFORM_HOST_HOST_CONTROL_H

#include <stdint.h>

#include <string>
#include <vector>

#include "platform/platform.h"

// Forgets every mapping, injected failure, registry key, resource, window, scripted step and
// shell outcome, the transcript and the recorded message boxes.
void HostReset();

// Maps drive `letter` (A to Z, either case) to `folder`, with a drive type and the bytes free to
// the caller (also reported as the total free bytes); the total size is `totalBytes`.
void HostMapDrive(char letter, const std::string& folder, uint32_t driveType, uint64_t freeBytes,
                  uint64_t totalBytes = 1ull << 40);
void HostSetFreeBytes(char letter, uint64_t freeBytes);
// A mapped drive's medium: another folder (a disc inserted), or "" (no disc in the drive).
void HostSetDriveMedium(char letter, const std::string& folder);
// Whether "kernel32.dll" offers GetDiskFreeSpaceExA (default yes), and whether calling it fails.
void HostSetFreeSpaceExAvailable(bool available);
void HostSetFreeSpaceExFails(bool fails);
// Makes both free-space calls fail for every volume.
void HostSetFreeSpaceUnknown(bool unknown);
// How many times the library lookup of GetDiskFreeSpaceExA has run since the reset.
int HostFreeSpaceExLookups();

// The native path a platform path names ("" when it names nothing).
std::string HostNativePath(const char* path);

// The file at this native path is held open by another program, unshared: it cannot be opened,
// created, replaced, deleted, read as a profile or copied onto (its attributes can still be read
// and set).
void HostLockFile(const std::string& native);
void HostUnlockFiles();
// Makes the next `count` PlatWriteFile calls fail after writing `bytesBefore` bytes each.
void HostFailNextWrites(int count, uint32_t bytesBefore = 0);
// Makes the next `count` PlatSetFileTimes calls fail.
void HostFailNextSetTimes(int count);
// Makes the next `count` PlatAlloc calls fail.
void HostFailNextAllocs(int count);

// ---- Counts of what is open, for tests that end by checking nothing is left ------------------
int HostOpenFiles();
int HostLiveBlocks();
int HostOpenKeys();
int HostComInits();

// ---- Registry (HKEY_CURRENT_USER) and the temporary folder ------------------------------------
enum : uint32_t {
  HostRegSz = 1,
  HostRegBinary = 3,
  HostRegDword = 4,
};
// Creates the key (and its parents) when missing. Key paths and value names match as Windows
// matches them: by their characters, without regard to case (full-width and other letters of
// code page 932 included), a double-byte character whole. The bytes are stored as given: a string
// needs its own terminator.
void HostAddRegistryKey(const std::string& path);
void HostSetRegistryValue(const std::string& path, const std::string& name, uint32_t type,
                          const std::vector<uint8_t>& data);
// What PlatGetTempPath reports; without a call it fails.
void HostSetTempPath(const std::string& path);
// What PlatCurrentProcessId reports (0x1234 unless set).
void HostSetProcessId(uint32_t id);

// ---- Resources of the one module -------------------------------------------------------------
PlatModule HostModule();
void HostAddResource(const std::string& type, uint32_t id, const std::vector<uint8_t>& bytes);
enum class HostResourceFailure { None, Load, Lock };
void HostFailResource(HostResourceFailure failure);

// ---- Windows ---------------------------------------------------------------------------------
// A top-level window of another program, called `name` in the transcript. The class "#32770" is
// the dialog class, which PlatFindDialogWindow searches.
PlatWindow HostAddWindow(const std::string& name, const std::string& className,
                         const std::string& title);
// Makes the next PlatDialogBox fail to create its dialog.
void HostFailDialogCreation();

// ---- What the user does ----------------------------------------------------------------------
// Steps are taken in order, each by the message loop that is running when it comes to the front:
// the dialog's own loop (Top), a message box's (Box), or the shell copy's (Copy). A window step
// (Click, Command, SetCursor) names the loop it is meant for; a box's Answer is taken by the box
// that is open; an environment step (CloseWindow, Insert, Eject, SetFree) is taken by the
// dialog's loop or a box's, whichever comes first. A step that comes to the front of a loop it
// does not belong to is recorded as out of place and dropped, and a loop that waits with no step
// left ends: the box with its default answer, the dialog with -1; both are recorded, so the
// transcript shows it.
enum class HostLoop { Top, Box, Copy };
enum class HostStepKind {
  Click,        // a person clicks control `value`: only when it and the dialog are enabled
  Command,      // WM_COMMAND with `value` as its whole first parameter, as a posted message
  SetCursor,    // WM_SETCURSOR over the dialog
  Answer,       // the open box is closed with answer `value`
  CloseWindow,  // the window called `text` closes (the game quits)
  Insert,       // drive `letter` gets the disc in folder `text` (shown by its last component)
  Eject,        // drive `letter` is left without a disc
  SetFree,      // drive `letter` now has `value` bytes free (the user made room)
};
struct HostStep {
  HostStepKind kind;
  HostLoop loop = HostLoop::Top;
  int64_t value = 0;
  char letter = 0;
  std::string text;
};
void HostQueueSteps(const std::vector<HostStep>& steps);
// Steps not taken yet.
size_t HostStepsLeft();

// ---- The shell's copy ------------------------------------------------------------------------
// What the next copies do, in order; without an outcome a copy is done on the files: a file to
// the destination path (or into it, when it is a folder), folders made as needed; a folder into
// the destination folder under its own name; attributes and last-write times kept. A source that
// does not exist gives 0x402; a copy that cannot be done once its source was found gives 0x4C7
// and reports itself aborted, as the shell does when told to ask no questions.
struct HostShellOutcome {
  int32_t result;  // not 0, or aborted: returned without copying anything; else the copy is done
  bool aborted;
};
void HostQueueShellOutcomes(const std::vector<HostShellOutcome>& outcomes);
size_t HostShellOutcomesLeft();

// ---- The transcript --------------------------------------------------------------------------
// Lines, in code page 932 bytes as the logic gave them:
//   box OWNER 0xSTYLE | CAPTION | TEXT      then  answer N
//   dialog open | dialog cannot be created | dialog ends N
//   title | TEXT     text | TEXT (control 1001)     item ID | TEXT (any other control)
//   enable ID on|off     focus ID     cursor wait|arrow|ID     show NAME     foreground NAME
//   end dialog N     shell copy FROM -> TO flags 0xF     = RESULT [aborted]
//   > STEP (a step taken)     ! PROBLEM (a step or loop that did not fit)
// OWNER and NAME: "none", "wizard" (the dialog), a control's id, or the test's window name.
const std::vector<std::string>& HostTranscript();

// Message boxes are also recorded by platform/box_recorder.h, which the host backend includes.

#endif
