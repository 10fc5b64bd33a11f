// Process-wide state shared by every subsystem, and the updater's error reporter.
//
// WindowTitle is the caption of the updater's message boxes and the wizard's title: "UPDATE"
// until start-up builds the real title. WizardWindow is the wizard dialog while it is open and
// none otherwise; it owns the message boxes of both error reporters.
//
// ReportUpdateError shows a text in a modal box with the error icon and one OK button, owned by
// WizardWindow and captioned WindowTitle, and returns when the box is closed.
//
// SetInfoText formats into a 1024-byte buffer (a longer text is cut, never written past it) and
// shows the result as the text of the wizard's text area, control 1001. A caller that shows a
// text it has already formatted passes it as the value of "%s", so that a percent sign in it
// stays as written. EnableControl enables or disables one control of the dialog.
//
// GameIdentity holds the game's four identity values, one storage for the update script's
// [SETUP] section and the installer's SETUP.INI: start-up fills it from the script (and finds the
// installation with it), and loading SETUP.INI then replaces all four, so every later reader sees
// SETUP.INI's values. The installer configuration and the update settings keep no copy of their
// own.
#ifndef UPDATER_SHARED_STATE_H
#define UPDATER_SHARED_STATE_H

#include "platform/platform.h"

constexpr int kTextSize = 1024;  // messages and long values
constexpr int kPathSize = 260;   // paths and single values

extern char WindowTitle[kTextSize];
extern PlatWindow WizardWindow;

struct GameIdentityRecord {
  char CompanyName[kPathSize];  // first name of the registry key Software\<CompanyName>\<GameDir>
  char GameTitle[kPathSize];
  char GameClass[kPathSize];    // window class of the running game
  char GameDir[kPathSize];
};
extern GameIdentityRecord GameIdentity;

// The wizard's controls (dialog template 101).
enum : int32_t {
  kNextButton = 1,    // IDOK
  kAbortButton = 2,   // IDCANCEL
  kBackButton = 4,
  kInfoText = 1001,
};

void ReportUpdateError(const char* text);
void SetInfoText(PlatWindow dialog, const char* format, ...) __attribute__((format(printf, 2, 3)));
void EnableControl(PlatWindow dialog, int32_t id, int32_t enable);

#endif
