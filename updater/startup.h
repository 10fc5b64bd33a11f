// Start-up: the updater's entry point, the settings it collects, and the small routines it shares
// with the update run.
//
// UpdaterMain is the updater's WinMain: the system's entry point (platform/win32/win32_entry.cpp)
// hands it the instance and returns its result as the process's exit code. It runs start-up
// strictly in order: COM, the package resource UPDATE/102 and its directory, the script
// UPDATE.INI unpacked into the temporary folder (as UPDATE-<process id>.INI, so that no other
// copy's run can touch it), the script's [SETUP] keys, the installation's registry key
// HKCU\Software\<CompanyName>\<GameDir> (InstPath, and DataPath when present, must be full
// paths), the script's start-up message, SETUP.INI in the installation folder, the window title,
// the refusal to run beside another copy or the running game, and the wizard. It returns the
// process's exit code: 1 only when the wizard ended through its final button after a completed
// update, 0 on every other way out. Every way out first calls ReleasePackage. The command line
// and show command are not used. Each failure is told to the user once, by the step that found
// it; start-up never writes into the installation itself (the wizard's update run does) and never
// writes the registry.
//
// LoadResourceBlock returns the bytes of the resource `id` of `type` in `module` and stores its
// size, or returns none, leaving `size` untouched, when it is missing, empty or cannot be loaded.
// The bytes belong to the module and are never freed.
//
// AppendPathComponent joins `component` to the path in `path` (a buffer of `size` bytes): one
// backslash between them unless the path is empty or its last byte is a backslash or a slash,
// then the component, then two zero bytes (the one-name list form of the shell's copy). It
// returns 1, or 0 when the result and its two zero bytes would not fit, leaving `path` as it was.
// The separator test looks at the last byte only, as the update's scripts expect.
//
// ReleasePackage frees the package directory, if loaded, and deletes the file named by
// ScriptPath, whatever the outcome.
//
// ConvertUpdateMessage copies `message` into `out` (kTextSize bytes), turning each backslash that
// is a character of its own and is followed by the letter n into one carriage return; every other
// character, double-byte ones whole, is copied as it stands. The output is never longer than the
// input.
#ifndef UPDATER_STARTUP_H
#define UPDATER_STARTUP_H

#include <stdint.h>

#include "config/update_script.h"
#include "platform/platform.h"
#include "updater/shared_state.h"

constexpr uint32_t kPackageResourceId = 102;
constexpr uint32_t kWizardTemplateId = 101;
extern const char kPackageResourceType[];  // "UPDATE"

// What start-up collects: the optional keys of the script's [SETUP] section (the mandatory ones
// are GameIdentity, shared with SETUP.INI), then the installation's registry values.
struct UpdateSettingsRecord : ScriptSetupRecord {
  char InstPath[kPathSize];  // the installation folder, a full path once start-up has found it
  char DataPath[kPathSize];  // the data folder, a full path, or empty when the registry has none
  int32_t InstMode;          // selects the entries of the update plan
};

extern UpdateSettingsRecord UpdateSettings;
// The temporary copy of the update script; empty until start-up has joined it.
extern char ScriptPath[kPathSize];

int32_t UpdaterMain(PlatModule instance, PlatModule previous, const char* commandLine,
                    int32_t showCommand);

const void* LoadResourceBlock(PlatModule module, uint32_t id, const char* type, uint32_t* size);
int AppendPathComponent(char* path, uint32_t size, const char* component);
void ReleasePackage();
void ConvertUpdateMessage(const char* message, char* out);

// Puts every process-wide value of the updater back to its state at process start, for tests
// that run start-up many times in one process.
void ResetUpdaterState();

#endif
