// The platform tables' backend on the host: the stand-in's registry, a scratch folder mapped as
// the CD-ROM drive R:, and a temporary folder set by the test.
#include <iconv.h>

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

std::string TestFolder() {
  // A drive, so that names match as on Windows; mapped again after every reset.
  static ScratchDir folder;
  HostMapDrive('T', folder.path(), PlatDriveFixed, 1u << 30, 1u << 30);
  return "T:\\";
}

bool SystemUpperUnicode(const std::string& cp932, std::u32string* out) {
  iconv_t cd = iconv_open("UTF-32LE", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string bytes(cp932.size() * 4 + 4, '\0');
  char* src = const_cast<char*>(cp932.data());
  size_t srcLeft = cp932.size();
  char* dst = &bytes[0];
  size_t dstLeft = bytes.size();
  const bool ok = iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1);
  iconv_close(cd);
  if (!ok) return false;
  out->clear();
  for (size_t i = 0; i + 4 <= bytes.size() - dstLeft; i += 4) {
    char32_t c = static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8 |
                 static_cast<uint8_t>(bytes[i + 2]) << 16;
    // The letters with a case that code page 932 holds, from Unicode's case mappings.
    if ((c >= U'a' && c <= U'z') || (c >= 0xFF41 && c <= 0xFF5A) || (c >= 0x3B1 && c <= 0x3C9) ||
        (c >= 0x430 && c <= 0x44F)) {
      c -= 0x20;
    } else if (c == 0x451) {
      c = 0x401;
    } else if (c >= 0x2170 && c <= 0x217F) {
      c -= 0x10;
    }
    out->push_back(c);
  }
  return true;
}
