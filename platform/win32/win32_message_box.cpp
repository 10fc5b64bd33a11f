// The real message box, kept apart so that test programs can link the recorder instead.
#include <windows.h>

#include "platform/platform.h"

int32_t PlatMessageBox(PlatWindow owner, const char* text, const char* caption, uint32_t style) {
  return MessageBoxA(reinterpret_cast<HWND>(owner), text, caption, style);
}
