// A small reader of Windows executables (PE32 and PE32+) for the tests that check what the build
// put into UPDATE.exe: the headers, the resources, and the extended dialog template format.
//
// Every function takes its input as untrusted bytes: each offset, count and size is checked
// against what is really there before it is followed, and a damaged image gives false with a
// reason in `error`, never a read outside the bytes.
#ifndef TESTS_EXECUTABLE_PE_READER_H
#define TESTS_EXECUTABLE_PE_READER_H

#include <stdint.h>

#include <string>
#include <vector>

struct PeSection {
  uint32_t virtualAddress;
  uint32_t virtualSize;
  uint32_t rawOffset;  // in the file
  uint32_t rawSize;
};

struct PeImage {
  std::vector<uint8_t> bytes;
  uint16_t machine = 0;          // 0x14C i386, 0x8664 x86-64
  uint16_t characteristics = 0;  // 0x20: large address aware
  uint16_t magic = 0;            // 0x10B PE32, 0x20B PE32+
  uint16_t subsystem = 0;        // 2: Windows GUI
  uint32_t resourceRva = 0;      // the resource directory, none when 0
  uint32_t resourceSize = 0;
  std::vector<PeSection> sections;
};

bool ReadPeImage(std::vector<uint8_t> bytes, PeImage* image, std::string* error);

// One step of a resource's path: a number, or, when `name` is not empty, a name (the directory
// stores names in UTF-16; only ASCII names are looked up here, compared exactly).
struct ResourceKey {
  uint16_t id;
  std::string name;
};
inline ResourceKey ResourceNumber(uint16_t id) { return {id, ""}; }
inline ResourceKey ResourceName(const std::string& name) { return {0, name}; }

// The bytes of the resource of this type, name and language.
bool FindPeResource(const PeImage& image, const ResourceKey& type, const ResourceKey& name,
                    uint16_t language, std::vector<uint8_t>* data, std::string* error);

// A name-or-number field of a dialog template.
struct DialogField {
  enum Kind { None, Number, Text } kind = None;
  uint16_t number = 0;
  std::u16string text;
};

struct DialogExItem {
  uint32_t helpId, exStyle, style;
  int16_t x, y, width, height;
  uint32_t id;
  DialogField windowClass;
  DialogField title;
  uint16_t extraSize;  // bytes of creation data
};

// An extended dialog template (DLGTEMPLATEEX and its DLGITEMTEMPLATEEX items).
struct DialogEx {
  uint16_t version, signature;
  uint32_t helpId, exStyle, style;
  uint16_t itemCount;
  int16_t x, y, width, height;
  DialogField menu;
  DialogField windowClass;
  std::u16string title;
  // Present when the style has DS_SETFONT (0x40) or DS_SHELLFONT (0x48).
  bool hasFont = false;
  uint16_t pointSize = 0, weight = 0;
  uint8_t italic = 0, charset = 0;
  std::u16string typeface;
  std::vector<DialogExItem> items;
};

bool DecodeDialogEx(const std::vector<uint8_t>& bytes, DialogEx* dialog, std::string* error);

#endif
