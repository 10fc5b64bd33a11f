// The platform tables' backend on Windows: the current user's real registry, under a key of this
// process's own; the CD-ROM drive R: that cmake/wine-run gives the prefix, whose folder the build
// names in XRA_CDROM_FOLDER; and the system's temporary folder.
#include <windows.h>

#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "platform/box_recorder.h"
#include "tests/platform_table_backend.h"

namespace fs = std::filesystem;

namespace {

std::string ProcessName(const char* stem) {
  return stem + std::to_string(GetCurrentProcessId());
}

void RemoveTree(const std::string& folder) {
  std::error_code ec;
  // Read-only files would stop the removal.
  for (auto& entry : fs::recursive_directory_iterator(folder, ec)) {
    fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ec);
  }
  fs::remove_all(folder, ec);
}

}  // namespace

const bool kWindowsBackend = true;

void ResetBackend() { ClearRecordedBoxes(); }

TestRegistry::TestRegistry() : root_("Software\\XraPlatformTest\\" + ProcessName("p")) {
  // A process of the same number may have left its key behind.
  RegDeleteTreeA(HKEY_CURRENT_USER, root_.c_str());
  AddKey(root_);
}

TestRegistry::~TestRegistry() {
  RegDeleteTreeA(HKEY_CURRENT_USER, root_.c_str());
  // Fails, as it should, while another test program still has its key there.
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\XraPlatformTest");
}

void TestRegistry::AddKey(const std::string& path) const {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    throw std::runtime_error("cannot create the registry key " + path);
  }
  RegCloseKey(key);
}

void TestRegistry::SetValue(const std::string& path, const std::string& name, uint32_t type,
                            const std::vector<uint8_t>& data) const {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    throw std::runtime_error("cannot create the registry key " + path);
  }
  // RegSetValueExA adds a terminator the caller seems to have left out: a string whose last
  // byte is not zero also gets the byte after it when that one is zero. A nonzero byte there
  // keeps the value exactly as given.
  std::vector<uint8_t> bytes = data;
  bytes.push_back(0x01);
  const LONG result = RegSetValueExA(key, name.c_str(), 0, type, bytes.data(),
                                     static_cast<DWORD>(data.size()));
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) throw std::runtime_error("cannot set the registry value " + name);
}

struct TestDisc::State {
  std::string name;    // the disc's folder on the drive
  std::string folder;  // the same folder, where the test writes it
};

TestDisc::TestDisc() : state_(new State) {
  state_->name = ProcessName("t");
  state_->folder = std::string(XRA_CDROM_FOLDER) + "\\" + state_->name;
  RemoveTree(state_->folder);
  if (!CreateDirectoryA(state_->folder.c_str(), nullptr)) {
    throw std::runtime_error("cannot make the disc folder " + state_->folder +
                             " (cmake/wine-run makes the drive's folder)");
  }
}

TestDisc::~TestDisc() { RemoveTree(state_->folder); }

std::string TestDisc::WritePath(const std::string& relative) const {
  return state_->folder + (relative.empty() ? "" : "\\" + relative);
}

std::string TestDisc::DrivePath(const std::string& relative) const {
  return std::string(Drive()) + "\\" + state_->name + (relative.empty() ? "" : "\\" + relative);
}

void PrepareTempPath() {}

std::string TestFolder() {
  static const std::string folder = [] {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const std::string path = std::string(temp) + ProcessName("xra-names-") + "\\";
    CreateDirectoryA(path.c_str(), nullptr);
    atexit([] { RemoveTree(TestFolder()); });
    return path;
  }();
  return folder;
}

bool SystemUpperUnicode(const std::string& cp932, std::u32string* out) {
  const int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, cp932.data(),
                                    static_cast<int>(cp932.size()), nullptr, 0);
  if (n <= 0) return false;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, cp932.data(), static_cast<int>(cp932.size()),
                      &wide[0], n);
  CharUpperBuffW(&wide[0], static_cast<DWORD>(n));
  out->assign(wide.begin(), wide.end());  // code page 932 has no character beyond the BMP
  return true;
}
