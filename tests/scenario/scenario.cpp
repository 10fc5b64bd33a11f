#include "tests/scenario/scenario.h"

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

const char* const kControlNames[32] = {
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, "TAB",   "LF",    nullptr, nullptr, "CR",    nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

std::string HexByte(uint8_t b) {
  char text[8];
  snprintf(text, sizeof text, "{x%02X}", b);
  return text;
}

bool IsLead(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool IsTrail(uint8_t c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// A character of code page 932 in UTF-8 when it converts and comes back as the same bytes, so
// that the notation never merges two byte sequences into one text.
bool RoundTrips(const std::string& bytes, std::string* utf8) {
  std::string back;
  return Cp932ToUtf8(bytes, utf8) && Utf8ToCp932(*utf8, &back) && back == bytes;
}

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  std::string word;
  while (in >> word) words.push_back(word);
  return words;
}

// The text after the first `count` words of `line`.
std::string RestAfter(const std::string& line, size_t count) {
  size_t at = 0;
  for (size_t i = 0; i < count; i++) {
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) at++;
    while (at < line.size() && line[at] != ' ' && line[at] != '\t') at++;
  }
  while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) at++;
  return line.substr(at);
}

bool ParseNumber(const std::string& text, int64_t* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long long n = strtoll(text.c_str(), &end, 0);
  if (end == nullptr || *end != '\0') return false;
  *out = n;
  return true;
}

template <typename T, typename Pred>
void EraseIf(std::vector<T>& items, Pred pred) {
  items.erase(std::remove_if(items.begin(), items.end(), pred), items.end());
}

int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

struct Parser {
  Scenario* scenario;
  std::string* error;
  std::string file;
  int line = 0;
  std::string currentKey;
  // The block that `|` lines go to, if any.
  std::string* block = nullptr;
  std::vector<std::string>* blockLines = nullptr;

  bool Fail(const std::string& why) {
    *error = file + ":" + std::to_string(line) + ": " + why;
    return false;
  }

  bool Text(const std::string& text, std::string* bytes) {
    std::string why;
    if (!DecodeNotation(text, bytes, &why)) return Fail(why);
    return true;
  }

  bool Time(const std::string& text, uint64_t* ticks) {
    if (!ParseScenarioTime(text, ticks)) return Fail("not a time: " + text);
    return true;
  }

  // Content options shared by files and members: "text REST", "bytes N CHAR", or a block.
  // Returns false on a fault; `used` tells whether a word began one of them.
  bool Content(const std::string& lineText, const std::vector<std::string>& words, size_t at,
               std::string* content, bool* used, size_t* next) {
    *used = false;
    *next = at;
    if (words[at] == "text") {
      *used = true;
      *next = words.size();
      return Text(RestAfter(lineText, at + 1), content);
    }
    if (words[at] == "bytes") {
      int64_t count = 0;
      if (at + 2 >= words.size() || !ParseNumber(words[at + 1], &count) || count < 0 ||
          count > (64 << 20) || words[at + 2].size() != 1) {
        return Fail("bytes takes a count and one character");
      }
      *content = std::string(static_cast<size_t>(count), words[at + 2][0]);
      *used = true;
      *next = at + 3;
      return true;
    }
    return true;
  }

  bool Drive(const std::vector<std::string>& w) {
    if (w.size() < 3 || w[1].size() != 1 || !isalpha(static_cast<unsigned char>(w[1][0]))) {
      return Fail("drive takes a letter and a type");
    }
    ScenarioDrive d;
    d.letter = static_cast<char>(toupper(static_cast<unsigned char>(w[1][0])));
    if (w[2] == "fixed") {
      d.type = ScenarioDriveType::Fixed;
    } else if (w[2] == "cdrom") {
      d.type = ScenarioDriveType::Cdrom;
    } else if (w[2] == "removable") {
      d.type = ScenarioDriveType::Removable;
    } else if (w[2] == "remote") {
      d.type = ScenarioDriveType::Remote;
    } else {
      return Fail("unknown drive type " + w[2]);
    }
    for (size_t i = 3; i < w.size(); i += 2) {
      if (i + 1 >= w.size()) return Fail("drive option without a value: " + w[i]);
      int64_t n = 0;
      if (w[i] == "free" && ParseNumber(w[i + 1], &n) && n >= 0) {
        d.freeBytes = static_cast<uint64_t>(n);
      } else if (w[i] == "disc") {
        d.disc = w[i + 1];
      } else {
        return Fail("unknown drive option " + w[i]);
      }
    }
    for (ScenarioDrive& old : scenario->drives) {
      if (old.letter == d.letter) {
        old = d;
        return true;
      }
    }
    scenario->drives.push_back(d);
    return true;
  }

  bool Value(const std::string& lineText, const std::vector<std::string>& w) {
    if (currentKey.empty()) return Fail("value before any registry key");
    if (w.size() < 3) return Fail("value takes a name and a type");
    ScenarioValue v;
    v.key = currentKey;
    if (!Text(w[1], &v.name)) return false;
    const std::string& type = w[2];
    if (type == "sz" || type == "sz-raw") {
      v.type = 1;
      if (!Text(RestAfter(lineText, 3), &v.data)) return false;
      if (type == "sz") v.data.push_back('\0');
    } else if (type == "dword") {
      int64_t n = 0;
      if (w.size() != 4 || !ParseNumber(w[3], &n)) return Fail("dword takes a number");
      v.type = 4;
      const uint32_t u = static_cast<uint32_t>(n);
      for (int i = 0; i < 4; i++) v.data.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
    } else if (type == "hex") {
      v.type = 3;
      for (size_t i = 3; i < w.size(); i++) {
        int64_t n = 0;
        if (!ParseNumber("0x" + w[i], &n) || n < 0 || n > 255) return Fail("not a byte: " + w[i]);
        v.data.push_back(static_cast<char>(n));
      }
    } else if (type == "fill") {
      int64_t n = 0;
      if (w.size() != 5 || !ParseNumber(w[3], &n) || n < 0 || n > 65536 || w[4].size() != 1) {
        return Fail("fill takes a count and one character");
      }
      v.type = 1;
      v.data = std::string(static_cast<size_t>(n), w[4][0]);
    } else {
      return Fail("unknown value type " + type);
    }
    scenario->registry.push_back(v);
    return true;
  }

  bool Member(const std::string& lineText, const std::vector<std::string>& w) {
    if (w.size() < 2) return Fail("member takes a name");
    ScenarioMember m;
    if (!Text(w[1], &m.name)) return false;
    for (size_t i = 2; i < w.size();) {
      bool used = false;
      size_t next = i;
      if (!Content(lineText, w, i, &m.content, &used, &next)) return false;
      if (used) {
        i = next;
      } else if (w[i] == "time" && i + 1 < w.size()) {
        if (!Time(w[i + 1], &m.time)) return false;
        i += 2;
      } else if (w[i] == "compressed") {
        m.compressed = true;
        i++;
      } else {
        return Fail("unknown member option " + w[i]);
      }
    }
    for (ScenarioMember& old : scenario->members) {
      if (old.name == m.name) {
        old = m;
        StartBlock(&old.content);
        return true;
      }
    }
    scenario->members.push_back(m);
    StartBlock(&scenario->members.back().content);
    return true;
  }

  bool File(const std::string& lineText, const std::vector<std::string>& w, bool directory) {
    if (w.size() < 2) return Fail("file takes a path");
    ScenarioFile f;
    f.directory = directory;
    if (!Text(w[1], &f.path)) return false;
    for (size_t i = 2; i < w.size();) {
      bool used = false;
      size_t next = i;
      if (!directory && !Content(lineText, w, i, &f.content, &used, &next)) return false;
      if (used) {
        i = next;
      } else if (w[i] == "time" && i + 1 < w.size()) {
        if (!Time(w[i + 1], &f.time)) return false;
        i += 2;
      } else if (w[i] == "readonly") {
        f.readOnly = true;
        i++;
      } else if (w[i] == "locked" && !directory) {
        f.locked = true;
        i++;
      } else {
        return Fail("unknown file option " + w[i]);
      }
    }
    for (ScenarioFile& old : scenario->files) {
      if (old.path == f.path) {
        old = f;
        if (!directory) StartBlock(&old.content);
        return true;
      }
    }
    scenario->files.push_back(f);
    if (!directory) StartBlock(&scenario->files.back().content);
    return true;
  }

  bool Step(const std::vector<std::string>& w) {
    ScenarioStep s;
    size_t i = 1;
    if (i < w.size() && w[i] == "in-box") {
      s.loop = ScenarioLoop::Box;
      i++;
    } else if (i < w.size() && w[i] == "in-copy") {
      s.loop = ScenarioLoop::Copy;
      i++;
    }
    if (i >= w.size()) return Fail("step without an action");
    const std::string& action = w[i];
    const size_t args = w.size() - i - 1;
    const bool windowStep = action == "click" || action == "command" || action == "setcursor";
    if (!windowStep && s.loop != ScenarioLoop::Top) {
      return Fail("only click, command and setcursor take in-box or in-copy");
    }
    if (action == "click" || action == "command") {
      s.kind = action == "click" ? ScenarioStepKind::Click : ScenarioStepKind::Command;
      if (args != 1 || !ParseNumber(w[i + 1], &s.value)) return Fail(action + " takes a number");
    } else if (action == "setcursor") {
      s.kind = ScenarioStepKind::SetCursor;
      if (args != 0) return Fail("setcursor takes nothing");
    } else if (action == "answer") {
      s.kind = ScenarioStepKind::Answer;
      if (args != 1) return Fail("answer takes OK, CANCEL or a number");
      if (w[i + 1] == "OK") {
        s.value = 1;
      } else if (w[i + 1] == "CANCEL") {
        s.value = 2;
      } else if (!ParseNumber(w[i + 1], &s.value)) {
        return Fail("answer takes OK, CANCEL or a number");
      }
    } else if (action == "close") {
      s.kind = ScenarioStepKind::Close;
      if (args != 1) return Fail("close takes a window's name");
      s.text = w[i + 1];
    } else if (action == "insert" || action == "eject") {
      s.kind = action == "insert" ? ScenarioStepKind::Insert : ScenarioStepKind::Eject;
      if (args != (action == "insert" ? 2u : 1u) || w[i + 1].size() != 1) {
        return Fail(action + " takes a drive letter" + (action == "insert" ? " and a disc" : ""));
      }
      s.letter = static_cast<char>(toupper(static_cast<unsigned char>(w[i + 1][0])));
      if (action == "insert") s.text = w[i + 2];
    } else if (action == "free") {
      s.kind = ScenarioStepKind::SetFree;
      if (args != 2 || w[i + 1].size() != 1 || !ParseNumber(w[i + 2], &s.value) || s.value < 0) {
        return Fail("free takes a drive letter and a number of bytes");
      }
      s.letter = static_cast<char>(toupper(static_cast<unsigned char>(w[i + 1][0])));
    } else {
      return Fail("unknown step " + action);
    }
    scenario->steps.push_back(s);
    return true;
  }

  bool Expect(const std::string& lineText, const std::vector<std::string>& w) {
    if (w.size() == 1) {
      if (!scenario->transcript.empty()) return Fail("a second transcript");
      blockLines = &scenario->transcript;
      return true;
    }
    ScenarioExpectedFile e;
    if (w.size() < 3) return Fail("expect takes file, dir or absent and a path");
    if (!Text(w[2], &e.path)) return false;
    if (w[1] == "absent" || w[1] == "dir") {
      if (w.size() != 3) return Fail("expect " + w[1] + " takes only a path");
      e.kind = w[1] == "absent" ? ScenarioExpectedFile::Absent : ScenarioExpectedFile::Directory;
      scenario->expectedFiles.push_back(e);
      return true;
    }
    if (w[1] != "file") return Fail("unknown expectation " + w[1]);
    for (size_t i = 3; i < w.size();) {
      bool used = false;
      size_t next = i;
      if (!Content(lineText, w, i, &e.content, &used, &next)) return false;
      if (used) {
        e.checkContent = true;
        i = next;
      } else if (w[i] == "member" && i + 1 < w.size()) {
        std::string name;
        if (!Text(w[i + 1], &name)) return false;
        const ScenarioMember* found = nullptr;
        for (const ScenarioMember& m : scenario->members) {
          if (m.name == name) found = &m;
        }
        if (found == nullptr) return Fail("no member " + w[i + 1] + " so far");
        e.checkContent = true;
        e.content = found->content;
        e.writeTime = ScenarioExpectedFile::Exactly;
        e.writeTicks = found->time;
        e.allTimes = true;
        i += 2;
      } else if ((w[i] == "time" || w[i] == "times") && i + 1 < w.size()) {
        e.allTimes = w[i] == "times";
        if (w[i + 1] == "now") {
          if (e.allTimes) return Fail("times takes a date, not now");
          e.writeTime = ScenarioExpectedFile::Now;
        } else {
          if (!Time(w[i + 1], &e.writeTicks)) return false;
          e.writeTime = ScenarioExpectedFile::Exactly;
        }
        i += 2;
      } else if (w[i] == "readonly") {
        e.readOnly = true;
        i++;
      } else {
        return Fail("unknown expectation option " + w[i]);
      }
    }
    scenario->expectedFiles.push_back(e);
    if (!e.checkContent) {
      ScenarioExpectedFile& added = scenario->expectedFiles.back();
      block = &added.content;
      // A block after it gives the content.
      pendingExpect = &added;
    }
    return true;
  }

  ScenarioExpectedFile* pendingExpect = nullptr;

  void StartBlock(std::string* content) {
    block = content;
  }

  bool BlockLine(const std::string& text) {
    std::string rest = text.substr(1);
    if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
    if (blockLines != nullptr) {
      blockLines->push_back(rest);
      return true;
    }
    if (block == nullptr) return Fail("a | line that belongs to nothing");
    std::string bytes;
    if (!Text(rest, &bytes)) return false;
    // Lines of a file end with CR LF, as the system's text files do.
    *block += bytes + "\r\n";
    if (pendingExpect != nullptr) pendingExpect->checkContent = true;
    return true;
  }

  // Takes back something an included file gave: a member, a file or folder, a registry value of
  // the current key, or a whole key with its values.
  bool Remove(const std::string& lineText, const std::vector<std::string>& w) {
    if (w.size() < 3) return Fail("remove takes member, file, value or key and a name");
    std::string name;
    if (!Text(w[1] == "key" ? RestAfter(lineText, 2) : w[2], &name)) return false;
    size_t before = 0, after = 0;
    if (w[1] == "member") {
      before = scenario->members.size();
      EraseIf(scenario->members, [&](const ScenarioMember& m) { return m.name == name; });
      after = scenario->members.size();
    } else if (w[1] == "file") {
      before = scenario->files.size();
      EraseIf(scenario->files, [&](const ScenarioFile& f) { return f.path == name; });
      after = scenario->files.size();
    } else if (w[1] == "value") {
      before = scenario->registry.size();
      EraseIf(scenario->registry, [&](const ScenarioValue& v) {
        return v.key == currentKey && !v.name.empty() && v.name == name;
      });
      after = scenario->registry.size();
    } else if (w[1] == "key") {
      before = scenario->registry.size();
      EraseIf(scenario->registry, [&](const ScenarioValue& v) { return v.key == name; });
      after = scenario->registry.size();
      if (currentKey == name) currentKey.clear();
    } else {
      return Fail("remove takes member, file, value or key");
    }
    if (before == after) return Fail("nothing to remove: " + w[2]);
    return true;
  }

  bool Directive(const std::string& lineText);
  bool ParseFile(const std::string& path, int depth);
};

bool Parser::Directive(const std::string& lineText) {
  const std::vector<std::string> w = Split(lineText);
  block = nullptr;
  blockLines = nullptr;
  pendingExpect = nullptr;
  const std::string& what = w[0];
  if (what == "include") {
    if (w.size() != 2) return Fail("include takes a file");
    const size_t slash = file.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : file.substr(0, slash + 1);
    const std::string outerFile = file;
    const int outerLine = line;
    const bool ok = ParseFile(folder + w[1], 1);
    file = outerFile;
    line = outerLine;
    return ok;
  }
  if (what == "title") {
    scenario->title = RestAfter(lineText, 1);
    return true;
  }
  if (what == "drive") return Drive(w);
  if (what == "temp") {
    if (w.size() != 2) return Fail("temp takes a path or none");
    scenario->tempSet = w[1] != "none";
    scenario->tempPath.clear();
    return !scenario->tempSet || Text(w[1], &scenario->tempPath);
  }
  if (what == "registry") {
    if (w.size() < 2) return Fail("registry takes a key path");
    if (!Text(RestAfter(lineText, 1), &currentKey)) return false;
    ScenarioValue key;
    key.key = currentKey;
    scenario->registry.push_back(key);
    return true;
  }
  if (what == "value") return Value(lineText, w);
  if (what == "member") return Member(lineText, w);
  if (what == "package") {
    if (w.size() < 2) return Fail("package takes members, none, empty, fail-load, fail-lock or hex");
    scenario->rawPackage.clear();
    if (w[1] == "members") {
      scenario->package = ScenarioPackage::Members;
    } else if (w[1] == "none") {
      scenario->package = ScenarioPackage::None;
    } else if (w[1] == "empty") {
      scenario->package = ScenarioPackage::Empty;
    } else if (w[1] == "fail-load") {
      scenario->package = ScenarioPackage::FailLoad;
    } else if (w[1] == "fail-lock") {
      scenario->package = ScenarioPackage::FailLock;
    } else if (w[1] == "hex") {
      scenario->package = ScenarioPackage::Raw;
      for (size_t i = 2; i < w.size(); i++) {
        int64_t n = 0;
        if (!ParseNumber("0x" + w[i], &n) || n < 0 || n > 255) return Fail("not a byte: " + w[i]);
        scenario->rawPackage.push_back(static_cast<char>(n));
      }
    } else {
      return Fail("unknown package " + w[1]);
    }
    return true;
  }
  if (what == "file") return File(lineText, w, false);
  if (what == "dir") return File(lineText, w, true);
  if (what == "window") {
    if (w.size() < 4) return Fail("window takes a name, a class and a title");
    ScenarioWindow win;
    win.name = w[1];
    if (!Text(w[2], &win.className) || !Text(RestAfter(lineText, 3), &win.title)) return false;
    scenario->windows.push_back(win);
    return true;
  }
  if (what == "step") return Step(w);
  if (what == "shell") {
    ScenarioShellOutcome o;
    int64_t n = 0;
    if (w.size() == 2 && w[1] == "copy") {
    } else if (w.size() == 2 && w[1] == "cancel") {
      o.aborted = true;
      o.result = 0x4C7;
    } else if (w.size() == 3 && w[1] == "fail" && ParseNumber(w[2], &n) && n != 0) {
      o.result = static_cast<int32_t>(n);
    } else {
      return Fail("shell takes copy, cancel or fail CODE");
    }
    scenario->shellOutcomes.push_back(o);
    return true;
  }
  if (what == "dialog") {
    if (w.size() != 2 || w[1] != "fails") return Fail("dialog takes fails");
    scenario->dialogFails = true;
    return true;
  }
  if (what == "freespace") {
    if (w.size() != 2 || w[1] != "unknown") return Fail("freespace takes unknown");
    scenario->freeSpaceUnknown = true;
    return true;
  }
  if (what == "expect") return Expect(lineText, w);
  if (what == "remove") return Remove(lineText, w);
  return Fail("unknown directive " + what);
}

bool Parser::ParseFile(const std::string& path, int depth) {
  if (depth > 4) return Fail("includes nested too deep");
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = path + ": cannot read the file";
    return false;
  }
  file = path;
  line = 0;
  std::string text;
  while (std::getline(in, text)) {
    line++;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    if (text[first] == '|') {
      if (!BlockLine(text.substr(first))) return false;
      continue;
    }
    if (text[first] == '#') continue;
    if (!Directive(text.substr(first))) return false;
  }
  block = nullptr;
  blockLines = nullptr;
  pendingExpect = nullptr;
  return true;
}

}  // namespace

bool DecodeNotation(const std::string& text, std::string* bytes, std::string* error) {
  bytes->clear();
  std::string plain;
  auto flush = [&]() {
    std::string converted;
    if (!Utf8ToCp932(plain, &converted)) {
      *error = "no code page 932 form: " + plain;
      return false;
    }
    *bytes += converted;
    plain.clear();
    return true;
  };
  for (size_t i = 0; i < text.size(); i++) {
    if (text[i] != '{') {
      plain += text[i];
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '{') {
      plain += '{';
      i++;
      continue;
    }
    const size_t close = text.find('}', i);
    if (close == std::string::npos) {
      *error = "an unclosed { in " + text;
      return false;
    }
    const std::string name = text.substr(i + 1, close - i - 1);
    if (!flush()) return false;
    if (name == "CR") {
      *bytes += '\r';
    } else if (name == "LF") {
      *bytes += '\n';
    } else if (name == "TAB") {
      *bytes += '\t';
    } else if (name == "SP") {
      *bytes += ' ';
    } else if (name.size() == 3 && name[0] == 'x' && isxdigit(static_cast<unsigned char>(name[1])) &&
               isxdigit(static_cast<unsigned char>(name[2]))) {
      *bytes += static_cast<char>(strtol(name.substr(1).c_str(), nullptr, 16));
    } else {
      *error = "unknown {" + name + "} in " + text;
      return false;
    }
    i = close;
  }
  return flush();
}

std::string EncodeNotation(const std::string& bytes) {
  std::string out;
  size_t i = 0;
  while (i < bytes.size()) {
    const uint8_t c = static_cast<uint8_t>(bytes[i]);
    if (c < 0x20 || c == 0x7F) {
      out += (c < 0x20 && kControlNames[c] != nullptr) ? std::string("{") + kControlNames[c] + "}"
                                                       : HexByte(c);
      i++;
    } else if (c == '{') {
      out += "{{";
      i++;
    } else if (c < 0x80) {
      // A space at the end of a line could be lost by an editor.
      out += (c == ' ' && i + 1 == bytes.size()) ? std::string("{SP}") : std::string(1, bytes[i]);
      i++;
    } else {
      const bool pair = IsLead(c) && i + 1 < bytes.size() && IsTrail(static_cast<uint8_t>(bytes[i + 1]));
      const std::string character = bytes.substr(i, pair ? 2 : 1);
      std::string utf8;
      if ((pair || (c >= 0xA1 && c <= 0xDF)) && RoundTrips(character, &utf8)) {
        out += utf8;
      } else {
        for (char b : character) out += HexByte(static_cast<uint8_t>(b));
      }
      i += character.size();
    }
  }
  return out;
}

bool ParseScenarioTime(const std::string& text, uint64_t* ticks) {
  int y, mo, d, h, mi, s;
  char tail = 0;
  if (sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2dZ%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6 ||
      y < 1601 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59 ||
      h < 0 || mi < 0 || s < 0) {
    return false;
  }
  const int64_t days = DaysFromCivil(y, mo, d) - DaysFromCivil(1601, 1, 1);
  const int64_t seconds = days * 86400 + h * 3600 + mi * 60 + s;
  *ticks = static_cast<uint64_t>(seconds) * 10000000ull;
  return true;
}

bool ParseScenario(const std::string& path, Scenario* scenario, std::string* error) {
  *scenario = Scenario();
  scenario->file = path;
  Parser parser;
  parser.scenario = scenario;
  parser.error = error;
  if (!parser.ParseFile(path, 0)) return false;
  if (scenario->transcript.empty()) {
    *error = path + ": no expected transcript";
    return false;
  }
  return true;
}
