#include "tests/test_support.h"

#include <string.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "tests/bit_writer.h"

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
  static std::atomic<int> counter{0};
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0;; attempt++) {
    fs::path candidate = base / ("xra-test-" + std::to_string(counter++) + "-" +
                                 std::to_string(reinterpret_cast<uintptr_t>(this) % 100000) +
                                 "-" + std::to_string(attempt));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      path_ = candidate.string();
      return;
    }
    if (attempt > 1000) throw std::runtime_error("cannot make a scratch folder");
  }
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  // Read-only files would stop the removal on Windows.
  for (auto& entry : fs::recursive_directory_iterator(path_, ec)) {
    fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ec);
  }
  fs::remove_all(path_, ec);
}

std::string ScratchDir::File(const std::string& name) const {
  return (fs::path(path_) / name).string();
}

std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

void WriteFileOrDie(const std::string& path, const std::vector<uint8_t>& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<uint8_t> ReadFileOrDie(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

PackageMemberInput StoredMember(const char* name, const std::vector<uint8_t>& content,
                                uint64_t time) {
  PackageMemberInput m{};
  strncpy(m.entry.name, name, sizeof m.entry.name - 1);
  m.entry.flags = 0;
  m.entry.time = time;
  m.entry.size = static_cast<uint32_t>(content.size());
  m.stored = content;
  return m;
}

PackageMemberInput CompressedMember(const char* name, uint32_t size,
                                    const std::vector<uint8_t>& stream, uint64_t time) {
  PackageMemberInput m = StoredMember(name, stream, time);
  m.entry.flags = kEntryCompressed;
  m.entry.size = size;
  return m;
}

std::vector<uint8_t> StoredPackage(const std::vector<PackageMemberInput>& members) {
  std::vector<uint8_t> image;
  if (!AssemblePackage(members, EncodeDirectory(members), false, &image)) {
    throw std::runtime_error("cannot assemble package");
  }
  return image;
}

std::vector<uint8_t> LiteralStream(const std::vector<uint8_t>& content) {
  BitWriter w;
  for (uint8_t b : content) w.Literal(b);
  w.EndMarker();
  return w.bytes();
}
