// Windows, the modal dialog, message boxes, cursors and the scripted user of the stand-in.
//
// The one dialog the process shows is built as template 101 describes it: the title "UPDATE" and
// the controls Next (1), Abort (2), Back (4) and the text area (1001), all enabled. Its message
// loop, and the loop of every message box, take the test's steps in order (host_control.h), so a
// command can arrive while the dialog's procedure is still handling an earlier one, as it does on
// Windows while a box or the shell's copy runs a loop of its own.
#include <inttypes.h>
#include <stdio.h>

#include <string>

#include "platform/box_recorder.h"
#include "platform/host/host_state.h"
#include "platform/platform.h"

struct PlatCursorRecord {
  uint32_t id;
};

namespace {

const char kDialogClass[] = "#32770";

struct ControlSpec {
  int32_t id;
  const char* text;
};
const ControlSpec kTemplateControls[] = {
    {1, "次へ"}, {2, "中止"}, {4, "戻る"}, {1001, "Info"}};

PlatDialogProc gDialogProc = nullptr;
std::deque<PlatCursorRecord> gCursors;
PlatCursor gCursor = nullptr;

std::string Hex(uint64_t value) {
  char text[24];
  snprintf(text, sizeof text, "0x%" PRIX64, value);
  return text;
}

PlatWindowRecord* NewWindow(HostWindowKind kind, const std::string& name,
                            const std::string& className, const std::string& title,
                            PlatWindowRecord* parent = nullptr, int32_t id = 0) {
  PlatWindowRecord record;
  record.kind = kind;
  record.name = name;
  record.className = className;
  record.title = title;
  record.parent = parent;
  record.id = id;
  Host().windows.push_back(record);
  return &Host().windows.back();
}

// Whether a handle is one of the stand-in's windows: tests may pass made-up handles as owners.
bool Known(PlatWindow window) {
  if (window == nullptr) return false;
  for (const PlatWindowRecord& w : Host().windows) {
    if (&w == window) return true;
  }
  return false;
}

bool Alive(PlatWindow window) { return Known(window) && window->alive; }

PlatWindowRecord* ControlOf(PlatWindow dialog, int32_t id) {
  if (!Alive(dialog)) return nullptr;
  for (PlatWindowRecord& w : Host().windows) {
    if (w.alive && w.kind == HostWindowKind::Control && w.parent == dialog && w.id == id) return &w;
  }
  return nullptr;
}

std::string StepText(const HostStep& step) {
  const char* where = step.loop == HostLoop::Box ? " (in a box)"
                      : step.loop == HostLoop::Copy ? " (in the copy)"
                                                    : "";
  switch (step.kind) {
    case HostStepKind::Click:
      return "click " + std::to_string(step.value) + where;
    case HostStepKind::Command:
      return "command " + Hex(static_cast<uint64_t>(step.value)) + where;
    case HostStepKind::SetCursor:
      return std::string("setcursor") + where;
    case HostStepKind::Answer:
      return "answer " + std::to_string(step.value);
    case HostStepKind::CloseWindow:
      return "close " + step.text;
    case HostStepKind::Insert:
      // The disc by the name of its folder, which is all a transcript may depend on.
      return std::string("insert ") + step.letter + ": " + step.text.substr(step.text.rfind('/') + 1);
    case HostStepKind::Eject:
      return std::string("eject ") + step.letter + ":";
    case HostStepKind::SetFree:
      return std::string("free ") + step.letter + ": " + std::to_string(step.value);
  }
  return "?";
}

bool IsWindowStep(const HostStep& step) {
  return step.kind == HostStepKind::Click || step.kind == HostStepKind::Command ||
         step.kind == HostStepKind::SetCursor;
}

bool IsEnvironmentStep(const HostStep& step) {
  return step.kind == HostStepKind::CloseWindow || step.kind == HostStepKind::Insert ||
         step.kind == HostStepKind::Eject || step.kind == HostStepKind::SetFree;
}

// Whether a loop of `loop` takes the step (an Answer is the box's own business).
bool Belongs(const HostStep& step, HostLoop loop) {
  if (IsWindowStep(step)) return step.loop == loop;
  if (IsEnvironmentStep(step)) return loop == HostLoop::Top || loop == HostLoop::Box;
  return false;
}

void DeliverWindowStep(const HostStep& step) {
  PlatWindowRecord* dialog = Host().dialog;
  if (dialog == nullptr || gDialogProc == nullptr) {
    HostRecord("! no dialog for " + StepText(step));
    return;
  }
  switch (step.kind) {
    case HostStepKind::Click: {
      PlatWindowRecord* control = ControlOf(dialog, static_cast<int32_t>(step.value));
      if (control == nullptr) {
        HostRecord("! no control " + std::to_string(step.value));
      } else if (!control->enabled || !dialog->enabled) {
        // A person cannot click a disabled button, nor one of a window disabled under a box.
        HostRecord("! control " + std::to_string(step.value) + " is disabled");
      } else {
        gDialogProc(dialog, PlatWmCommand, static_cast<uint64_t>(step.value),
                    static_cast<int64_t>(reinterpret_cast<intptr_t>(control)));
      }
      break;
    }
    case HostStepKind::Command:
      gDialogProc(dialog, PlatWmCommand, static_cast<uint64_t>(step.value), 0);
      break;
    case HostStepKind::SetCursor: {
      // HTCLIENT over the dialog, for a mouse move.
      const int32_t handled = gDialogProc(dialog, PlatWmSetCursor,
                                          static_cast<uint64_t>(reinterpret_cast<intptr_t>(dialog)),
                                          1 | (0x0200 << 16));
      HostRecord("= " + std::to_string(handled));
      break;
    }
    default:
      break;
  }
}

void ApplyEnvironmentStep(const HostStep& step) {
  switch (step.kind) {
    case HostStepKind::CloseWindow:
      for (PlatWindowRecord& w : Host().windows) {
        if (w.alive && w.kind == HostWindowKind::External && w.name == step.text) w.alive = false;
      }
      break;
    case HostStepKind::Insert:
      HostSetDriveMedium(step.letter, step.text);
      break;
    case HostStepKind::Eject:
      HostSetDriveMedium(step.letter, "");
      break;
    case HostStepKind::SetFree:
      HostSetFreeBytes(step.letter, static_cast<uint64_t>(step.value));
      break;
    default:
      break;
  }
}

void TakeStep(const HostStep& step) {
  HostRecord("> " + StepText(step));
  if (IsWindowStep(step)) {
    DeliverWindowStep(step);
  } else {
    ApplyEnvironmentStep(step);
  }
}

// A message box's loop: the steps meant for it, then its answer; without one, the default.
int32_t RunBoxSteps(bool* answered) {
  std::deque<HostStep>& steps = Host().steps;
  *answered = false;
  for (;;) {
    if (steps.empty()) {
      HostRecord("! the box waits with no step left");
      return 0;
    }
    const HostStep step = steps.front();
    if (step.kind == HostStepKind::Answer) {
      steps.pop_front();
      *answered = true;
      return static_cast<int32_t>(step.value);
    }
    if (!Belongs(step, HostLoop::Box)) {
      HostRecord("! the box waits for an answer, not " + StepText(step));
      return 0;
    }
    steps.pop_front();
    TakeStep(step);
  }
}

bool TitleMatches(const PlatWindowRecord& w, const char* title) {
  return title == nullptr || PlatCompareNoCase(w.title.c_str(), title) == 0;
}

// Top-level windows, the latest first, as the system's z-order would have them.
PlatWindow FindTopLevel(const char* className, const char* title) {
  std::deque<PlatWindowRecord>& windows = Host().windows;
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    if (!it->alive || it->kind == HostWindowKind::Control) continue;
    if (PlatCompareNoCase(it->className.c_str(), className) == 0 && TitleMatches(*it, title)) {
      return &*it;
    }
  }
  return nullptr;
}

std::string ControlName(PlatWindow window) {
  if (Known(window) && window->kind == HostWindowKind::Control) {
    return std::to_string(window->id);
  }
  return HostWindowName(window);
}

}  // namespace

void HostRecord(const std::string& line) { Host().transcript.push_back(line); }

namespace {

// "LABEL | TEXT", or "LABEL |" for an empty text, so that no line ends in a space.
std::string Labelled(const std::string& label, const std::string& text) {
  return text.empty() ? label + " |" : label + " | " + text;
}

}  // namespace

const std::vector<std::string>& HostTranscript() { return Host().transcript; }

std::string HostWindowName(PlatWindow window) {
  if (window == nullptr) return "none";
  if (!Known(window)) return "window " + Hex(reinterpret_cast<uintptr_t>(window));
  std::string name;
  switch (window->kind) {
    case HostWindowKind::Dialog:
      name = "wizard";
      break;
    case HostWindowKind::Control:
      name = "control " + std::to_string(window->id);
      break;
    case HostWindowKind::Box:
      name = "box";
      break;
    case HostWindowKind::External:
      name = window->name;
      break;
  }
  return window->alive ? name : name + " (closed)";
}

PlatWindow HostAddWindow(const std::string& name, const std::string& className,
                         const std::string& title) {
  return NewWindow(HostWindowKind::External, name, className, title);
}

void HostFailDialogCreation() { Host().failDialog = true; }

void HostQueueSteps(const std::vector<HostStep>& steps) {
  Host().steps.insert(Host().steps.end(), steps.begin(), steps.end());
}

size_t HostStepsLeft() { return Host().steps.size(); }

void HostRunCopySteps() {
  std::deque<HostStep>& steps = Host().steps;
  while (!steps.empty() && Belongs(steps.front(), HostLoop::Copy)) {
    const HostStep step = steps.front();
    steps.pop_front();
    TakeStep(step);
  }
}

int32_t PlatMessageBox(PlatWindow owner, const char* text, const char* caption, uint32_t style) {
  HostRecord(Labelled("box " + HostWindowName(owner) + " " + Hex(style) + " | " +
                          (caption ? caption : ""),
                      text ? text : ""));
  PlatWindowRecord* box = NewWindow(HostWindowKind::Box, "box", kDialogClass, caption ? caption : "");
  // While the box is up its owner takes no clicks; its messages still arrive.
  const bool ownerWasEnabled = Alive(owner) && owner->enabled;
  if (Alive(owner)) owner->enabled = false;
  bool answered = false;
  const int32_t scripted = RunBoxSteps(&answered);
  const int32_t recorded = RecordBox(owner, text, caption, style);
  const int32_t answer = answered ? scripted : recorded;
  if (Alive(owner)) owner->enabled = ownerWasEnabled;
  box->alive = false;
  HostRecord("answer " + std::to_string(answer));
  return answer;
}

PlatWindow PlatFindWindow(const char* className, const char* title) {
  if (className == nullptr) return nullptr;
  return FindTopLevel(className, title);
}

PlatWindow PlatFindDialogWindow(const char* title) { return FindTopLevel(kDialogClass, title); }

int PlatShowWindow(PlatWindow window, int32_t command) {
  HostRecord("show " + HostWindowName(window) +
             (command == PlatSwShow ? "" : " " + std::to_string(command)));
  return Alive(window) ? 1 : 0;
}

int PlatSetForegroundWindow(PlatWindow window) {
  HostRecord("foreground " + HostWindowName(window));
  return Alive(window) ? 1 : 0;
}

int64_t PlatDialogBox(PlatModule module, uint32_t templateId, PlatDialogProc proc, int64_t param) {
  HostState& h = Host();
  if (h.failDialog || module != HostModule() || templateId != 101 || h.dialog != nullptr) {
    h.failDialog = false;
    HostRecord("dialog cannot be created");
    return -1;
  }
  PlatWindowRecord* dialog = NewWindow(HostWindowKind::Dialog, "wizard", kDialogClass, "UPDATE");
  for (const ControlSpec& control : kTemplateControls) {
    NewWindow(HostWindowKind::Control, "", "", control.text, dialog, control.id);
  }
  h.dialog = dialog;
  h.dialogEnded = false;
  h.dialogResult = 0;
  PlatDialogProc outer = gDialogProc;
  gDialogProc = proc;
  HostRecord("dialog open");
  // A nonzero answer asks the dialog manager for the default focus: the first control that
  // takes the tab key, Next.
  if (proc(dialog, PlatWmInitDialog, 0, param) != 0) HostRecord("focus 1");
  while (!h.dialogEnded) {
    if (h.steps.empty()) {
      HostRecord("! the dialog waits with no step left");
      h.dialogEnded = true;
      h.dialogResult = -1;
      break;
    }
    const HostStep step = h.steps.front();
    h.steps.pop_front();
    if (!Belongs(step, HostLoop::Top)) {
      HostRecord("! out of place: " + StepText(step));
      continue;
    }
    TakeStep(step);
  }
  gDialogProc = outer;
  for (PlatWindowRecord& w : h.windows) {
    if (&w == dialog || w.parent == dialog) w.alive = false;
  }
  h.dialog = nullptr;
  HostRecord("dialog ends " + std::to_string(h.dialogResult));
  return h.dialogResult;
}

int PlatEndDialog(PlatWindow dialog, int64_t result) {
  HostRecord("end dialog " + std::to_string(result));
  HostState& h = Host();
  if (dialog == nullptr || dialog != h.dialog) return 0;
  h.dialogEnded = true;
  h.dialogResult = result;
  return 1;
}

int PlatSetWindowText(PlatWindow window, const char* text) {
  if (!Alive(window)) return 0;
  window->title = text;
  HostRecord(window->kind == HostWindowKind::Dialog
                 ? Labelled("title", window->title)
                 : Labelled("title " + HostWindowName(window), window->title));
  return 1;
}

int PlatSetDlgItemText(PlatWindow dialog, int32_t id, const char* text) {
  PlatWindowRecord* control = ControlOf(dialog, id);
  if (control == nullptr) return 0;
  control->title = text;
  HostRecord(id == 1001 ? Labelled("text", control->title)
                        : Labelled("item " + std::to_string(id), control->title));
  return 1;
}

PlatWindow PlatGetDlgItem(PlatWindow dialog, int32_t id) { return ControlOf(dialog, id); }

int PlatEnableWindow(PlatWindow window, int32_t enable) {
  if (!Alive(window)) return 0;
  window->enabled = enable != 0;
  HostRecord("enable " + ControlName(window) + (enable ? " on" : " off"));
  return 1;
}

PlatWindow PlatSetFocus(PlatWindow window) {
  HostRecord("focus " + ControlName(window));
  return nullptr;
}

PlatCursor PlatLoadSystemCursor(uint32_t id) {
  for (PlatCursorRecord& c : gCursors) {
    if (c.id == id) return &c;
  }
  gCursors.push_back(PlatCursorRecord{id});
  return &gCursors.back();
}

PlatCursor PlatSetCursor(PlatCursor cursor) {
  const char* name = cursor == nullptr           ? "none"
                     : cursor->id == PlatIdcWait  ? "wait"
                     : cursor->id == PlatIdcArrow ? "arrow"
                                                  : nullptr;
  HostRecord(std::string("cursor ") + (name ? name : Hex(cursor->id)));
  PlatCursor before = gCursor;
  gCursor = cursor;
  return before;
}
