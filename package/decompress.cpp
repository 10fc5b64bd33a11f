// The decoder runs in two gears. The fast gear runs while the input holds more than one of its
// rounds can read (a literal run moves 32 bytes; a flag word may be read ahead and thrown away)
// and the output has room for what a round can write (that move, then the longest copy with
// the overshoot of its 16-byte moves), so it checks neither bound per item; the careful gear
// checks every read and write, one bit at a time, and finishes the stream's last tokens. Both
// give exactly the byte-by-byte result of the format's copy semantics, and both check every
// copy's distance against the output so far.
#include "package/decompress.h"
#include "package/le.h"

#include <string.h>

namespace {

constexpr uint32_t kEndMarkerDistance = 2303;
// One round of the fast gear reads at most 44 bytes: a flag word, a run of up to 31 literals
// (32 bytes moved), a view of 4 bytes ahead, a second word and two field bytes.
constexpr uint32_t kFastInputMargin = 48;
// And writes at most 319: the 32 bytes of a literal run's move, of which up to 31 stay, and
// then up to 288 for a copy of the longest length, 282, in 16-byte moves.
constexpr uint32_t kCopyWriteMax = 288;
constexpr uint32_t kFastOutputMargin = 31 + kCopyWriteMax + 1;

struct Cursor {
  uint8_t* const outStart;
  uint8_t* const outEnd;
  const uint8_t* const inEnd;
  uint8_t* op;
  const uint8_t* ip;
  uint32_t bits;   // unused code bits, left-aligned; the bits below them are zero
  uint32_t count;  // how many of them remain
};

enum GearResult { GearFinished, GearNeedsCare };

// A copy's code bits up to its first field byte, looked up by the first 6 bits of the token
// (the first is 0): 0 1 0 and 0 1 1 begin short copies, 0 0 and a distance prefix (1, 01, 001,
// 0001 or 0000) a long one. Each row gives the bits before the byte, the extra bits after it,
// whether a length code follows, and the distance base in units of 256. Rows of 4 bytes index
// faster than rows of 6.
struct CopyHead {
  uint8_t codeBits;
  uint8_t extra;
  uint8_t isLong;
  uint8_t base256;
};
struct CopyHeadTable {
  CopyHead row[64];
  constexpr CopyHeadTable() : row() {
    // Rows 32 to 63 begin with a 1, a literal, and are never looked up.
    for (uint32_t top = 0; top < 64; top++) {
      const uint32_t prefix = top & 0x0F;
      CopyHead h{0, 0, 0, 0};
      if (top & 0x20) {
        h = CopyHead{0, 0, 0, 0};
      } else if (top & 0x10) {
        h = (top & 0x08) ? CopyHead{3, 3, 0, 1} : CopyHead{3, 0, 0, 0};
      } else if (prefix & 0x08) {
        h = CopyHead{3, 1, 1, 0};
      } else if (prefix & 0x04) {
        h = CopyHead{4, 1, 1, 2};
      } else if (prefix & 0x02) {
        h = CopyHead{5, 2, 1, 4};
      } else if (prefix & 0x01) {
        h = CopyHead{6, 3, 1, 8};
      } else {
        h = CopyHead{6, 4, 1, 16};
      }
      row[top] = h;
    }
  }
};
constexpr CopyHeadTable kCopyHeads;

// A long copy's length code, looked up by the 9 bits that follow the distance's extra bits:
// the code bits with their extra bits, the length, and whether a byte adds to it (27 + byte).
struct LengthCode {
  uint8_t bits;
  uint8_t length;
  uint8_t byte;
  uint8_t unused;
};
struct LengthCodeTable {
  LengthCode row[512];
  constexpr LengthCodeTable() : row() {
    for (uint32_t v = 0; v < 512; v++) {
      LengthCode c{5, 27, 1, 0};
      if (v & 0x100) {
        c = LengthCode{1, 3, 0, 0};  // 1
      } else if (v & 0x80) {
        c = LengthCode{2, 4, 0, 0};  // 0 1
      } else if (v & 0x40) {
        c = LengthCode{4, static_cast<uint8_t>(5 + ((v >> 5) & 1)), 0, 0};  // 0 0 1 E
      } else if (v & 0x20) {
        c = LengthCode{6, static_cast<uint8_t>(7 + ((v >> 3) & 3)), 0, 0};  // 0 0 0 1 E E
      } else if (v & 0x10) {
        c = LengthCode{9, static_cast<uint8_t>(11 + (v & 15)), 0, 0};  // 0 0 0 0 1 E E E E
      }
      row[v] = c;
    }
  }
};
constexpr LengthCodeTable kLengthCodes;

// Appends `length` (1 to 282) bytes from `reach` back. The caller has checked the reach against
// the output so far and leaves room for kCopyWriteMax bytes: moves of 8 and 16 bytes may write
// past the copy, and the next item overwrites what they leave there.
inline uint8_t* FastCopy(uint8_t* op, uint32_t reach, uint32_t length) {
  const uint8_t* src = op - reach;
  uint8_t* const end = op + length;
  if (reach >= 16) {
    // Every unit read lies in output already written, so it equals the byte-wise copy.
    do {
      memcpy(op, src, 16);
      op += 16;
      src += 16;
    } while (op < end);
  } else if (reach >= 8) {
    do {
      memcpy(op, src, 8);
      op += 8;
      src += 8;
    } while (op < end);
  } else if (reach == 1) {
    memset(op, *src, length);
  } else {
    // The first 8 bytes one by one; after them the pattern of period `reach` also repeats at
    // the smallest multiple of `reach` that is at least 8, from which 8-byte moves are safe.
    // That multiple minus 8 is less than `reach`, so the source stays inside the output.
    static const uint8_t kSpread[8] = {0, 0, 8, 9, 8, 10, 12, 14};
    for (int i = 0; i < 8; i++) op[i] = src[i];
    op += 8;
    src = op - kSpread[reach];
    while (op < end) {
      memcpy(op, src, 8);
      op += 8;
      src += 8;
    }
  }
  return end;
}

// The fast gear. Code bits that follow each other with no field byte between them may run from
// one flag word into the next, and the next word then stands at the read position; so such a
// run is decoded from a 64-bit view of the current word's bits followed by the 4 bytes at the
// read position, and the word is taken only if the run does reach into it.
//
// Each round decodes a run of literals, possibly empty, and then the copy that ends it, with
// tables in place of most branches: which token comes next is what the data decides, and a
// processor cannot guess it. What bounds the speed is the chain from one token's bits to the
// next token's, so the code keeps loads off that chain where it can.
GearResult RunFast(Cursor& c, DecodeStatus& status) {
  uint8_t* op = c.op;
  const uint8_t* ip = c.ip;
  uint32_t bits = c.bits;
  uint32_t count = c.count;
  uint8_t* const outStart = c.outStart;
  uint8_t* const outEnd = c.outEnd;
  const uint8_t* const inEnd = c.inEnd;
  GearResult result = GearNeedsCare;

#define XRA_PEEK() \
  ((static_cast<uint64_t>(bits) << 32) | (static_cast<uint64_t>(Load32(ip)) << (32 - count)))
// Uses n (0 to 31) code bits of the view just taken.
#define XRA_CONSUME(n)                   \
  do {                                   \
    const uint32_t n_ = (n);             \
    if (n_ <= count) {                   \
      bits <<= n_;                       \
      count -= n_;                       \
    } else {                             \
      const uint32_t rest_ = n_ - count; \
      bits = Load32(ip) << rest_;        \
      ip += 4;                           \
      count = 32 - rest_;                \
    }                                    \
  } while (0)

  for (;;) {
    if (static_cast<size_t>(inEnd - ip) < kFastInputMargin ||
        static_cast<size_t>(outEnd - op) < kFastOutputMargin) {
      goto leave;
    }
    if (count == 0) {
      bits = Load32(ip);
      ip += 4;
      count = 32;
    }
    {
      // A run of literals: their bits are the word's leading ones (never more than `count`, as
      // the unused bits are zero) and their bytes lie together, since no word can come between.
      const uint32_t run = ~bits == 0 ? 32 : static_cast<uint32_t>(__builtin_clz(~bits));
      memcpy(op, ip, 16);
      memcpy(op + 16, ip + 16, 16);
      op += run;
      ip += run;
      bits = run == 32 ? 0 : bits << run;
      count -= run;
      if (count == 0) continue;  // the next word tells what follows
    }

    // A copy: the word's next bit is 0. Its head is at most 6 bits; when the word holds them,
    // the view needs no load.
    uint64_t view = count >= 6 ? static_cast<uint64_t>(bits) << 32 : XRA_PEEK();
    const CopyHead head = kCopyHeads.row[view >> 58];
    XRA_CONSUME(head.codeBits);
    const uint32_t b = *ip++;
    view = XRA_PEEK();
    const uint32_t distance = (static_cast<uint32_t>(head.base256) << 8) + (b << head.extra) +
                              (static_cast<uint32_t>(view >> 60) >> (4 - head.extra));
    // The length code, worked out for short copies too and then masked away, as a branch here
    // would be a guess.
    const uint32_t nine = static_cast<uint32_t>((view << head.extra) >> 55);
    const LengthCode code = kLengthCodes.row[nine];
    const uint32_t longMask = 0u - head.isLong;
    uint32_t length = 2 + ((code.length - 2u) & longMask);
    XRA_CONSUME(head.extra + (code.bits & longMask));
    const uint32_t takeByte = head.isLong & code.byte;
    length += *ip & (0u - takeByte);
    ip += takeByte;
    if (!head.isLong && distance == kEndMarkerDistance) {
      status = DecodeOk;
      result = GearFinished;
      goto leave;
    }
    const uint32_t reach = distance + 1;
    if (reach > static_cast<size_t>(op - outStart)) {
      status = DecodeBadDistance;
      result = GearFinished;
      goto leave;
    }
    op = FastCopy(op, reach, length);
  }

#undef XRA_CONSUME
#undef XRA_PEEK

leave:
  c.op = op;
  c.ip = ip;
  c.bits = bits;
  c.count = count;
  return result;
}

// The careful gear: one bit at a time, every read and write checked. It runs to the end of the
// stream or to the first fault, and sets `status`.
void RunCareful(Cursor& c, DecodeStatus& status) {
  uint8_t* op = c.op;
  const uint8_t* ip = c.ip;
  uint32_t bits = c.bits;
  uint32_t count = c.count;
  uint8_t* const outStart = c.outStart;
  uint8_t* const outEnd = c.outEnd;
  const uint8_t* const inEnd = c.inEnd;

#define XRA_FAIL(s) \
  do {              \
    status = (s);   \
    goto leave;     \
  } while (0)
#define XRA_BIT(dst)                                                      \
  do {                                                                    \
    if (count == 0) {                                                     \
      if (static_cast<size_t>(inEnd - ip) < 4) XRA_FAIL(DecodeTruncated); \
      bits = Load32(ip);                                                  \
      ip += 4;                                                            \
      count = 32;                                                         \
    }                                                                     \
    (dst) = bits >> 31;                                                   \
    bits <<= 1;                                                           \
    count--;                                                              \
  } while (0)
#define XRA_BYTE(dst)                           \
  do {                                          \
    if (ip >= inEnd) XRA_FAIL(DecodeTruncated); \
    (dst) = *ip++;                              \
  } while (0)
// n extra bits, most significant first; n is 1 to 4.
#define XRA_BITS(n, dst)                    \
  do {                                      \
    uint32_t acc_ = 0, b_;                  \
    for (uint32_t i_ = 0; i_ < (n); i_++) { \
      XRA_BIT(b_);                          \
      acc_ = (acc_ << 1) | b_;              \
    }                                       \
    (dst) = acc_;                           \
  } while (0)

  for (;;) {
    uint32_t bit;
    XRA_BIT(bit);
    if (bit) {
      uint32_t literal;
      XRA_BYTE(literal);
      if (op >= outEnd) XRA_FAIL(DecodeOverrun);
      *op++ = static_cast<uint8_t>(literal);
      continue;
    }

    uint32_t distance;  // the format's D; the copy reaches back D + 1 bytes
    uint32_t length;
    XRA_BIT(bit);
    if (bit) {
      uint32_t wide, b;
      XRA_BIT(wide);
      XRA_BYTE(b);
      if (!wide) {
        distance = b;
      } else {
        uint32_t e;
        XRA_BITS(3, e);
        distance = 256 + 8 * b + e;
        if (distance == kEndMarkerDistance) {
          status = DecodeOk;
          goto leave;
        }
      }
      length = 2;
    } else {
      uint32_t extra, base;
      XRA_BIT(bit);
      if (bit) {
        extra = 1;
        base = 0;
      } else {
        XRA_BIT(bit);
        if (bit) {
          extra = 1;
          base = 512;
        } else {
          XRA_BIT(bit);
          if (bit) {
            extra = 2;
            base = 1024;
          } else {
            XRA_BIT(bit);
            extra = bit ? 3 : 4;
            base = bit ? 2048 : 4096;
          }
        }
      }
      uint32_t b, e;
      XRA_BYTE(b);
      XRA_BITS(extra, e);
      distance = base + (b << extra) + e;

      XRA_BIT(bit);
      if (bit) {
        length = 3;
      } else {
        XRA_BIT(bit);
        if (bit) {
          length = 4;
        } else {
          XRA_BIT(bit);
          if (bit) {
            XRA_BITS(1, e);
            length = 5 + e;
          } else {
            XRA_BIT(bit);
            if (bit) {
              XRA_BITS(2, e);
              length = 7 + e;
            } else {
              XRA_BIT(bit);
              if (bit) {
                XRA_BITS(4, e);
                length = 11 + e;
              } else {
                XRA_BYTE(b);
                length = 27 + b;
              }
            }
          }
        }
      }
    }

    const uint32_t reach = distance + 1;
    if (reach > static_cast<size_t>(op - outStart)) XRA_FAIL(DecodeBadDistance);
    if (length > static_cast<size_t>(outEnd - op)) XRA_FAIL(DecodeOverrun);
    const uint8_t* src = op - reach;
    for (uint32_t i = 0; i < length; i++) op[i] = src[i];
    op += length;
  }

#undef XRA_BITS
#undef XRA_BYTE
#undef XRA_BIT
#undef XRA_FAIL

leave:
  c.op = op;
  c.ip = ip;
  c.bits = bits;
  c.count = count;
}

}  // namespace

DecodeStatus DecodeStream(void* out, uint32_t outCapacity, const void* in, uint32_t inSize,
                          uint32_t* produced, uint32_t* consumed) {
  uint8_t* const outStart = static_cast<uint8_t*>(out);
  const uint8_t* const inStart = static_cast<const uint8_t*>(in);
  Cursor c{outStart, outStart + outCapacity, inStart + inSize, outStart, inStart, 0, 0};
  DecodeStatus status = DecodeTruncated;
  if (RunFast(c, status) == GearNeedsCare) RunCareful(c, status);
  if (produced != nullptr) *produced = static_cast<uint32_t>(c.op - outStart);
  if (consumed != nullptr) *consumed = static_cast<uint32_t>(c.ip - inStart);
  return status;
}

int DecompressBlock(void* out, uint32_t outSize, const void* in, uint32_t inSize,
                    DecodeStatus* status) {
  uint32_t produced = 0;
  DecodeStatus s = DecodeStream(out, outSize, in, inSize, &produced, nullptr);
  if (s == DecodeOk && produced != outSize) s = DecodeShort;
  if (status != nullptr) *status = s;
  return s == DecodeOk ? 1 : 0;
}

const char* DecodeStatusText(DecodeStatus status) {
  switch (status) {
    case DecodeOk:
      return "ok";
    case DecodeTruncated:
      return "the stream ends before its end marker";
    case DecodeOverrun:
      return "the stream yields more bytes than expected";
    case DecodeBadDistance:
      return "a copy reaches back before the start of the output";
    case DecodeShort:
      return "the stream yields fewer bytes than expected";
  }
  return "unknown decoder status";
}
