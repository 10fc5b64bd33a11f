// The registry of the current user, the temporary folder, COM and the executable's resources, as
// the stand-in keeps them for a test.
#include <iconv.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "platform/host/host_state.h"
#include "platform/platform.h"

struct PlatModuleRecord {
  int unused;
};
struct PlatResourceRecord {
  size_t index;
};
struct PlatResourceDataRecord {
  size_t index;
};

namespace {

PlatModuleRecord gModule;

// Windows keeps registry names in Unicode and compares them through it, without regard to case:
// the NEC and IBM codes of one character name the same key, and every letter with a case folds,
// the full-width, Greek, Cyrillic and Roman-numeral ones of code page 932 as well as ASCII. A name
// is therefore kept here as the UTF-8 of its characters, folded to lower case. Bytes that are no
// character of the code page are kept as they are, written "\xFF" and two hex digits each, which
// no UTF-8 contains.
uint32_t FoldCase(uint32_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xFF21 && c <= 0xFF3A)) return c + 32;  // ASCII, full-width
  if (c >= 0x0391 && c <= 0x03A9 && c != 0x03A2) return c + 32;              // Greek
  if (c >= 0x0410 && c <= 0x042F) return c + 32;                             // Cyrillic
  if (c == 0x0401) return 0x0451;                                            // Ё
  if (c >= 0x2160 && c <= 0x216F) return c + 16;                             // Roman numerals
  return c;
}

void AppendUtf8(uint32_t c, std::string* out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18));
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendRawByte(uint8_t b, std::string* out) {
  char hex[4];
  snprintf(hex, sizeof hex, "%02X", b);
  *out += '\xFF';
  *out += hex;
}

// The Unicode character of one or two code page 932 bytes, as the system's conversion gives it.
bool DecodeCp932(const char* bytes, size_t length, uint32_t* c) {
  static const iconv_t converter = iconv_open("UTF-32LE", "CP932");
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(bytes);
  size_t inLeft = length;
  uint8_t utf32[8];
  char* out = reinterpret_cast<char*>(utf32);
  size_t outLeft = sizeof utf32;
  if (iconv(converter, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1) || inLeft != 0 ||
      sizeof utf32 - outLeft != 4) {
    return false;
  }
  *c = static_cast<uint32_t>(utf32[0]) | static_cast<uint32_t>(utf32[1]) << 8 |
       static_cast<uint32_t>(utf32[2]) << 16 | static_cast<uint32_t>(utf32[3]) << 24;
  return true;
}

// Folds one name. With `separators`, only a backslash that is a character of its own separates
// keys (the second byte of 表 or ソ is 0x5C too): empty keys between separators, and a separator
// at either end, are dropped, as Windows skips a doubled separator and one at the end.
std::string FoldName(const std::string& name, bool separators) {
  std::string out;
  for (size_t i = 0; i < name.size();) {
    const uint8_t b = static_cast<uint8_t>(name[i]);
    const size_t length = (PlatIsLeadByte(b) && i + 1 < name.size()) ? 2 : 1;
    if (separators && b == '\\') {
      if (!out.empty() && out.back() != '\\') out += '\\';
      i++;
      continue;
    }
    uint32_t c = 0;
    if (b < 0x80) {
      c = b;
    } else if (!DecodeCp932(name.data() + i, length, &c)) {
      for (size_t k = 0; k < length; k++) AppendRawByte(static_cast<uint8_t>(name[i + k]), &out);
      i += length;
      continue;
    }
    AppendUtf8(FoldCase(c), &out);
    i += length;
  }
  if (separators) {
    while (!out.empty() && out.back() == '\\') out.pop_back();
  }
  return out;
}

std::string KeyName(const std::string& path) { return FoldName(path, true); }

std::string ValueName(const std::string& name) { return FoldName(name, false); }

std::string UpperAscii(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

}  // namespace

void HostAddRegistryKey(const std::string& path) {
  const std::string name = KeyName(path);
  for (size_t at = name.find('\\'); at != std::string::npos; at = name.find('\\', at + 1)) {
    Host().registry[name.substr(0, at)];
  }
  Host().registry[name];
}

void HostSetRegistryValue(const std::string& path, const std::string& name, uint32_t type,
                          const std::vector<uint8_t>& data) {
  HostAddRegistryKey(path);
  HostRegistryValue& value = Host().registry[KeyName(path)].values[ValueName(name)];
  value.name = name;
  value.type = type;
  value.data = data;
}

void HostSetProcessId(uint32_t id) { Host().processId = id; }

uint32_t PlatCurrentProcessId() { return Host().processId; }

void HostSetTempPath(const std::string& path) {
  Host().tempPathSet = true;
  Host().tempPath = path;
}

PlatModule HostModule() { return &gModule; }

void HostAddResource(const std::string& type, uint32_t id, const std::vector<uint8_t>& bytes) {
  Host().resources.push_back(HostResource{UpperAscii(type), id, bytes});
}

void HostFailResource(HostResourceFailure failure) { Host().resourceFailure = failure; }

int32_t PlatRegOpenCurrentUserKey(const char* path, uint32_t, PlatKey* key) {
  *key = nullptr;
  auto it = Host().registry.find(KeyName(path));
  if (it == Host().registry.end()) return PlatErrorFileNotFound;
  *key = new PlatKeyRecord{it->first};
  Host().openKeys++;
  return PlatErrorSuccess;
}

// As RegQueryValueExA: the bytes as stored, or the size they need.
int32_t PlatRegQueryValue(PlatKey key, const char* name, void* data, uint32_t* size) {
  if (key == nullptr) return 6;  // ERROR_INVALID_HANDLE
  auto k = Host().registry.find(key->path);
  if (k == Host().registry.end()) return 1018;  // ERROR_KEY_DELETED
  auto v = k->second.values.find(ValueName(name));
  if (v == k->second.values.end()) return PlatErrorFileNotFound;
  const std::vector<uint8_t>& bytes = v->second.data;
  const uint32_t length = static_cast<uint32_t>(bytes.size());
  if (data == nullptr) {
    *size = length;
    return PlatErrorSuccess;
  }
  if (*size < length) {
    *size = length;
    return PlatErrorMoreData;
  }
  if (length != 0) memcpy(data, bytes.data(), length);
  *size = length;
  return PlatErrorSuccess;
}

void PlatRegCloseKey(PlatKey key) {
  if (key == nullptr) return;
  Host().openKeys--;
  delete key;
}

uint32_t PlatGetTempPath(uint32_t size, char* out) {
  const HostState& h = Host();
  if (!h.tempPathSet) return 0;
  const uint32_t length = static_cast<uint32_t>(h.tempPath.size());
  if (length + 1 > size) return length + 1;
  memcpy(out, h.tempPath.c_str(), length + 1);
  return length;
}

void PlatInitCom() { Host().comInits++; }

PlatModule PlatOwnModule() { return &gModule; }

PlatResource PlatFindResource(PlatModule module, uint32_t id, const char* type) {
  if (module != &gModule || type == nullptr) return nullptr;
  const std::string wanted = UpperAscii(type);
  const std::deque<HostResource>& resources = Host().resources;
  for (size_t i = 0; i < resources.size(); i++) {
    if (resources[i].id == id && resources[i].type == wanted) {
      // Records live as long as the process, as the handles of a real module do.
      static std::deque<PlatResourceRecord> records;
      records.push_back(PlatResourceRecord{i});
      return &records.back();
    }
  }
  return nullptr;
}

uint32_t PlatSizeofResource(PlatModule module, PlatResource resource) {
  if (module != &gModule || resource == nullptr) return 0;
  return static_cast<uint32_t>(Host().resources.at(resource->index).bytes.size());
}

PlatResourceData PlatLoadResource(PlatModule module, PlatResource resource) {
  if (module != &gModule || resource == nullptr) return nullptr;
  if (Host().resourceFailure == HostResourceFailure::Load) return nullptr;
  static std::deque<PlatResourceDataRecord> records;
  records.push_back(PlatResourceDataRecord{resource->index});
  return &records.back();
}

const void* PlatLockResource(PlatResourceData data) {
  if (data == nullptr || Host().resourceFailure == HostResourceFailure::Lock) return nullptr;
  return Host().resources.at(data->index).bytes.data();
}
