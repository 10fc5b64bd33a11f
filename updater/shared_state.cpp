#include "updater/shared_state.h"

char WindowTitle[kTextSize] = "UPDATE";
PlatWindow WizardWindow = nullptr;
GameIdentityRecord GameIdentity;

void ReportUpdateError(const char* text) {
  PlatMessageBox(WizardWindow, text, WindowTitle, PlatMbIconError);
}
