// Message boxes recorded instead of shown, for the tests of either backend.
//
// The host stand-in always records; a Windows test program links the recorder in place of the
// real MessageBoxA (target platform_box_recorder), so that no box ever waits for a click. Each
// box is recorded with its owner, text, caption and style, byte for byte, and answered from the
// front of a queue the test fills; with the queue empty a box with one button is answered
// PlatIdOk and any other PlatIdCancel, so a test never hangs.
#ifndef PLATFORM_BOX_RECORDER_H
#define PLATFORM_BOX_RECORDER_H

#include <stdint.h>

#include <string>
#include <vector>

#include "platform/platform.h"

struct RecordedBox {
  PlatWindow owner;
  std::string text;
  std::string caption;
  uint32_t style;
};

void QueueBoxAnswers(const std::vector<int32_t>& answers);
const std::vector<RecordedBox>& RecordedBoxes();
// Forgets the recorded boxes and the answers not yet used.
void ClearRecordedBoxes();

// Records one box and returns its answer: what PlatMessageBox does in a test program.
int32_t RecordBox(PlatWindow owner, const char* text, const char* caption, uint32_t style);

#endif
