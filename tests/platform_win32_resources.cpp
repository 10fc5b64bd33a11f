// The executable's own resources (platform_win32_test.rc) through the platform calls and the
// updater's LoadResourceBlock, on Windows.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "updater/startup.h"

namespace {

// The bytes of UPDATE 102 in platform_win32_test.rc.
std::string TestBlock() {
  std::string block = "XRA test block: these bytes stand in for the update package.";
  for (int b = 0; b < 256; b++) block += static_cast<char>(b);
  return block + "end";
}

struct ResourceCase {
  const char* name;
  uint32_t id;
  const char* type;
  bool found;         // by PlatFindResource
  std::string bytes;  // what LoadResourceBlock gives; empty: none
};

TEST(OwnResources, FoundThroughThePlatformAndLoadResourceBlock) {
  const ResourceCase cases[] = {
      {"the package's type and id", kPackageResourceId, kPackageResourceType, true, TestBlock()},
      {"the type in lower case", 102, "update", true, TestBlock()},
      {"another type", 103, "OTHERTYPE", true, "a resource of another type"},
      {"a missing id", 101, "UPDATE", false, ""},
      {"a missing type", 102, "UPDATEX", false, ""},
      {"an id that only another type has", 103, "UPDATE", false, ""},
      {"an empty resource is found but gives no block", 104, "UPDATE", true, ""},
  };
  PlatModule module = PlatOwnModule();
  ASSERT_NE(module, nullptr);
  for (const ResourceCase& c : cases) {
    SCOPED_TRACE(c.name);
    PlatResource resource = PlatFindResource(module, c.id, c.type);
    EXPECT_EQ(resource != nullptr, c.found);
    if (resource != nullptr) {
      EXPECT_EQ(PlatSizeofResource(module, resource), c.bytes.size());
      if (!c.bytes.empty()) {
        PlatResourceData data = PlatLoadResource(module, resource);
        ASSERT_NE(data, nullptr);
        const void* bytes = PlatLockResource(data);
        ASSERT_NE(bytes, nullptr);
        EXPECT_EQ(std::string(static_cast<const char*>(bytes), c.bytes.size()), c.bytes);
      }
    }
    const uint32_t untouched = 0xA5A5A5A5u;
    uint32_t size = untouched;
    const void* block = LoadResourceBlock(module, c.id, c.type, &size);
    if (c.bytes.empty()) {
      EXPECT_EQ(block, nullptr);
      EXPECT_EQ(size, untouched);
    } else {
      ASSERT_NE(block, nullptr);
      ASSERT_EQ(size, c.bytes.size());
      EXPECT_EQ(std::string(static_cast<const char*>(block), size), c.bytes);
    }
  }
}

}  // namespace
