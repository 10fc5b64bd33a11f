// The text calls of the Linux backends, by the rules of Windows for code page 932.
#include "platform/name_fold.h"
#include "platform/platform.h"

int PlatIsLeadByte(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// As lstrcmpiA on a Japanese system decides equality; the order of two unequal texts is that of
// their folded codes, which no caller relies on beyond its sign.
int32_t PlatCompareNoCase(const char* a, const char* b) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(a);
  const uint8_t* q = reinterpret_cast<const uint8_t*>(b);
  for (;;) {
    const uint32_t x = FoldNextCharacter(&p);
    const uint32_t y = FoldNextCharacter(&q);
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
}
