// The wizard: dialog template 101, three pages, the buttons Back, Next and Abort.
//
// WizardDialogProc is the dialog's procedure. WM_INITDIALOG shows the welcome page (and records
// the dialog in WizardWindow). A WM_COMMAND counts only when its whole first parameter is a
// button's id, that is with notification code 0. Next and Back empty the text area and perform
// the action that WizardPage selects after Back has stepped it back two (0 the confirmation page,
// 1 the update run, 2 the end of the dialog with 0, but only once the update has completed: on
// the disk-space warning a Next is ignored); Abort ends the dialog with -1. While a Next
// or Back press is being handled (WizardBusy nonzero), which includes the message loops of the
// update's boxes and of the shell's copy, every command is ignored and WM_SETCURSOR shows the
// wait cursor. It returns 1 only when it set the wait cursor for WM_SETCURSOR, 0 otherwise.
//
// ShowWelcomePage and ShowConfirmPage write the text area and set the buttons of their page.
#ifndef UPDATER_WIZARD_H
#define UPDATER_WIZARD_H

#include <stdint.h>

#include "platform/platform.h"

// The action of the next Next press: 0 the confirmation page, 1 the update, 2 the end of the
// dialog; any other value none.
extern int32_t WizardPage;
// Nonzero while a Next or Back press is being handled.
extern int32_t WizardBusy;

int32_t WizardDialogProc(PlatWindow dialog, uint32_t message, uint64_t first, int64_t second);
void ShowWelcomePage(PlatWindow dialog);
void ShowConfirmPage(PlatWindow dialog);

#endif
