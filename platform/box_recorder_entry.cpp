// The message box of a Windows test program: recorded and answered, never shown. (The host
// stand-in has a message box of its own, which also runs the scripted steps of its loop.)
#include "platform/box_recorder.h"

int32_t PlatMessageBox(PlatWindow owner, const char* text, const char* caption, uint32_t style) {
  return RecordBox(owner, text, caption, style);
}
