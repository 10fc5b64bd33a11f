// Writes a small sample package: a compressed update script and a stored data member, with a
// compressed directory. Used by the demo until packages are built from folders.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "package/writer.h"
#include "tests/bit_writer.h"

namespace {

std::vector<uint8_t> Literals(const std::vector<uint8_t>& content) {
  BitWriter w;
  for (uint8_t b : content) w.Literal(b);
  w.EndMarker();
  return w.bytes();
}

PackageMemberInput Member(const char* name, const std::string& text, bool compressed,
                          uint64_t time) {
  PackageMemberInput m{};
  strncpy(m.entry.name, name, sizeof m.entry.name - 1);
  m.entry.time = time;
  m.entry.size = static_cast<uint32_t>(text.size());
  std::vector<uint8_t> content(text.begin(), text.end());
  m.entry.flags = compressed ? kEntryCompressed : 0;
  m.stored = compressed ? Literals(content) : content;
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_sample_package OUT\n");
    return 2;
  }
  const std::vector<PackageMemberInput> members = {
      Member("UPDATE.INI",
             "[SETUP]\r\nCompanyName=SampleWorks\r\nGameTitle=Sample Game\r\n"
             "GameClass=SampleGameWnd\r\nGameDir=SampleGame\r\n[UPDATE]\r\nUpdateFile00=GAME.ARC\r\n",
             true, 133000000000000000ull),
      Member("GAME.ARC", "game archive contents\n", false, 133000000001234567ull),
  };
  std::vector<uint8_t> image;
  if (!AssemblePackage(members, Literals(EncodeDirectory(members)), true, &image)) return 1;
  FILE* f = fopen(argv[1], "wb");
  if (f == nullptr || fwrite(image.data(), 1, image.size(), f) != image.size() || fclose(f) != 0) {
    fprintf(stderr, "make_sample_package: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
