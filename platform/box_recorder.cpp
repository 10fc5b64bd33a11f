#include "platform/box_recorder.h"

namespace {
std::vector<RecordedBox>& Boxes() {
  static std::vector<RecordedBox> boxes;
  return boxes;
}
std::vector<int32_t>& Answers() {
  static std::vector<int32_t> answers;
  return answers;
}
}  // namespace

void QueueBoxAnswers(const std::vector<int32_t>& answers) {
  Answers().insert(Answers().end(), answers.begin(), answers.end());
}

const std::vector<RecordedBox>& RecordedBoxes() { return Boxes(); }

void ClearRecordedBoxes() {
  Boxes().clear();
  Answers().clear();
}

int32_t RecordBox(PlatWindow owner, const char* text, const char* caption, uint32_t style) {
  Boxes().push_back(RecordedBox{owner, text ? text : "", caption ? caption : "", style});
  if (!Answers().empty()) {
    const int32_t answer = Answers().front();
    Answers().erase(Answers().begin());
    return answer;
  }
  return (style & 0x0F) == PlatMbOk ? PlatIdOk : PlatIdCancel;
}
