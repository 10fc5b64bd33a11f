// The platform tables' backend on the host: the stand-in's registry, a scratch folder mapped as
// the CD-ROM drive R:, and a temporary folder set by the test.
#include "platform/host/host_control.h"
#include "platform/platform.h"
#include "tests/platform_table_backend.h"
#include "tests/test_support.h"

const bool kWindowsBackend = false;

void ResetBackend() { HostReset(); }

TestRegistry::TestRegistry() : root_("Software\\XraPlatformTest\\host") {}

TestRegistry::~TestRegistry() = default;

void TestRegistry::AddKey(const std::string& path) const { HostAddRegistryKey(path); }

void TestRegistry::SetValue(const std::string& path, const std::string& name, uint32_t type,
                            const std::vector<uint8_t>& data) const {
  HostSetRegistryValue(path, name, type, data);
}

struct TestDisc::State {
  ScratchDir folder;
};

TestDisc::TestDisc() : state_(new State) {
  HostMapDrive('R', state_->folder.path(), PlatDriveCdrom, 0, 650u << 20);
  // The disc's files lie in one folder of the drive, as on Windows, where every test program
  // shares the drive.
  PlatCreateDirectory(WritePath("").c_str());
}

TestDisc::~TestDisc() = default;

std::string TestDisc::WritePath(const std::string& relative) const {
  return state_->folder.path() + "\\disc" + (relative.empty() ? "" : "\\" + relative);
}

std::string TestDisc::DrivePath(const std::string& relative) const {
  return std::string(Drive()) + "\\disc" + (relative.empty() ? "" : "\\" + relative);
}

void PrepareTempPath() { HostSetTempPath("C:\\WINDOWS\\TEMP\\"); }
