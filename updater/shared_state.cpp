#include "updater/shared_state.h"

#include <stdarg.h>
#include <stdio.h>

char WindowTitle[kTextSize] = "UPDATE";
PlatWindow WizardWindow = nullptr;
GameIdentityRecord GameIdentity;

void ReportUpdateError(const char* text) {
  PlatMessageBox(WizardWindow, text, WindowTitle, PlatMbIconError);
}

void SetInfoText(PlatWindow dialog, const char* format, ...) {
  char text[kTextSize];
  va_list values;
  va_start(values, format);
  vsnprintf(text, sizeof text, format, values);
  va_end(values);
  PlatSetDlgItemText(dialog, kInfoText, text);
}

void EnableControl(PlatWindow dialog, int32_t id, int32_t enable) {
  PlatEnableWindow(PlatGetDlgItem(dialog, id), enable);
}
