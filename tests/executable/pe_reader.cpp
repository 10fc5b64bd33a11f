#include "tests/executable/pe_reader.h"

#include <utility>

namespace {

constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr uint32_t kHighBit = 0x80000000u;
// A table larger than this is damage, not an executable.
constexpr uint32_t kMaxSections = 96;
constexpr uint32_t kMaxDirectoryEntries = 4096;
constexpr uint32_t kMaxDialogItems = 255;

// Little-endian reads at an offset, each checked against the bytes' end. Offsets and sizes are
// 64-bit, so that an offset plus a width read from the file cannot wrap.
class Bytes {
 public:
  Bytes(const uint8_t* data, uint64_t size) : data_(data), size_(size) {}
  uint64_t size() const { return size_; }
  bool Has(uint64_t at, uint64_t width) const { return at <= size_ && width <= size_ - at; }
  bool U8(uint64_t at, uint8_t* out) const {
    if (!Has(at, 1)) return false;
    *out = data_[at];
    return true;
  }
  bool U16(uint64_t at, uint16_t* out) const {
    if (!Has(at, 2)) return false;
    *out = static_cast<uint16_t>(data_[at] | data_[at + 1] << 8);
    return true;
  }
  bool U32(uint64_t at, uint32_t* out) const {
    if (!Has(at, 4)) return false;
    *out = static_cast<uint32_t>(data_[at]) | static_cast<uint32_t>(data_[at + 1]) << 8 |
           static_cast<uint32_t>(data_[at + 2]) << 16 | static_cast<uint32_t>(data_[at + 3]) << 24;
    return true;
  }
  bool S16(uint64_t at, int16_t* out) const {
    uint16_t v;
    if (!U16(at, &v)) return false;
    *out = static_cast<int16_t>(v);
    return true;
  }
  // A zero-terminated UTF-16 string; `at` moves past its terminator.
  bool String16(uint64_t* at, std::u16string* out) const {
    out->clear();
    while (true) {
      uint16_t c;
      if (!U16(*at, &c)) return false;
      *at += 2;
      if (c == 0) return true;
      out->push_back(static_cast<char16_t>(c));
    }
  }
  Bytes Slice(uint64_t at, uint64_t width) const { return Bytes(data_ + at, width); }

 private:
  const uint8_t* data_;
  uint64_t size_;
};

bool Fail(std::string* error, const std::string& why) {
  *error = why;
  return false;
}

// The file offset of `size` bytes at `rva`, when a section's file data holds all of them.
bool MapRva(const PeImage& image, uint32_t rva, uint32_t size, uint64_t* offset) {
  for (const PeSection& s : image.sections) {
    if (rva < s.virtualAddress) continue;
    const uint64_t into = rva - s.virtualAddress;
    if (into >= s.rawSize || size > s.rawSize - into) continue;
    const uint64_t at = s.rawOffset + into;
    if (!Bytes(image.bytes.data(), image.bytes.size()).Has(at, size)) return false;
    *offset = at;
    return true;
  }
  return false;
}

// The entry of `key` in the resource directory at `directory` (relative to the resource root).
// Stores the entry's second word: a subdirectory's offset with the high bit, or a data entry's.
bool FindEntry(const Bytes& root, uint32_t directory, const ResourceKey& key, uint32_t* target,
               std::string* error) {
  uint16_t named, numbered;
  if (!root.U16(uint64_t{directory} + 12, &named) ||
      !root.U16(uint64_t{directory} + 14, &numbered)) {
    return Fail(error, "resource directory outside the resources");
  }
  const uint32_t count = uint32_t{named} + numbered;
  if (count > kMaxDirectoryEntries) return Fail(error, "resource directory too large");
  for (uint32_t i = 0; i < count; i++) {
    const uint64_t at = uint64_t{directory} + 16 + uint64_t{i} * 8;
    uint32_t nameWord, dataWord;
    if (!root.U32(at, &nameWord) || !root.U32(at + 4, &dataWord)) {
      return Fail(error, "resource directory entry outside the resources");
    }
    bool match;
    if ((nameWord & kHighBit) != 0) {
      // A name: its length in UTF-16 units, then the units, not terminated.
      const uint64_t nameAt = nameWord & ~kHighBit;
      uint16_t length;
      if (!root.U16(nameAt, &length) || !root.Has(nameAt + 2, uint64_t{length} * 2)) {
        return Fail(error, "resource name outside the resources");
      }
      match = !key.name.empty() && key.name.size() == length;
      for (uint16_t k = 0; match && k < length; k++) {
        uint16_t unit = 0;
        root.U16(nameAt + 2 + uint64_t{k} * 2, &unit);  // within the length checked above
        match = unit == static_cast<uint8_t>(key.name[k]);
      }
    } else {
      match = key.name.empty() && nameWord == key.id;
    }
    if (match) {
      *target = dataWord;
      return true;
    }
  }
  return Fail(error, key.name.empty() ? "no resource entry " + std::to_string(key.id)
                                      : "no resource entry \"" + key.name + "\"");
}

bool ReadDialogField(const Bytes& b, uint64_t* at, DialogField* field) {
  uint16_t first;
  if (!b.U16(*at, &first)) return false;
  if (first == 0) {
    field->kind = DialogField::None;
    *at += 2;
    return true;
  }
  if (first == 0xFFFF) {
    field->kind = DialogField::Number;
    *at += 2;
    if (!b.U16(*at, &field->number)) return false;
    *at += 2;
    return true;
  }
  field->kind = DialogField::Text;
  return b.String16(at, &field->text);
}

}  // namespace

bool ReadPeImage(std::vector<uint8_t> bytes, PeImage* image, std::string* error) {
  image->bytes = std::move(bytes);
  const Bytes b(image->bytes.data(), image->bytes.size());
  uint16_t mz;
  uint32_t peAt, signature;
  if (!b.U16(0, &mz) || mz != 0x5A4D) return Fail(error, "no MZ header");
  if (!b.U32(0x3C, &peAt)) return Fail(error, "no PE header offset");
  if (!b.U32(peAt, &signature) || signature != 0x00004550) return Fail(error, "no PE signature");
  const uint64_t coff = uint64_t{peAt} + 4;
  uint16_t sectionCount, optionalSize;
  if (!b.U16(coff, &image->machine) || !b.U16(coff + 2, &sectionCount) ||
      !b.U16(coff + 16, &optionalSize) || !b.U16(coff + 18, &image->characteristics)) {
    return Fail(error, "file header cut short");
  }
  const uint64_t optional = coff + 20;
  if (!b.Has(optional, optionalSize)) return Fail(error, "optional header cut short");
  const Bytes opt = b.Slice(optional, optionalSize);
  if (!opt.U16(0, &image->magic)) return Fail(error, "no optional header magic");
  uint64_t directoryCountAt;
  if (image->magic == kPe32Magic) {
    directoryCountAt = 92;
  } else if (image->magic == kPe32PlusMagic) {
    directoryCountAt = 108;
  } else {
    return Fail(error, "optional header magic " + std::to_string(image->magic));
  }
  uint32_t directoryCount;
  if (!opt.U16(68, &image->subsystem) || !opt.U32(directoryCountAt, &directoryCount)) {
    return Fail(error, "optional header cut short");
  }
  image->resourceRva = 0;
  image->resourceSize = 0;
  if (directoryCount > kResourceDirectoryIndex) {
    const uint64_t at = directoryCountAt + 4 + kResourceDirectoryIndex * 8;
    if (!opt.U32(at, &image->resourceRva) || !opt.U32(at + 4, &image->resourceSize)) {
      return Fail(error, "data directories cut short");
    }
  }
  if (sectionCount > kMaxSections) return Fail(error, "too many sections");
  image->sections.clear();
  const uint64_t table = optional + optionalSize;
  for (uint32_t i = 0; i < sectionCount; i++) {
    const uint64_t at = table + uint64_t{i} * 40;
    PeSection s;
    if (!b.U32(at + 8, &s.virtualSize) || !b.U32(at + 12, &s.virtualAddress) ||
        !b.U32(at + 16, &s.rawSize) || !b.U32(at + 20, &s.rawOffset)) {
      return Fail(error, "section table cut short");
    }
    image->sections.push_back(s);
  }
  return true;
}

bool FindPeResource(const PeImage& image, const ResourceKey& type, const ResourceKey& name,
                    uint16_t language, std::vector<uint8_t>* data, std::string* error) {
  if (image.resourceRva == 0 || image.resourceSize == 0) return Fail(error, "no resources");
  uint64_t rootAt;
  if (!MapRva(image, image.resourceRva, image.resourceSize, &rootAt)) {
    return Fail(error, "resources outside the file's sections");
  }
  const Bytes root =
      Bytes(image.bytes.data(), image.bytes.size()).Slice(rootAt, image.resourceSize);
  // Type, name, language: the first two lead to directories, the last to the data entry.
  const ResourceKey languageKey = ResourceNumber(language);
  const ResourceKey* path[] = {&type, &name, &languageKey};
  uint32_t directory = 0;
  for (int level = 0; level < 3; level++) {
    uint32_t target;
    if (!FindEntry(root, directory, *path[level], &target, error)) return false;
    const bool subdirectory = (target & kHighBit) != 0;
    if (subdirectory != (level < 2)) return Fail(error, "resource tree of the wrong depth");
    directory = target & ~kHighBit;
  }
  uint32_t rva, size;
  if (!root.U32(directory, &rva) || !root.U32(uint64_t{directory} + 4, &size)) {
    return Fail(error, "resource data entry outside the resources");
  }
  uint64_t at;
  if (!MapRva(image, rva, size, &at)) return Fail(error, "resource data outside the file");
  data->assign(image.bytes.begin() + static_cast<std::ptrdiff_t>(at),
               image.bytes.begin() + static_cast<std::ptrdiff_t>(at + size));
  return true;
}

bool DecodeDialogEx(const std::vector<uint8_t>& bytes, DialogEx* d, std::string* error) {
  const Bytes b(bytes.data(), bytes.size());
  if (!b.U16(0, &d->version) || !b.U16(2, &d->signature) || !b.U32(4, &d->helpId) ||
      !b.U32(8, &d->exStyle) || !b.U32(12, &d->style) || !b.U16(16, &d->itemCount) ||
      !b.S16(18, &d->x) || !b.S16(20, &d->y) || !b.S16(22, &d->width) || !b.S16(24, &d->height)) {
    return Fail(error, "dialog header cut short");
  }
  if (d->version != 1 || d->signature != 0xFFFF) return Fail(error, "not an extended template");
  if (d->itemCount > kMaxDialogItems) return Fail(error, "too many dialog items");
  uint64_t at = 26;
  if (!ReadDialogField(b, &at, &d->menu) || !ReadDialogField(b, &at, &d->windowClass) ||
      !b.String16(&at, &d->title)) {
    return Fail(error, "dialog menu, class or title cut short");
  }
  d->hasFont = (d->style & 0x40) != 0;
  if (d->hasFont) {
    if (!b.U16(at, &d->pointSize) || !b.U16(at + 2, &d->weight) || !b.U8(at + 4, &d->italic) ||
        !b.U8(at + 5, &d->charset)) {
      return Fail(error, "dialog font cut short");
    }
    at += 6;
    if (!b.String16(&at, &d->typeface)) return Fail(error, "dialog typeface cut short");
  }
  d->items.clear();
  for (uint32_t i = 0; i < d->itemCount; i++) {
    at = (at + 3) & ~uint64_t{3};  // each item starts on a 4-byte boundary of the template
    DialogExItem item;
    if (!b.U32(at, &item.helpId) || !b.U32(at + 4, &item.exStyle) || !b.U32(at + 8, &item.style) ||
        !b.S16(at + 12, &item.x) || !b.S16(at + 14, &item.y) || !b.S16(at + 16, &item.width) ||
        !b.S16(at + 18, &item.height) || !b.U32(at + 20, &item.id)) {
      return Fail(error, "dialog item " + std::to_string(i) + " cut short");
    }
    at += 24;
    if (!ReadDialogField(b, &at, &item.windowClass) || !ReadDialogField(b, &at, &item.title) ||
        !b.U16(at, &item.extraSize)) {
      return Fail(error, "dialog item " + std::to_string(i) + " class or title cut short");
    }
    at += 2;
    if (!b.Has(at, item.extraSize)) return Fail(error, "dialog item creation data cut short");
    at += item.extraSize;
    d->items.push_back(std::move(item));
  }
  return true;
}
