// UPDATE.exe as the two Windows builds leave it, read back on the host: the headers that make it a
// windowed program for its machine, and the three resources the updater and the system look up
// at run time (the package, the wizard's dialog, the manifest).
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/executable/pe_reader.h"
#include "tests/test_support.h"

namespace {

constexpr uint16_t kJapanese = 1041;
constexpr uint16_t kEnglishUs = 1033;
constexpr uint16_t kDialogType = 5;
constexpr uint16_t kManifestType = 24;

struct Build {
  const char* name;
  const char* exe;
  const char* package;  // the file the build embedded
  uint16_t machine;
  uint16_t magic;
};

// Names the build in a failure's heading instead of dumping the record's bytes.
void PrintTo(const Build& build, std::ostream* out) { *out << build.name; }

const Build kBuilds[] = {
    {"win32", XRA_WIN32_UPDATE_EXE, XRA_WIN32_UPDATE_PACKAGE, 0x14C, 0x10B},
    {"win64", XRA_WIN64_UPDATE_EXE, XRA_WIN64_UPDATE_PACKAGE, 0x8664, 0x20B},
};

// The wizard's controls in template order. The texts are plain literals, so code page 932 bytes:
// what the dialog shows under the Japanese code page.
struct Control {
  uint32_t id;
  uint16_t classOrdinal;  // 0x80 button, 0x82 static
  const char* text;
  uint32_t style;
  int16_t x, y, width, height;
};
const Control kControls[] = {
    {1, 0x0080, "次へ", 0x50010001, 143, 72, 44, 14},
    {2, 0x0080, "中止", 0x50010000, 196, 72, 44, 14},
    {4, 0x0080, "戻る", 0x50010000, 99, 72, 44, 14},
    {1001, 0x0082, "Info", 0x50020000, 16, 16, 214, 26},
};

// A dialog's UTF-16 text as code page 932 bytes; "<no form in CP932>" when it has none.
std::string ToCp932(const std::u16string& text) {
  iconv_t cd = iconv_open("CP932", "UTF-16LE");
  if (cd == reinterpret_cast<iconv_t>(-1)) return "<no CP932 converter>";
  std::string utf16;
  for (char16_t c : text) {
    utf16.push_back(static_cast<char>(c & 0xFF));
    utf16.push_back(static_cast<char>(c >> 8));
  }
  std::string out(utf16.size() * 2 + 4, '\0');
  char* src = utf16.data();
  char* dst = out.data();
  size_t srcLeft = utf16.size(), dstLeft = out.size();
  const bool ok = iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1);
  iconv_close(cd);
  if (!ok) return "<no form in CP932>";
  out.resize(out.size() - dstLeft);
  return out;
}

class UpdateExe : public ::testing::TestWithParam<Build> {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(ReadPeImage(ReadFileOrDie(GetParam().exe), &image_, &error))
        << GetParam().exe << ": " << error;
  }
  std::vector<uint8_t> Resource(const ResourceKey& type, uint16_t id, uint16_t language) {
    std::vector<uint8_t> data;
    std::string error;
    EXPECT_TRUE(FindPeResource(image_, type, ResourceNumber(id), language, &data, &error))
        << GetParam().exe << ": " << error;
    return data;
  }
  // The file offset of the resource directory's root.
  uint64_t ResourceRootOffset() const {
    for (const PeSection& s : image_.sections) {
      if (image_.resourceRva >= s.virtualAddress &&
          image_.resourceRva - s.virtualAddress < s.rawSize) {
        return s.rawOffset + (image_.resourceRva - s.virtualAddress);
      }
    }
    ADD_FAILURE() << "no section holds the resources";
    return 0;
  }
  PeImage image_;
};

TEST_P(UpdateExe, IsAWindowedLargeAddressAwareProgramForItsMachine) {
  EXPECT_EQ(image_.machine, GetParam().machine);
  EXPECT_EQ(image_.magic, GetParam().magic);
  EXPECT_EQ(image_.subsystem, 2) << "Windows GUI";
  EXPECT_NE(image_.characteristics & 0x20, 0) << "large address aware";
}

TEST_P(UpdateExe, CarriesThePackageItsBuildMade) {
  const std::vector<uint8_t> package = ReadFileOrDie(GetParam().package);
  const std::vector<uint8_t> embedded = Resource(ResourceName("UPDATE"), 102, kJapanese);
  EXPECT_FALSE(package.empty());
  // Not EXPECT_EQ: a difference would print every byte of both.
  EXPECT_TRUE(embedded == package) << "UPDATE/102 holds " << embedded.size() << " bytes, "
                                   << GetParam().package << " " << package.size();
}

TEST_P(UpdateExe, DialogIsTheWizardsTemplate) {
  DialogEx d;
  std::string error;
  ASSERT_TRUE(DecodeDialogEx(Resource(ResourceNumber(kDialogType), 101, kJapanese), &d, &error))
      << error;
  EXPECT_EQ(d.helpId, 0u);
  EXPECT_EQ(d.exStyle, 0u);
  EXPECT_EQ(d.style, 0x90C808C0u);
  EXPECT_EQ(d.x, 0);
  EXPECT_EQ(d.y, 0);
  EXPECT_EQ(d.width, 247);
  EXPECT_EQ(d.height, 93);
  EXPECT_EQ(d.menu.kind, DialogField::None);
  EXPECT_EQ(d.windowClass.kind, DialogField::None) << "the system's dialog class";
  EXPECT_EQ(ToCp932(d.title), "UPDATE");
  ASSERT_TRUE(d.hasFont);
  EXPECT_EQ(d.pointSize, 10);
  EXPECT_EQ(d.weight, 0);
  EXPECT_EQ(d.italic, 0);
  EXPECT_EQ(d.charset, 0);
  EXPECT_EQ(ToCp932(d.typeface), "ＭＳ Ｐゴシック");

  ASSERT_EQ(d.itemCount, std::size(kControls));
  ASSERT_EQ(d.items.size(), std::size(kControls));
  for (size_t i = 0; i < d.items.size(); i++) {
    const DialogExItem& item = d.items[i];
    const Control& want = kControls[i];
    SCOPED_TRACE("control " + std::to_string(i) + ", id " + std::to_string(want.id));
    EXPECT_EQ(item.id, want.id);
    EXPECT_EQ(item.windowClass.kind, DialogField::Number);
    EXPECT_EQ(item.windowClass.number, want.classOrdinal);
    EXPECT_EQ(item.title.kind, DialogField::Text);
    EXPECT_EQ(ToCp932(item.title.text), want.text);
    EXPECT_EQ(item.style, want.style);
    EXPECT_EQ(item.x, want.x);
    EXPECT_EQ(item.y, want.y);
    EXPECT_EQ(item.width, want.width);
    EXPECT_EQ(item.height, want.height);
    EXPECT_EQ(item.helpId, 0u);
    EXPECT_EQ(item.exStyle, 0u);
    EXPECT_EQ(item.extraSize, 0) << "no creation data";
  }
}

// The text of the first start tag `<tag ...>` of the XML, attributes included; "" when none.
std::string StartTag(const std::string& xml, const std::string& tag) {
  const size_t start = xml.find("<" + tag + " ");
  if (start == std::string::npos) return "";
  const size_t end = xml.find('>', start);
  return end == std::string::npos ? "" : xml.substr(start, end - start);
}

TEST_P(UpdateExe, ManifestAsksForAdministratorRightsAndNothingElse) {
  const std::vector<uint8_t> bytes = Resource(ResourceNumber(kManifestType), 1, kEnglishUs);
  const std::string xml(bytes.begin(), bytes.end());
  const struct {
    const char* tag;
    std::vector<const char*> attributes;
  } kTags[] = {
      {"assembly", {"xmlns=\"urn:schemas-microsoft-com:asm.v1\"", "manifestVersion=\"1.0\""}},
      {"assemblyIdentity",
       {"version=\"1.0.0.0\"", "processorArchitecture=\"X86\"", "name=\"NORVALE.Updater.UPDATE\"",
        "type=\"win32\""}},
      {"trustInfo", {"xmlns=\"urn:schemas-microsoft-com:asm.v3\""}},
      {"requestedExecutionLevel", {"level=\"requireAdministrator\"", "uiAccess=\"false\""}},
  };
  for (const auto& t : kTags) {
    const std::string tag = StartTag(xml, t.tag);
    EXPECT_FALSE(tag.empty()) << t.tag << " in\n" << xml;
    for (const char* attribute : t.attributes) {
      EXPECT_NE(tag.find(attribute), std::string::npos) << attribute << " in " << tag;
    }
  }
  // The execution level sits in trustInfo / security / requestedPrivileges.
  size_t at = 0;
  for (const char* open :
       {"<trustInfo ", "<security>", "<requestedPrivileges>", "<requestedExecutionLevel ",
        "</requestedPrivileges>", "</security>", "</trustInfo>"}) {
    const size_t next = xml.find(open, at);
    ASSERT_NE(next, std::string::npos) << open << " after offset " << at << " in\n" << xml;
    at = next;
  }
  EXPECT_EQ(xml.find("<dependency"), std::string::npos) << "no common-controls or other dependency";
}

// Damaged copies of the executable: the reader says no, and under the sanitizers it is seen to
// read nothing outside the bytes it was given.
TEST_P(UpdateExe, DamagedCopiesAreRefused) {
  const std::vector<uint8_t> whole = image_.bytes;
  // ReadPeImage has checked that these are inside the file.
  auto le = [&whole](uint64_t at, int width) {
    uint32_t value = 0;
    for (int k = width - 1; k >= 0; k--) value = value << 8 | whole[at + k];
    return value;
  };
  const uint32_t peAt = le(0x3C, 4);
  const uint64_t sectionTable = peAt + 24u + le(peAt + 20u, 2);
  const uint64_t root = ResourceRootOffset();
  const std::vector<uint8_t> package = ReadFileOrDie(GetParam().package);
  const auto found = std::search(whole.begin(), whole.end(), package.begin(), package.end());
  ASSERT_NE(found, whole.end()) << "the package's bytes in the file";
  const uint64_t packageEnd = static_cast<uint64_t>(found - whole.begin()) + package.size();

  struct Damage {
    const char* what;
    uint64_t cutTo;  // the file's new length; 0: keep it whole
    uint64_t patchAt;
    uint32_t patch;  // written at patchAt when cutTo is 0
  };
  const Damage kDamage[] = {
      {"cut inside the PE header offset", 0x3E, 0, 0},
      {"PE header offset past the end", 0, 0x3C, 0xFFFFFFF0u},
      {"cut inside the file header", peAt + 12u, 0, 0},
      {"cut inside the section table's second entry", sectionTable + 60, 0, 0},
      {"cut inside the resource directory", root + 10, 0, 0},
      {"first type's name outside the resources", 0, root + 16, 0xFFFFFFF0u},
      {"first type's subdirectory outside the resources", 0, root + 20, 0xFFFFFFF0u},
      {"package cut one byte short", packageEnd - 1, 0, 0},
  };
  for (const Damage& d : kDamage) {
    SCOPED_TRACE(d.what);
    std::vector<uint8_t> copy = whole;
    if (d.cutTo != 0) {
      ASSERT_LT(d.cutTo, copy.size());
      copy.resize(d.cutTo);
    } else {
      ASSERT_LE(d.patchAt + 4, copy.size());
      for (int k = 0; k < 4; k++) copy[d.patchAt + k] = static_cast<uint8_t>(d.patch >> (8 * k));
    }
    PeImage damaged;
    std::vector<uint8_t> data;
    std::string error;
    const bool read = ReadPeImage(copy, &damaged, &error) &&
                      FindPeResource(damaged, ResourceName("UPDATE"), ResourceNumber(102),
                                     kJapanese, &data, &error);
    EXPECT_FALSE(read) << "found " << data.size() << " bytes";
    EXPECT_FALSE(error.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Builds, UpdateExe, ::testing::ValuesIn(kBuilds),
                         [](const ::testing::TestParamInfo<Build>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
