// Whole runs of the updater, from its entry point, on the host stand-in: one test per scenario
// file in tests/scenarios. Each builds the machine the file describes, plays its steps, and
// compares the transcript (every box, title, text, button state, focus, cursor, shown window and
// shell copy, then the exit code) and every file of every drive and disc with what the file
// expects: a file it does not name must be exactly as it was. A run must also leave no file,
// registry key or heap block open, and take every step it was given.
#include <gtest/gtest.h>
#include <time.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "package/encoder.h"
#include "platform/host/host_control.h"
#include "platform/platform.h"
#include "tests/scenario/scenario.h"
#include "tests/test_support.h"
#include "updater/startup.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> ScenarioPaths() {
  std::vector<std::string> paths;
  for (const fs::directory_entry& e : fs::directory_iterator(XRA_SCENARIO_DIR)) {
    if (e.path().extension() == ".scn") paths.push_back(e.path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

uint64_t NowTicks() {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return 116444736000000000ull + static_cast<uint64_t>(ts.tv_sec) * 10000000ull +
         static_cast<uint64_t>(ts.tv_nsec / 100);
}

uint32_t DriveType(ScenarioDriveType type) {
  switch (type) {
    case ScenarioDriveType::Fixed:
      return PlatDriveFixed;
    case ScenarioDriveType::Cdrom:
      return PlatDriveCdrom;
    case ScenarioDriveType::Removable:
      return PlatDriveRemovable;
    case ScenarioDriveType::Remote:
      return PlatDriveRemote;
  }
  return PlatDriveUnknown;
}

HostStep ToHostStep(const ScenarioStep& s) {
  HostStep h;
  switch (s.kind) {
    case ScenarioStepKind::Click:
      h.kind = HostStepKind::Click;
      break;
    case ScenarioStepKind::Command:
      h.kind = HostStepKind::Command;
      break;
    case ScenarioStepKind::SetCursor:
      h.kind = HostStepKind::SetCursor;
      break;
    case ScenarioStepKind::Answer:
      h.kind = HostStepKind::Answer;
      break;
    case ScenarioStepKind::Close:
      h.kind = HostStepKind::CloseWindow;
      break;
    case ScenarioStepKind::Insert:
      h.kind = HostStepKind::Insert;
      break;
    case ScenarioStepKind::Eject:
      h.kind = HostStepKind::Eject;
      break;
    case ScenarioStepKind::SetFree:
      h.kind = HostStepKind::SetFree;
      break;
  }
  h.loop = s.loop == ScenarioLoop::Box    ? HostLoop::Box
           : s.loop == ScenarioLoop::Copy ? HostLoop::Copy
                                          : HostLoop::Top;
  h.value = s.value;
  h.letter = s.letter;
  h.text = s.text;
  return h;
}

// What a file or folder is, as far as a run may change it.
struct Node {
  bool directory = false;
  std::string content;
  uint64_t creation = 0, access = 0, write = 0;
  bool readOnly = false;
};

class Machine {
 public:
  explicit Machine(const Scenario& s) : scenario_(s) {}

  std::string DiscFolder(const std::string& disc) const {
    return dir_.path() + "/discs/" + disc;
  }

  // The native path of a scenario path: "X:\rest" on drive X (its disc, for a CD-ROM drive),
  // "DISC:\rest" on a disc.
  std::string Native(const std::string& path) const {
    const size_t colon = path.find(':');
    if (colon == std::string::npos || colon == 0) return "";
    std::string base;
    const std::string drive = path.substr(0, colon);
    if (drive.size() == 1) {
      const char letter = static_cast<char>(toupper(static_cast<unsigned char>(drive[0])));
      for (const ScenarioDrive& d : scenario_.drives) {
        if (d.letter != letter) continue;
        base = d.type == ScenarioDriveType::Cdrom ? (d.disc.empty() ? "" : DiscFolder(d.disc))
                                                  : dir_.path() + "/drives/" + letter;
      }
    } else {
      base = DiscFolder(drive);
    }
    if (base.empty()) return "";
    std::string rest = path.substr(colon + 1);
    for (char& c : rest) {
      if (c == '\\') c = '/';
    }
    while (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
    return rest.empty() ? base : base + "/" + rest;
  }

  void Build() {
    fs::create_directories(dir_.path() + "/drives");
    fs::create_directories(dir_.path() + "/discs");
    for (const ScenarioDrive& d : scenario_.drives) {
      std::string folder;
      if (d.type == ScenarioDriveType::Cdrom) {
        if (!d.disc.empty()) folder = DiscFolder(d.disc);
      } else {
        folder = dir_.path() + "/drives/" + d.letter;
      }
      if (!folder.empty()) fs::create_directories(folder);
      HostMapDrive(d.letter, folder, DriveType(d.type), d.freeBytes);
    }
    for (const ScenarioStep& step : scenario_.steps) {
      if (step.kind == ScenarioStepKind::Insert) fs::create_directories(DiscFolder(step.text));
    }
    for (const ScenarioFile& f : scenario_.files) {
      const std::string native = Native(f.path);
      ASSERT_FALSE(native.empty()) << EncodeNotation(f.path) << " is on no drive or disc";
      if (f.directory) {
        fs::create_directories(native);
        continue;
      }
      fs::create_directories(fs::path(native).parent_path());
      WriteFileOrDie(native, std::vector<uint8_t>(f.content.begin(), f.content.end()));
      PlatFile file = PlatOpenRead(native.c_str());
      ASSERT_NE(file, nullptr);
      ASSERT_EQ(PlatSetFileTimes(file, &f.time, &f.time, &f.time), 1);
      PlatCloseFile(file);
      if (f.readOnly) {
        ASSERT_EQ(PlatSetFileAttributes(native.c_str(), PlatAttrReadOnly), 1);
      }
      if (f.locked) locked_.push_back(native);
    }
    for (const ScenarioValue& v : scenario_.registry) {
      if (v.name.empty() && v.type == 0) {
        HostAddRegistryKey(v.key);
      } else {
        HostSetRegistryValue(v.key, v.name, v.type,
                             std::vector<uint8_t>(v.data.begin(), v.data.end()));
      }
    }
    if (scenario_.tempSet) HostSetTempPath(scenario_.tempPath);
    for (const ScenarioWindow& w : scenario_.windows) HostAddWindow(w.name, w.className, w.title);
    BuildPackage();
    std::vector<HostStep> steps;
    for (const ScenarioStep& s : scenario_.steps) {
      steps.push_back(ToHostStep(s));
      // The stand-in inserts a disc by its folder.
      if (s.kind == ScenarioStepKind::Insert) steps.back().text = DiscFolder(s.text);
    }
    HostQueueSteps(steps);
    std::vector<HostShellOutcome> outcomes;
    for (const ScenarioShellOutcome& o : scenario_.shellOutcomes) {
      outcomes.push_back(HostShellOutcome{o.result, o.aborted});
    }
    HostQueueShellOutcomes(outcomes);
    if (scenario_.dialogFails) HostFailDialogCreation();
    if (scenario_.freeSpaceUnknown) HostSetFreeSpaceUnknown(true);
  }

  // Locked once the machine has been looked at: the snapshot reads every file.
  void LockFiles() const {
    for (const std::string& native : locked_) HostLockFile(native);
  }

  std::map<std::string, Node> Snapshot() const {
    std::map<std::string, Node> nodes;
    for (const char* top : {"/drives", "/discs"}) {
      for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir_.path() + top)) {
        Node n;
        n.directory = e.is_directory();
        const std::string native = e.path().string();
        if (!n.directory) {
          // Times before the content: reading it may move the last-access time.
          PlatFile file = PlatOpenRead(native.c_str());
          EXPECT_NE(file, nullptr) << native;
          if (file != nullptr) {
            PlatGetFileTimes(file, &n.creation, &n.access, &n.write);
            PlatCloseFile(file);
          }
          const std::vector<uint8_t> bytes = ReadFileOrDie(native);
          n.content.assign(bytes.begin(), bytes.end());
        }
        n.readOnly = (PlatGetFileAttributes(native.c_str()) & PlatAttrReadOnly) != 0;
        nodes[native] = n;
      }
    }
    return nodes;
  }

  std::string Shown(const std::string& native) const {
    std::string shown = native.substr(std::min(native.size(), dir_.path().size() + 1));
    return EncodeNotation(shown);
  }

 private:
  void BuildPackage() {
    std::vector<uint8_t> image;
    switch (scenario_.package) {
      case ScenarioPackage::None:
        return;
      case ScenarioPackage::Empty:
        break;
      case ScenarioPackage::Raw:
        image.assign(scenario_.rawPackage.begin(), scenario_.rawPackage.end());
        break;
      case ScenarioPackage::Members:
      case ScenarioPackage::FailLoad:
      case ScenarioPackage::FailLock: {
        std::vector<PackageMemberInput> inputs;
        for (const ScenarioMember& m : scenario_.members) {
          const std::vector<uint8_t> content(m.content.begin(), m.content.end());
          if (m.compressed) {
            std::vector<uint8_t> stream;
            EncodeBlock(content.data(), static_cast<uint32_t>(content.size()), EncodeDefault,
                        &stream);
            inputs.push_back(CompressedMember(m.name.c_str(),
                                              static_cast<uint32_t>(content.size()), stream,
                                              m.time));
          } else {
            inputs.push_back(StoredMember(m.name.c_str(), content, m.time));
          }
        }
        image = StoredPackage(inputs);
        break;
      }
    }
    HostAddResource("UPDATE", 102, image);
    if (scenario_.package == ScenarioPackage::FailLoad) HostFailResource(HostResourceFailure::Load);
    if (scenario_.package == ScenarioPackage::FailLock) HostFailResource(HostResourceFailure::Lock);
  }

  const Scenario& scenario_;
  ScratchDir dir_;
  std::vector<std::string> locked_;
};

std::string Join(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

// The expected lines in the notation's one canonical form, so that two spellings of the same
// bytes compare equal.
std::vector<std::string> Canonical(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const std::string& line : lines) {
    std::string bytes, error;
    EXPECT_TRUE(DecodeNotation(line, &bytes, &error)) << error;
    out.push_back(EncodeNotation(bytes));
  }
  return out;
}

void CheckFiles(const Scenario& s, const Machine& machine, const std::map<std::string, Node>& before,
                const std::map<std::string, Node>& after, uint64_t start, uint64_t end) {
  std::map<std::string, const ScenarioExpectedFile*> expected;
  for (const ScenarioExpectedFile& e : s.expectedFiles) {
    const std::string native = machine.Native(e.path);
    if (native.empty()) {
      ADD_FAILURE() << EncodeNotation(e.path) << " is on no drive or disc";
      continue;
    }
    expected[native] = &e;
  }
  for (const auto& [native, e] : expected) {
    const std::string shown = machine.Shown(native);
    auto it = after.find(native);
    if (e->kind == ScenarioExpectedFile::Absent) {
      EXPECT_TRUE(it == after.end()) << shown << " should not exist";
      continue;
    }
    if (it == after.end()) {
      ADD_FAILURE() << shown << " should exist";
      continue;
    }
    const Node& n = it->second;
    if (e->kind == ScenarioExpectedFile::Directory) {
      EXPECT_TRUE(n.directory) << shown << " should be a folder";
      continue;
    }
    if (n.directory) {
      ADD_FAILURE() << shown << " should be a file";
      continue;
    }
    if (e->checkContent) {
      EXPECT_EQ(EncodeNotation(n.content), EncodeNotation(e->content)) << shown;
    }
    EXPECT_EQ(n.readOnly, e->readOnly) << shown << " read-only attribute";
    if (e->writeTime == ScenarioExpectedFile::Now) {
      EXPECT_TRUE(n.write >= start && n.write <= end) << shown << " last-write time " << n.write
                                                      << " is not the time of the run";
    } else if (e->writeTime == ScenarioExpectedFile::Exactly) {
      EXPECT_EQ(n.write, e->writeTicks) << shown << " last-write time";
      if (e->allTimes) {
        EXPECT_EQ(n.creation, e->writeTicks) << shown << " creation time";
        EXPECT_EQ(n.access, e->writeTicks) << shown << " last-access time";
      }
    }
  }
  for (const auto& [native, n] : after) {
    if (expected.count(native) != 0) continue;
    const std::string shown = machine.Shown(native);
    auto old = before.find(native);
    if (old == before.end()) {
      // A new folder is expected when something expected lies inside it.
      bool holdsExpected = false;
      for (const auto& [path, e] : expected) {
        if (e->kind != ScenarioExpectedFile::Absent && path.rfind(native + "/", 0) == 0) {
          holdsExpected = true;
        }
      }
      EXPECT_TRUE(n.directory && holdsExpected) << shown << " was not there before";
      continue;
    }
    EXPECT_EQ(n.directory, old->second.directory) << shown;
    EXPECT_EQ(EncodeNotation(n.content), EncodeNotation(old->second.content))
        << shown << " changed";
    EXPECT_EQ(n.write, old->second.write) << shown << " last-write time changed";
    EXPECT_EQ(n.creation, old->second.creation) << shown << " creation time changed";
    EXPECT_EQ(n.readOnly, old->second.readOnly) << shown << " read-only attribute changed";
  }
  for (const auto& [native, n] : before) {
    if (after.count(native) == 0 && expected.count(native) == 0) {
      ADD_FAILURE() << machine.Shown(native) << " disappeared";
    }
  }
}

class ScenarioRun : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    HostReset();
    ResetUpdaterState();
  }
  void TearDown() override {
    HostReset();
    ResetUpdaterState();
  }
};

TEST_P(ScenarioRun, PlaysAsWritten) {
  Scenario s;
  std::string error;
  ASSERT_TRUE(ParseScenario(GetParam(), &s, &error)) << error;
  Machine machine(s);
  machine.Build();
  if (HasFatalFailure()) return;
  const std::map<std::string, Node> before = machine.Snapshot();
  machine.LockFiles();

  const uint64_t start = NowTicks();
  const int32_t exitCode = UpdaterMain(HostModule(), nullptr, "", 0);
  const uint64_t end = NowTicks();

  EXPECT_EQ(HostOpenFiles(), 0) << "files left open";
  EXPECT_EQ(HostOpenKeys(), 0) << "registry keys left open";
  EXPECT_EQ(HostLiveBlocks(), 0) << "heap blocks left";
  EXPECT_EQ(HostComInits(), 1);
  EXPECT_EQ(HostStepsLeft(), 0u) << "steps the run never took";
  EXPECT_EQ(HostShellOutcomesLeft(), 0u) << "shell outcomes never used";
  HostUnlockFiles();  // so that the files the run could not open can be looked at

  std::vector<std::string> actual;
  for (const std::string& line : HostTranscript()) actual.push_back(EncodeNotation(line));
  actual.push_back("exit " + std::to_string(exitCode));
  EXPECT_EQ(Join(actual), Join(Canonical(s.transcript))) << s.title;

  CheckFiles(s, machine, before, machine.Snapshot(), start, end);
}

std::string TestName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = fs::path(info.param).stem().string();
  for (char& c : name) {
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ScenarioRun, ::testing::ValuesIn(ScenarioPaths()), TestName);

}  // namespace
