// The character-by-character fold behind PlatFoldName, for the backends' own comparisons.
//
// FoldNextCharacter reads one character of a NUL-terminated code page 932 text at *text, moves
// *text past it and returns its folded code: a single byte as its value, a double-byte character
// as lead << 8 | trail; 0 at the end of the text, where *text stays. A lead byte without a valid
// second byte is a character of its own. It never reads past the terminator.
#ifndef PLATFORM_NAME_FOLD_H
#define PLATFORM_NAME_FOLD_H

#include <stdint.h>

uint32_t FoldNextCharacter(const uint8_t** text);

#endif
