// Scenarios of a whole updater run, kept as data: one text file each under tests/scenarios, read
// by the host integration test (and by any other driver that plays the same runs, such as one on
// the real system).
//
// A scenario gives the machine before the run (drives, discs, files, the registry, the temporary
// folder, other programs' windows, the updater's package), what the user does (clicks, commands,
// box answers, a game that quits, discs inserted and ejected, shell copies that fail), and what
// must come of it: the exact transcript of everything shown, the exit code, and every file that
// changed. The format is in tests/scenarios/README.md.
//
// Texts are written in UTF-8 with a brace notation for bytes that have no plain form ({CR},
// {LF}, {TAB}, {SP} for a space where one could be lost, {xNN} for any byte, {{ for a brace);
// the parser turns them into code page 932 bytes, which is what the updater shows and writes.
// Parsing checks everything and never crashes on a malformed file: it returns false with the
// file, line and reason.
#ifndef TESTS_SCENARIO_SCENARIO_H
#define TESTS_SCENARIO_SCENARIO_H

#include <stdint.h>

#include <string>
#include <vector>

// Code page 932 and UTF-8, converted by the system's own means (scenario_text_*.cpp).
bool Utf8ToCp932(const std::string& utf8, std::string* cp932);
bool Cp932ToUtf8(const std::string& cp932, std::string* utf8);

// The notation: from it to code page 932 bytes, and from bytes to it. EncodeNotation gives text
// that DecodeNotation turns back into exactly the same bytes.
bool DecodeNotation(const std::string& text, std::string* bytes, std::string* error);
std::string EncodeNotation(const std::string& bytes);

enum class ScenarioDriveType { Fixed, Cdrom, Removable, Remote };

struct ScenarioDrive {
  char letter = 0;
  ScenarioDriveType type = ScenarioDriveType::Fixed;
  uint64_t freeBytes = 1ull << 32;
  std::string disc;  // a CD-ROM drive's disc; empty: no disc in the drive
};

struct ScenarioFile {
  std::string path;  // code page 932: "C:\folder\name", or "DISC:\name" for a file of a disc
  bool directory = false;
  std::string content;
  uint64_t time = 0;  // all three file times
  bool readOnly = false;
  bool locked = false;  // held open by another program: neither readable nor writable
};

struct ScenarioMember {
  std::string name;  // code page 932
  std::string content;
  uint64_t time = 0;
  bool compressed = false;
};

enum class ScenarioPackage { Members, None, Empty, Raw, FailLoad, FailLock };

struct ScenarioValue {
  std::string key;   // path under HKEY_CURRENT_USER
  std::string name;  // empty for a key without values
  uint32_t type = 0;
  std::string data;
};

struct ScenarioWindow {
  std::string name;
  std::string className;
  std::string title;
};

enum class ScenarioStepKind { Click, Command, SetCursor, Answer, Close, Insert, Eject, SetFree };
enum class ScenarioLoop { Top, Box, Copy };

struct ScenarioStep {
  ScenarioStepKind kind = ScenarioStepKind::Click;
  ScenarioLoop loop = ScenarioLoop::Top;
  int64_t value = 0;
  char letter = 0;
  std::string text;  // a window's name, or a disc
};

struct ScenarioShellOutcome {
  int32_t result = 0;
  bool aborted = false;
};

struct ScenarioExpectedFile {
  std::string path;
  enum Kind { File, Directory, Absent } kind = File;
  bool checkContent = false;
  std::string content;
  enum Time { Unchecked, Now, Exactly } writeTime = Unchecked;
  uint64_t writeTicks = 0;
  bool allTimes = false;  // creation and last access equal the write time too
  bool readOnly = false;
};

struct Scenario {
  std::string file;
  std::string title;
  ScenarioPackage package = ScenarioPackage::Members;
  std::string rawPackage;
  std::vector<ScenarioMember> members;
  std::vector<ScenarioDrive> drives;
  bool tempSet = false;
  std::string tempPath;
  std::vector<ScenarioValue> registry;
  std::vector<ScenarioFile> files;
  std::vector<ScenarioWindow> windows;
  std::vector<ScenarioStep> steps;
  std::vector<ScenarioShellOutcome> shellOutcomes;
  bool dialogFails = false;
  bool freeSpaceUnknown = false;
  std::vector<std::string> transcript;  // in the notation, "exit N" last
  std::vector<ScenarioExpectedFile> expectedFiles;
};

bool ParseScenario(const std::string& path, Scenario* scenario, std::string* error);

// Windows file times for "YYYY-MM-DDTHH:MM:SSZ".
bool ParseScenarioTime(const std::string& text, uint64_t* ticks);

#endif
