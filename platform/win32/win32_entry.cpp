// The process's entry on Windows: the system's WinMain, which hands the updater's own entry
// (UpdaterMain, updater/startup.h) the instance in the platform interface's opaque type, so that
// the same start-up runs in the host tests.
#include <windows.h>

#include "updater/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
  return UpdaterMain(reinterpret_cast<PlatModule>(instance), reinterpret_cast<PlatModule>(previous),
                     commandLine, showCommand);
}
