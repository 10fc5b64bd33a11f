#include "updater/wizard.h"

#include <stdio.h>

#include "updater/shared_state.h"
#include "updater/update_run.h"

int32_t WizardPage = 0;
int32_t WizardBusy = 0;

namespace {

void PerformPageAction(PlatWindow dialog) {
  switch (WizardPage) {
    case 0:
      ShowConfirmPage(dialog);
      break;
    case 1:
      RunUpdate(dialog);
      break;
    case 2:
      PlatEndDialog(dialog, 0);
      break;
    default:
      break;
  }
}

// Next and Back. Back steps the page back two so that, with the step forward after the action,
// it ends one page back, having performed the action that leads there.
void HandlePagePress(PlatWindow dialog, bool back) {
  if (WizardBusy != 0) return;
  WizardBusy = 1;
  SetInfoText(dialog, "%s", "");
  if (back) WizardPage -= 2;
  PerformPageAction(dialog);
  WizardPage += 1;
  WizardBusy -= 1;
}

void HandleCommand(PlatWindow dialog, uint64_t command) {
  if (command == static_cast<uint64_t>(kNextButton)) {
    // The page after the update ends the wizard with 0, which says the update is complete: a Next
    // that reaches the disk-space warning, where the button is disabled, must not say so.
    if (WizardPage == 2 && !UpdateCompleted) return;
    HandlePagePress(dialog, false);
  } else if (command == static_cast<uint64_t>(kBackButton)) {
    HandlePagePress(dialog, true);
  } else if (command == static_cast<uint64_t>(kAbortButton)) {
    if (WizardBusy == 0) PlatEndDialog(dialog, -1);
  }
}

int32_t HandleSetCursor() {
  if (WizardBusy == 0) return 0;
  PlatSetCursor(PlatLoadSystemCursor(PlatIdcWait));
  return 1;
}

}  // namespace

void ShowWelcomePage(PlatWindow dialog) {
  WizardBusy = 0;
  WizardPage = 0;
  UpdateCompleted = 0;
  WizardWindow = dialog;
  PlatSetWindowText(dialog, WindowTitle);
  char text[kTextSize];
  snprintf(text, sizeof text, "「%s」のアップデートを開始します", GameIdentity.GameTitle);
  SetInfoText(dialog, "%s", text);
  EnableControl(dialog, kBackButton, 0);
  EnableControl(dialog, kNextButton, 1);
  EnableControl(dialog, kAbortButton, 1);
}

void ShowConfirmPage(PlatWindow dialog) {
  SetInfoText(dialog, "%s", "アップデートを実行します");
  EnableControl(dialog, kBackButton, 0);
  EnableControl(dialog, kNextButton, 1);
  EnableControl(dialog, kAbortButton, 1);
}

int32_t WizardDialogProc(PlatWindow dialog, uint32_t message, uint64_t first, int64_t) {
  switch (message) {
    case PlatWmSetCursor:
      return HandleSetCursor();
    case PlatWmInitDialog:
      // 0: the dialog manager leaves the keyboard focus alone.
      ShowWelcomePage(dialog);
      return 0;
    case PlatWmCommand:
      HandleCommand(dialog, first);
      return 0;
    default:
      return 0;
  }
}
