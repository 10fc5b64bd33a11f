// Three parsers share one stream writer and the format's bit costs. The fast and default levels
// find matches on hash chains of 3-byte prefixes, with a table of the last position of every
// 2-byte pair for the short copies; the maximum level keeps, for every 2-byte pair, a binary tree
// of the window's positions ordered by the text that follows them, which yields for each length
// the nearest match, and so the cheapest one, since no copy gets cheaper farther back.
#include "package/encoder.h"

#include <string.h>

#include <algorithm>

namespace {

constexpr uint32_t kWindow = 8192;  // farthest reach of a long copy
// Farthest reach of a short copy: the code that would reach 2304 is the end marker.
constexpr uint32_t kShortReach = 2303;
constexpr uint32_t kShortNear = 256;  // short copies up to here need no extra bits
constexpr uint32_t kMinLong = 3;
constexpr uint32_t kMaxLong = 282;
constexpr uint32_t kLiteralBits = 9;
constexpr uint32_t kNone = 0xFFFFFFFFu;
// Rings of links indexed by position: twice the window, so that no two positions in reach share
// a slot and a link to a position out of reach is recognised by its distance alone.
constexpr uint32_t kRing = 2 * kWindow;
constexpr uint32_t kRingMask = kRing - 1;
constexpr uint32_t kProgressStep = 1u << 20;

// ---- bit costs -------------------------------------------------------------------------------
// An item costs its code bits plus 8 per field byte; a flag word takes 4 bytes per 32 code bits,
// so this sum is the item's exact share of the stream.

inline uint32_t ShortCopyBits(uint32_t distance) { return distance <= kShortNear ? 11 : 14; }

inline uint32_t LongDistanceBits(uint32_t distance) {
  if (distance <= 512) return 10;
  if (distance <= 1024) return 11;
  if (distance <= 2048) return 13;
  if (distance <= 4096) return 15;
  return 16;
}

struct LengthCodes {
  uint8_t bits[kMaxLong + 1];
  constexpr LengthCodes() : bits() {
    for (uint32_t l = kMinLong; l <= kMaxLong; l++) {
      bits[l] = l == 3 ? 1 : l == 4 ? 2 : l <= 6 ? 4 : l <= 10 ? 6 : l <= 26 ? 9 : 13;
    }
  }
};
constexpr LengthCodes kLengthBits;

// A copy's cost; a length-2 copy is a short copy and must lie within kShortReach.
inline uint32_t CopyBits(uint32_t length, uint32_t distance) {
  if (length == 2) return ShortCopyBits(distance);
  return 2 + LongDistanceBits(distance) + kLengthBits.bits[length];
}

// ---- stream writer ---------------------------------------------------------------------------

class StreamWriter {
 public:
  StreamWriter(std::vector<uint8_t>* out, uint32_t inputSize) : out_(out) {
    // Room for a stream that compresses a little; larger ones grow as they go.
    out_->assign(static_cast<size_t>(inputSize / 2) + 64, 0);
    buf_ = out_->data();
    cap_ = out_->size();
  }

  // Every item is at most 2 field bytes and one flag word; the writer checks its room once per
  // item instead of once per byte.
  void Room() {
    if (cap_ - pos_ >= 16) return;
    out_->resize(out_->size() * 2);
    buf_ = out_->data();
    cap_ = out_->size();
  }

  // Appends `count` (1 to 24) code bits, the most significant first. A new flag word starts at
  // the current position only when a bit is due and the previous word is used up.
  void Bits(uint32_t value, uint32_t count) {
    if (count > left_) {
      const uint32_t rest = count - left_;
      word_ |= value >> rest;  // left_ may be 0: then nothing of the value goes here
      FlushWord();
      wordPos_ = pos_;
      pos_ += 4;
      word_ = 0;
      left_ = 32;
      count = rest;
      value &= (1u << rest) - 1;
    }
    left_ -= count;
    word_ |= value << left_;
  }

  void Byte(uint32_t b) { buf_[pos_++] = static_cast<uint8_t>(b); }

  void Literal(uint8_t b) {
    Room();
    Bits(1, 1);
    Byte(b);
  }

  void Copy(uint32_t length, uint32_t distance) {
    Room();
    uint32_t d = distance - 1;
    if (length == 2) {
      if (d < kShortNear) {
        Bits(0b010, 3);
        Byte(d);
      } else {
        d -= kShortNear;
        Bits(0b011, 3);
        Byte(d >> 3);
        Bits(d & 7, 3);
      }
      return;
    }
    // 0 0, then the distance prefix in the same run of bits.
    if (d < 512) {
      Bits(0b001, 3);
      Byte(d >> 1);
      Bits(d & 1, 1);
    } else if (d < 1024) {
      d -= 512;
      Bits(0b0001, 4);
      Byte(d >> 1);
      Bits(d & 1, 1);
    } else if (d < 2048) {
      d -= 1024;
      Bits(0b00001, 5);
      Byte(d >> 2);
      Bits(d & 3, 2);
    } else if (d < 4096) {
      d -= 2048;
      Bits(0b000001, 6);
      Byte(d >> 3);
      Bits(d & 7, 3);
    } else {
      d -= 4096;
      Bits(0b000000, 6);
      Byte(d >> 4);
      Bits(d & 15, 4);
    }
    if (length == 3) {
      Bits(0b1, 1);
    } else if (length == 4) {
      Bits(0b01, 2);
    } else if (length <= 6) {
      Bits((0b001 << 1) | (length - 5), 4);
    } else if (length <= 10) {
      Bits((0b0001 << 2) | (length - 7), 6);
    } else if (length <= 26) {
      Bits((0b00001 << 4) | (length - 11), 9);
    } else {
      Bits(0b00000, 5);
      Byte(length - 27);
    }
  }

  // The end marker, then the stream is trimmed to its length.
  void Finish() {
    Room();
    Bits(0b011, 3);
    Byte(0xFF);
    Bits(0b111, 3);
    FlushWord();
    out_->resize(pos_);
  }

 private:
  void FlushWord() {
    if (wordPos_ == kNoWord) return;
    buf_[wordPos_] = static_cast<uint8_t>(word_);
    buf_[wordPos_ + 1] = static_cast<uint8_t>(word_ >> 8);
    buf_[wordPos_ + 2] = static_cast<uint8_t>(word_ >> 16);
    buf_[wordPos_ + 3] = static_cast<uint8_t>(word_ >> 24);
  }

  static constexpr size_t kNoWord = ~static_cast<size_t>(0);
  std::vector<uint8_t>* out_;
  uint8_t* buf_;
  size_t cap_;
  size_t pos_ = 0;
  size_t wordPos_ = kNoWord;
  uint32_t word_ = 0;
  uint32_t left_ = 0;  // bits of the current word not yet used
};

// ---- matching --------------------------------------------------------------------------------

inline uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  memcpy(&v, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap64(v);
#endif
  return v;
}

// How many of the first `limit` bytes at `a` and `b` agree. Reads no byte at or past b + limit
// (and a lies before b).
inline uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
  uint32_t len = 0;
  while (len + 8 <= limit) {
    const uint64_t diff = Load64(a + len) ^ Load64(b + len);
    if (diff != 0) return len + static_cast<uint32_t>(__builtin_ctzll(diff) >> 3);
    len += 8;
  }
  while (len < limit && a[len] == b[len]) len++;
  return len;
}

inline uint32_t Pair(const uint8_t* p) { return p[0] | (static_cast<uint32_t>(p[1]) << 8); }

struct Match {
  uint32_t length;  // 0 when there is none
  uint32_t distance;
};

struct ChainSettings {
  uint32_t depth;       // candidates examined per position
  uint32_t goodEnough;  // a match this long ends the search
};

// Hash chains of 3-byte prefixes and the last position of each 2-byte pair. Positions are
// entered in order; Find looks up a position and then enters it.
class ChainFinder {
 public:
  ChainFinder(const uint8_t* data, uint32_t size, ChainSettings settings)
      : data_(data),
        size_(size),
        settings_(settings),
        head3_(kHashSize, kNone),
        link_(kRing, kNone),
        head2_(1u << 16, kNone) {}

  uint32_t next() const { return next_; }

  Match Find(uint32_t pos) {
    Match best{0, 0};
    const uint32_t limit = std::min(kMaxLong, size_ - pos);
    if (limit >= kMinLong) {
      const uint8_t* here = data_ + pos;
      uint32_t cur = head3_[Hash3(here)];
      uint32_t depth = settings_.depth;
      while (cur != kNone && pos - cur <= kWindow && depth-- > 0) {
        const uint8_t* there = data_ + cur;
        // The byte just past the best length decides whether this candidate can beat it.
        if (there[best.length] == here[best.length]) {
          const uint32_t len = MatchLength(there, here, limit);
          if (len > best.length) {
            best = Match{len, pos - cur};
            if (len >= settings_.goodEnough || len == limit) break;
          }
        }
        cur = link_[cur & kRingMask];
      }
      if (best.length < kMinLong) best = Match{0, 0};
    }
    if (best.length == 0 && limit >= 2) {
      const uint32_t cur = head2_[Pair(data_ + pos)];
      if (cur != kNone && pos - cur <= kShortReach) best = Match{2, pos - cur};
    }
    Enter(pos);
    return best;
  }

  // Enters every position before `end` not entered yet.
  void EnterUpTo(uint32_t end) {
    while (next_ < end) Enter(next_);
  }

 private:
  static constexpr uint32_t kHashBits = 15;
  static constexpr uint32_t kHashSize = 1u << kHashBits;

  static uint32_t Hash3(const uint8_t* p) {
    const uint32_t v =
        p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
    return (v * 2654435761u) >> (32 - kHashBits);
  }

  void Enter(uint32_t pos) {
    next_ = pos + 1;
    const uint32_t left = size_ - pos;
    if (left >= 2) head2_[Pair(data_ + pos)] = pos;
    if (left >= 3) {
      uint32_t& head = head3_[Hash3(data_ + pos)];
      link_[pos & kRingMask] = head;
      head = pos;
    }
  }

  const uint8_t* const data_;
  const uint32_t size_;
  const ChainSettings settings_;
  std::vector<uint32_t> head3_;
  std::vector<uint32_t> link_;
  std::vector<uint32_t> head2_;
  uint32_t next_ = 0;
};

// For each 2-byte pair, a binary search tree of the positions in reach that begin with it,
// ordered by the bytes that follow them and with newer positions above older ones. The search
// for a new position walks from the root (the newest) down, which meets, for every length, the
// nearest position matching at least that long; the walk rebuilds the tree with the new position
// as its root.
class TreeFinder {
 public:
  TreeFinder(const uint8_t* data, uint32_t size, uint32_t depth)
      : data_(data), size_(size), depth_(depth), head_(1u << 16, kNone), son_(2 * kRing, kNone) {}

  // Enters `pos` and writes its matches to `out` (room for kMaxLong entries), by increasing
  // length: each the nearest reaching its length, so the best distance for every length up to it
  // beyond the previous entry's. Returns how many.
  uint32_t FindAndEnter(uint32_t pos, Match* out) {
    const uint32_t left = size_ - pos;
    if (left < 2) return 0;
    const uint32_t limit = std::min(kMaxLong, left);
    const uint8_t* const here = data_ + pos;
    uint32_t& head = head_[Pair(here)];
    uint32_t cur = head;
    head = pos;
    uint32_t* smaller = &son_[(pos & kRingMask) * 2];     // where the next smaller node hangs
    uint32_t* larger = &son_[(pos & kRingMask) * 2 + 1];  // where the next larger node hangs
    uint32_t smallerLen = 0, largerLen = 0;  // bytes every node below either side shares
    uint32_t best = 1;
    uint32_t count = 0;
    uint32_t depth = depth_;
    for (;;) {
      if (cur == kNone || pos - cur > kWindow || depth-- == 0) {
        *smaller = kNone;
        *larger = kNone;
        break;
      }
      uint32_t* const pair = &son_[(cur & kRingMask) * 2];
      const uint8_t* const there = data_ + cur;
      uint32_t len = std::min(smallerLen, largerLen);
      if (there[len] == here[len]) {
        len += 1 + MatchLength(there + len + 1, here + len + 1, limit - len - 1);
        if (len > best) {
          best = len;
          out[count++] = Match{len, pos - cur};
          if (len == limit) {
            // The old node matches as far as matching goes: the new one takes its place.
            *smaller = pair[0];
            *larger = pair[1];
            break;
          }
        }
      }
      // len < limit here, so both bytes lie inside the input.
      if (there[len] < here[len]) {
        *smaller = cur;
        smaller = pair + 1;
        cur = *smaller;
        smallerLen = len;
      } else {
        *larger = cur;
        larger = pair;
        cur = *larger;
        largerLen = len;
      }
    }
    return count;
  }

 private:
  const uint8_t* const data_;
  const uint32_t size_;
  const uint32_t depth_;
  std::vector<uint32_t> head_;
  std::vector<uint32_t> son_;
};

// ---- parsers ---------------------------------------------------------------------------------

class Progress {
 public:
  explicit Progress(const EncodeProgress* p) : p_(p) {}
  void At(uint32_t done) {
    if (p_ == nullptr || p_->report == nullptr || done < next_) return;
    p_->report(p_->context, done);
    next_ = done + kProgressStep;
  }
  void Done(uint32_t size) {
    if (p_ != nullptr && p_->report != nullptr) p_->report(p_->context, size);
  }

 private:
  const EncodeProgress* p_;
  uint32_t next_ = kProgressStep;
};

void ParseGreedy(const uint8_t* data, uint32_t size, StreamWriter& w, Progress& progress) {
  ChainFinder finder(data, size, ChainSettings{6, 32});
  uint32_t pos = 0;
  while (pos < size) {
    const Match m = finder.Find(pos);
    if (m.length >= 2) {
      w.Copy(m.length, m.distance);
      pos += m.length;
      finder.EnterUpTo(pos);
    } else {
      w.Literal(data[pos]);
      pos++;
    }
    progress.At(pos);
  }
}

// Whether a literal followed by `later` spends fewer bits per byte covered than `now`.
inline bool WorthWaiting(const Match& now, const Match& later) {
  if (later.length < 2) return false;
  const uint64_t waitBits = kLiteralBits + CopyBits(later.length, later.distance);
  const uint64_t nowBits = CopyBits(now.length, now.distance);
  return waitBits * now.length < nowBits * (later.length + 1);
}

void ParseLazy(const uint8_t* data, uint32_t size, StreamWriter& w, Progress& progress) {
  constexpr uint32_t kNoWaitLength = 128;  // a match this long is taken at once
  ChainFinder finder(data, size, ChainSettings{128, 282});
  uint32_t pos = 0;
  Match m = size > 0 ? finder.Find(0) : Match{0, 0};
  while (pos < size) {
    if (m.length >= 2 && m.length < kNoWaitLength && pos + 1 < size) {
      const Match later = finder.Find(pos + 1);
      if (WorthWaiting(m, later)) {
        w.Literal(data[pos]);
        pos++;
        m = later;
        continue;
      }
    }
    if (m.length >= 2) {
      w.Copy(m.length, m.distance);
      pos += m.length;
    } else {
      w.Literal(data[pos]);
      pos++;
    }
    finder.EnterUpTo(pos);
    if (pos < size) m = finder.Find(pos);
    progress.At(pos);
  }
}

// The cheapest parse: a shortest path over the positions of a segment, whose edges are the
// literal and, for every length, the nearest copy. Segments bound the memory; a copy does not
// cross a segment's end, which costs a few bits per segment. A copy of the longest length ends
// the segment where it starts and is taken at once: runs and long repeats then cost one tree
// step per position instead of 282 prices, and the segment after it starts with no boundary
// loss.
void ParseOptimal(const uint8_t* data, uint32_t size, StreamWriter& w, Progress& progress) {
  constexpr uint32_t kSegment = 1u << 18;
  constexpr uint32_t kTreeDepth = 256;
  struct Arrival {
    uint32_t bits;    // cheapest cost from the segment's start
    uint16_t length;  // the item that arrives here: 1 for a literal, else a copy's length
    uint16_t distance;
  };
  TreeFinder finder(data, size, kTreeDepth);
  std::vector<Arrival> arrival(kSegment + 1);
  std::vector<Match> matches(kMaxLong);
  std::vector<uint32_t> path;
  for (uint32_t start = 0; start < size;) {
    const uint32_t span = std::min(kSegment, size - start);
    uint32_t end = span;  // where this segment's parse ends
    Match longest{0, 0};  // a copy of the longest length starting there
    arrival[0] = Arrival{0, 0, 0};
    uint32_t priced = 0;  // arrivals up to here are set; a segment may end long before its span
    for (uint32_t i = 0; i < span; i++) {
      const uint32_t count = finder.FindAndEnter(start + i, matches.data());
      if (count > 0 && matches[count - 1].length == kMaxLong) {
        end = i;
        longest = matches[count - 1];
        break;
      }
      for (const uint32_t reach = std::min(i + kMaxLong, span); priced < reach;) {
        arrival[++priced].bits = kNone;
      }
      const uint32_t here = arrival[i].bits;
      if (here + kLiteralBits < arrival[i + 1].bits) {
        arrival[i + 1] = Arrival{here + kLiteralBits, 1, 0};
      }
      const uint32_t room = span - i;
      uint32_t done = 1;  // lengths up to here are dealt with
      for (uint32_t k = 0; k < count && done < room; k++) {
        const uint32_t distance = matches[k].distance;
        const uint32_t top = std::min(matches[k].length, room);
        uint32_t length = done + 1;
        if (length == 2) {
          if (distance <= kShortReach) {
            const uint32_t bits = here + ShortCopyBits(distance);
            if (bits < arrival[i + 2].bits) {
              arrival[i + 2] = Arrival{bits, 2, static_cast<uint16_t>(distance)};
            }
          }
          length = 3;
        }
        const uint32_t base = here + 2 + LongDistanceBits(distance);
        for (; length <= top; length++) {
          const uint32_t bits = base + kLengthBits.bits[length];
          if (bits < arrival[i + length].bits) {
            arrival[i + length] =
                Arrival{bits, static_cast<uint16_t>(length), static_cast<uint16_t>(distance)};
          }
        }
        done = top;
      }
    }
    path.clear();
    for (uint32_t i = end; i > 0; i -= arrival[i].length) path.push_back(i);
    for (size_t k = path.size(); k-- > 0;) {
      const Arrival& a = arrival[path[k]];
      if (a.length == 1) {
        w.Literal(data[start + path[k] - 1]);
      } else {
        w.Copy(a.length, a.distance);
      }
    }
    start += end;
    if (longest.length != 0) {
      w.Copy(longest.length, longest.distance);
      // The positions the copy covers still go into the tree, for the matches after them.
      for (uint32_t p = start + 1; p < start + longest.length; p++) {
        finder.FindAndEnter(p, matches.data());
      }
      start += longest.length;
    }
    progress.At(start);
  }
}

}  // namespace

int EncodeBlock(const void* in, uint32_t size, int level, std::vector<uint8_t>* out,
                const EncodeProgress* progress) {
  const uint8_t* data = static_cast<const uint8_t*>(in);
  Progress report(progress);
  {
    StreamWriter w(out, size);
    switch (level) {
      case EncodeFast:
        ParseGreedy(data, size, w, report);
        break;
      case EncodeDefault:
        ParseLazy(data, size, w, report);
        break;
      case EncodeMax:
        ParseOptimal(data, size, w, report);
        break;
      default:
        out->clear();
        return 0;
    }
    w.Finish();
  }
  if (out->size() > MaxEncodedSize(size)) {
    StreamWriter w(out, size);
    for (uint32_t i = 0; i < size; i++) w.Literal(data[i]);
    w.Finish();
  }
  report.Done(size);
  return 1;
}
