// The folded form of code page 932 names, the same on every backend, so that every build of the
// tools and the stand-in decide equal names as the updater's lstrcmpiA does on a Japanese system.
// lstrcmpiA compares the names' Unicode characters without regard to case; this does the same on
// the bytes: within code page 932 only the letters below have a case, and only the NEC and IBM
// extensions give one Unicode character two or three codes.
#include <string.h>

#include "platform/name_fold.h"
#include "platform/platform.h"

namespace {

bool IsLead(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool IsTrail(uint8_t c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// Position of a second byte among the 188 a row has (0x40 to 0xFC without 0x7F).
uint32_t TrailIndex(uint8_t t) { return t < 0x80 ? t - 0x40u : t - 0x41u; }
uint8_t TrailAt(uint32_t index) { return static_cast<uint8_t>(index < 63 ? 0x40 + index : 0x41 + index); }

uint32_t Code(uint8_t lead, uint8_t trail) { return (static_cast<uint32_t>(lead) << 8) | trail; }

// Characters encoded more than once, each with the code it folds to (the one a conversion from
// Unicode gives, but for the small Roman numerals, which fold to the capitals).
struct Alias {
  uint16_t from, to;
};
const Alias kAliases[] = {
    // NEC row 13 symbols that JIS row 2 has too: ≒ ≡ ∫ √ ⊥ ∠ ∵ ∩ ∪.
    {0x8790, 0x81E0}, {0x8791, 0x81DF}, {0x8792, 0x81E7}, {0x8795, 0x81E3}, {0x8796, 0x81DB},
    {0x8797, 0x81DA}, {0x879A, 0x81E6}, {0x879B, 0x81BF}, {0x879C, 0x81BE},
    // ¬ in the NEC-selected and the IBM extension.
    {0xEEF9, 0x81CA}, {0xFA54, 0x81CA},
    // ∵ ㈱ № ℡ in the IBM extension, which NEC row 13 or JIS row 2 has too.
    {0xFA5B, 0x81E6}, {0xFA58, 0x878A}, {0xFA59, 0x8782}, {0xFA5A, 0x8784},
    // ￤ ＇ ＂ of the NEC-selected extension, as in the IBM one.
    {0xEEFA, 0xFA55}, {0xEEFB, 0xFA56}, {0xEEFC, 0xFA57},
};

// The folded code of the double-byte character lead:trail.
uint32_t FoldDouble(uint8_t lead, uint8_t trail) {
  const uint32_t code = Code(lead, trail);
  // Fullwidth Latin ａ-ｚ to Ａ-Ｚ; Greek α-ω to Α-Ω.
  if (code >= 0x8281 && code <= 0x829A) return code - 0x21;
  if (code >= 0x83BF && code <= 0x83D6) return code - 0x20;
  // Cyrillic а-я (0x8470-0x8491, without 0x847F) to А-Я (0x8440-0x8460).
  if (code >= 0x8470 && code <= 0x8491 && code != 0x847F) {
    return Code(0x84, TrailAt(TrailIndex(trail) - TrailIndex(0x70)));
  }
  // Roman numerals ⅰ-ⅹ (NEC-selected and IBM extension) and Ⅰ-Ⅹ (IBM) to Ⅰ-Ⅹ of NEC row 13.
  if (code >= 0xEEEF && code <= 0xEEF8) return 0x8754 + (code - 0xEEEF);
  if (code >= 0xFA40 && code <= 0xFA49) return 0x8754 + (code - 0xFA40);
  if (code >= 0xFA4A && code <= 0xFA53) return 0x8754 + (code - 0xFA4A);
  // The 360 kanji of the NEC-selected extension (0xED40-0xEEEC) are those of the IBM extension
  // (0xFA5C-0xFC4B), in the same order.
  if (lead == 0xED || (lead == 0xEE && code <= 0xEEEC)) {
    const uint32_t index = (lead - 0xEDu) * 188 + TrailIndex(trail);
    const uint32_t at = TrailIndex(0x5C) + index;  // counted from 0xFA40
    return Code(static_cast<uint8_t>(0xFA + at / 188), TrailAt(at % 188));
  }
  for (const Alias& a : kAliases) {
    if (a.from == code) return a.to;
  }
  return code;
}

}  // namespace

uint32_t FoldNextCharacter(const uint8_t** text) {
  const uint8_t* p = *text;
  if (*p == 0) return 0;
  if (IsLead(p[0]) && IsTrail(p[1])) {
    *text = p + 2;
    return FoldDouble(p[0], p[1]);
  }
  *text = p + 1;
  return (*p >= 'a' && *p <= 'z') ? *p - 0x20u : *p;
}

void PlatFoldName(const char* name, char* out) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(name);
  uint8_t* q = reinterpret_cast<uint8_t*>(out);
  while (const uint32_t code = FoldNextCharacter(&p)) {
    if (code > 0xFF) *q++ = static_cast<uint8_t>(code >> 8);
    *q++ = static_cast<uint8_t>(code);
  }
  *q = 0;
}
