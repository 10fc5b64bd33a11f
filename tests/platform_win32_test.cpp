// The platform calls that only Windows can answer for: the executable's own resources (from
// platform_win32_test.rc; their table through the platform is in platform_win32_resources.cpp,
// which needs nothing of windows.h), the CD-ROM drive R: that
// cmake/wine-run gives the prefix, and the shell's copy showing no window of its own when it
// fails. Under Wine, as the Windows tests run.
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/box_recorder.h"
#include "platform/platform.h"
#include "tests/platform_table_backend.h"
#include "tests/test_support.h"
#include "updater/update_run.h"

namespace {

// The updater's package resource is Japanese alone; FindResourceA, which asks for no language,
// must still find it on a system of any language.
TEST(OwnResources, ThePackageIsJapaneseOnly) {
  HMODULE module = GetModuleHandleA(nullptr);
  std::vector<WORD> languages;
  EnumResourceLanguagesA(
      module, "UPDATE", MAKEINTRESOURCEA(102),
      [](HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR list) -> BOOL {
        reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&languages));
  EXPECT_EQ(languages, std::vector<WORD>{0x0411});
  EXPECT_NE(FindResourceA(module, MAKEINTRESOURCEA(102), "UPDATE"), nullptr);
}

TEST(CdromDrive, ShowsTheDiscFolder) {
  EXPECT_EQ(PlatGetDriveType("R:"), PlatDriveCdrom);
  EXPECT_EQ(PlatGetDriveType("R:\\"), PlatDriveCdrom);
  TestDisc disc;
  const std::vector<uint8_t> content = Bytes("pressed on the disc");
  WriteFileOrDie(disc.WritePath("CHECK.DAT"), content);
  const std::string onDrive = disc.DrivePath("CHECK.DAT");
  EXPECT_EQ(PlatGetFileAttributes(onDrive.c_str()) & PlatAttrDirectory, 0u);
  EXPECT_EQ(ReadFileOrDie(onDrive), content);
  EXPECT_EQ(PlatGetFileAttributes(disc.DrivePath("NONE.DAT").c_str()), PlatAttrInvalid);
}

// Every visible top-level window of this process while it runs, closed as soon as it is seen so
// that a modal one cannot hold the test.
class WindowWatch {
 public:
  WindowWatch() : thread_([this] { Watch(); }) {}
  ~WindowWatch() { Stop(); }
  const std::vector<std::string>& Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return seen_;
  }

 private:
  static BOOL CALLBACK Visit(HWND window, LPARAM self) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window)) {
      char className[64] = "", title[256] = "";
      GetClassNameA(window, className, sizeof className);
      GetWindowTextA(window, title, sizeof title);
      reinterpret_cast<WindowWatch*>(self)->seen_.push_back(std::string(className) + " | " +
                                                             title);
      PostMessageA(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
  }
  void Watch() {
    while (!stop_) {
      EnumWindows(Visit, reinterpret_cast<LPARAM>(this));
      Sleep(10);
    }
  }

  std::atomic<bool> stop_{false};
  std::vector<std::string> seen_;
  std::thread thread_;
};

// The watch itself: a window of this process's is seen, by class and title, and closed.
TEST(ShellCopy, TheWatchSeesAndClosesAWindow) {
  WindowWatch watch;
  HWND window = CreateWindowExA(0, "STATIC", "xra watch check", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                0, 0, 120, 80, nullptr, nullptr, GetModuleHandleA(nullptr),
                                nullptr);
  ASSERT_NE(window, nullptr);
  // The watch posts its WM_CLOSE to this thread, which must take it; the limit only keeps a
  // watch that sees nothing from holding the test for ever.
  const DWORD start = GetTickCount();
  while (IsWindow(window) && GetTickCount() - start < 20000) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(10);
  }
  EXPECT_FALSE(IsWindow(window));
  const std::vector<std::string> seen = watch.Stop();
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.front(), "Static | xra watch check");
}

// A failing copy shows no window of the shell's (an error box would wait for a click the updater
// cannot give), with FOF_NOERRORUI, as CopyWithShell asks for a folder, and without, as for a
// file.
TEST(ShellCopy, FailuresShowNoWindow) {
  PlatInitCom();
  TestDisc disc;
  WriteFileOrDie(disc.WritePath("FILE.DAT"), Bytes("file"));
  ScratchDir dest;
  WriteFileOrDie(dest.File("OLD.DAT"), Bytes("old"));
  const struct {
    const char* name;
    std::string source;
    std::string destination;
    int32_t folder;
    ShellCopyResult result;
  } cases[] = {
      {"a missing file", disc.DrivePath("NOPE.DAT"), dest.File("NOPE.DAT"), 0, Failed},
      {"a missing folder", disc.DrivePath("NOPE"), dest.path(), 1, Failed},
      {"a file under an existing file", disc.DrivePath("FILE.DAT"),
       dest.File("OLD.DAT") + "\\FILE.DAT", 0, Aborted},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ClearRecordedBoxes();
    WindowWatch watch;
    const std::string from = c.source + '\0', to = c.destination + '\0';
    EXPECT_EQ(CopyWithShell(nullptr, from.c_str(), to.c_str(), c.folder), c.result);
    EXPECT_EQ(watch.Stop(), std::vector<std::string>{});
    EXPECT_TRUE(RecordedBoxes().empty());
  }
}

}  // namespace
