// The decoder runs in two gears over one token loop. The fast gear runs while the input holds at
// least one whole token (a flag word and two field bytes) and the output has room for the longest
// copy plus the overshoot of an 8-byte copy, so it checks neither bound per item; the careful gear
// checks every read and write and finishes the stream's last tokens. Both give exactly the
// byte-by-byte result of the format's copy semantics.
#include "package/decompress.h"

#include <string.h>

namespace {

// No token needs more than 19 code bits, so it fetches at most one flag word, and it reads at
// most two field bytes.
constexpr uint32_t kTokenInputMax = 4 + 2;
constexpr uint32_t kLongestCopy = 282;
constexpr uint32_t kCopyOvershoot = 8;
constexpr uint32_t kEndMarkerDistance = 2303;

inline uint32_t Load32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

struct Cursor {
  uint8_t* const outStart;
  uint8_t* const outEnd;
  const uint8_t* const inEnd;
  uint8_t* op;
  const uint8_t* ip;
  uint32_t bits;  // unused code bits, left-aligned
  uint32_t count;  // how many of them remain
};

enum GearResult { GearFinished, GearNeedsCare };

// One pass of the token loop. With kCareful false it returns GearNeedsCare, before starting a
// token, as soon as the margins no longer hold; with kCareful true it runs to the end of the
// stream or to the first fault. `status` is set when GearFinished is returned.
template <bool kCareful>
GearResult RunGear(Cursor& c, DecodeStatus& status) {
  uint8_t* op = c.op;
  const uint8_t* ip = c.ip;
  uint32_t bits = c.bits;
  uint32_t count = c.count;
  uint8_t* const outStart = c.outStart;
  uint8_t* const outEnd = c.outEnd;
  const uint8_t* const inEnd = c.inEnd;
  GearResult result = GearFinished;

#define XRA_FAIL(s)   \
  do {                \
    status = (s);     \
    goto leave;       \
  } while (0)
#define XRA_BIT(dst)                                                        \
  do {                                                                      \
    if (count == 0) {                                                       \
      if (kCareful && static_cast<size_t>(inEnd - ip) < 4) XRA_FAIL(DecodeTruncated); \
      bits = Load32(ip);                                                    \
      ip += 4;                                                              \
      count = 32;                                                           \
    }                                                                       \
    (dst) = bits >> 31;                                                     \
    bits <<= 1;                                                             \
    count--;                                                                \
  } while (0)
#define XRA_BYTE(dst)                                          \
  do {                                                         \
    if (kCareful && ip >= inEnd) XRA_FAIL(DecodeTruncated);    \
    (dst) = *ip++;                                             \
  } while (0)
// n extra bits, most significant first; n is 1 to 4.
#define XRA_BITS(n, dst)                   \
  do {                                     \
    if (count >= (n)) {                    \
      (dst) = bits >> (32 - (n));          \
      bits <<= (n);                        \
      count -= (n);                        \
    } else {                               \
      uint32_t acc_ = 0, b_;               \
      for (uint32_t i_ = 0; i_ < (n); i_++) { \
        XRA_BIT(b_);                       \
        acc_ = (acc_ << 1) | b_;           \
      }                                    \
      (dst) = acc_;                        \
    }                                      \
  } while (0)

  for (;;) {
    if (!kCareful && (static_cast<size_t>(inEnd - ip) < kTokenInputMax ||
                      static_cast<size_t>(outEnd - op) < kLongestCopy + kCopyOvershoot)) {
      result = GearNeedsCare;
      goto leave;
    }
    uint32_t bit;
    XRA_BIT(bit);
    if (bit) {
      uint32_t literal;
      XRA_BYTE(literal);
      if (kCareful && op >= outEnd) XRA_FAIL(DecodeOverrun);
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
    if (kCareful && length > static_cast<size_t>(outEnd - op)) XRA_FAIL(DecodeOverrun);
    const uint8_t* src = op - reach;
    if (length == 2) {
      op[0] = src[0];
      op[1] = src[1];
      op += 2;
    } else if (reach == 1) {
      memset(op, *src, length);
      op += length;
    } else if (!kCareful && reach >= kCopyOvershoot) {
      // Every 8-byte unit read lies in output already written, so it equals the byte-wise copy;
      // the last unit may write up to 7 bytes past the copy, which the margin allows and the
      // next item overwrites.
      uint8_t* const end = op + length;
      do {
        memcpy(op, src, 8);
        op += 8;
        src += 8;
      } while (op < end);
      op = end;
    } else if (reach >= length) {
      memcpy(op, src, length);
      op += length;
    } else {
      for (uint32_t i = 0; i < length; i++) op[i] = src[i];
      op += length;
    }
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
  return result;
}

}  // namespace

DecodeStatus DecodeStream(void* out, uint32_t outCapacity, const void* in, uint32_t inSize,
                          uint32_t* produced, uint32_t* consumed) {
  uint8_t* const outStart = static_cast<uint8_t*>(out);
  const uint8_t* const inStart = static_cast<const uint8_t*>(in);
  Cursor c{outStart, outStart + outCapacity, inStart + inSize, outStart, inStart, 0, 0};
  DecodeStatus status = DecodeTruncated;
  if (RunGear<false>(c, status) == GearNeedsCare) RunGear<true>(c, status);
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
