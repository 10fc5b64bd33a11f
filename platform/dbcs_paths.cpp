// Path rules of Windows, shared by the Windows backend and the stand-in that simulates it.
#include "platform/platform.h"

uint32_t PlatFolderLength(const char* path) {
  uint32_t folder = 0;
  for (uint32_t i = 0; path[i] != 0; i++) {
    const uint8_t c = static_cast<uint8_t>(path[i]);
    if (PlatIsLeadByte(c) && path[i + 1] != 0) {
      i++;  // the second byte of a double-byte character may be 0x5C and is no separator
    } else if (c == '\\' || c == '/' || (i == 1 && c == ':')) {
      folder = i + 1;
    }
  }
  return folder;
}

uint32_t PlatPathLimit() { return 260; }
