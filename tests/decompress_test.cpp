#include "package/decompress.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "tests/bit_writer.h"
#include "tests/test_support.h"

namespace {

// Decodes into a heap block of exactly `capacity` bytes from a heap copy of exactly the stream's
// length, so that the sanitizers see any access outside either.
struct Decoded {
  DecodeStatus status;
  std::vector<uint8_t> out;
  uint32_t consumed;
};

Decoded Decode(const std::vector<uint8_t>& stream, uint32_t capacity) {
  std::unique_ptr<uint8_t[]> in(new uint8_t[stream.size() + (stream.empty() ? 1 : 0)]);
  std::copy(stream.begin(), stream.end(), in.get());
  std::unique_ptr<uint8_t[]> out(new uint8_t[capacity + (capacity == 0 ? 1 : 0)]);
  uint32_t produced = 0, consumed = 0;
  DecodeStatus status = DecodeStream(out.get(), capacity, in.get(),
                                     static_cast<uint32_t>(stream.size()), &produced, &consumed);
  return Decoded{status, std::vector<uint8_t>(out.get(), out.get() + produced), consumed};
}

// Writes a copy token and applies the format's byte-by-byte semantics to `expected`.
void Copy(BitWriter& w, std::vector<uint8_t>& expected, uint32_t distance, uint32_t length) {
  if (length == 2 && distance <= 2303) {
    w.ShortCopy(distance);
  } else {
    w.LongCopy(distance, length);
  }
  for (uint32_t i = 0; i < length; i++) expected.push_back(expected[expected.size() - distance]);
}

TEST(Decompress, WorkedExample) {
  const std::vector<uint8_t> stream = {0x00, 0xF8, 0x6A, 0xE4, 0x41, 0x42,
                                       0x43, 0x01, 0x00, 0x44, 0xFF};
  Decoded d = Decode(stream, 12);
  EXPECT_EQ(d.status, DecodeOk);
  EXPECT_EQ(d.out, Bytes("ABCABCABCCCD"));
  EXPECT_EQ(d.consumed, 11u);

  // The test writer produces the same bytes from the tokens, which vouches for it.
  BitWriter w;
  w.Literal('A');
  w.Literal('B');
  w.Literal('C');
  w.LongCopy(3, 6);
  w.ShortCopy(1);
  w.Literal('D');
  w.EndMarker();
  EXPECT_EQ(w.bytes(), stream);
}

TEST(Decompress, FlagWordsStandWhereTheDecoderNeedsThem) {
  // 32 literals use up the first word; the second word follows the 32nd literal byte.
  BitWriter w;
  std::vector<uint8_t> expected;
  for (int i = 0; i < 32; i++) {
    w.Literal(static_cast<uint8_t>(i));
    expected.push_back(static_cast<uint8_t>(i));
  }
  w.EndMarker();
  const std::vector<uint8_t>& s = w.bytes();
  ASSERT_EQ(s.size(), 4u + 32 + 4 + 1);
  EXPECT_EQ(std::vector<uint8_t>(s.begin(), s.begin() + 4), std::vector<uint8_t>(4, 0xFF));
  EXPECT_EQ(s[35], 31);
  EXPECT_EQ(s[39], 0x7C) << "the end marker's bits 0 1 1 and 1 1 1 open the second word";
  EXPECT_EQ(s[40], 0xFF);
  Decoded d = Decode(s, 32);
  EXPECT_EQ(d.status, DecodeOk);
  EXPECT_EQ(d.out, expected);
}

TEST(Decompress, FieldByteAfterAWordsLastBitPrecedesTheNextWord) {
  // Literals fill the word up to where a code ends on its 32nd bit; that code's byte comes
  // before the next flag word. One case each for a literal, a short copy and a long copy.
  struct Case {
    int literals;
    int kind;  // 0 literal, 1 short copy (3 code bits), 2 long copy (3 code bits + byte)
  };
  for (const Case& c : {Case{31, 0}, Case{29, 1}, Case{29, 2}}) {
    BitWriter w;
    std::vector<uint8_t> expected;
    for (int i = 0; i < c.literals; i++) {
      w.Literal(static_cast<uint8_t>('a' + i % 26));
      expected.push_back(static_cast<uint8_t>('a' + i % 26));
    }
    if (c.kind == 0) {
      w.Literal('Z');
      expected.push_back('Z');
    } else if (c.kind == 1) {
      Copy(w, expected, 5, 2);
    } else {
      Copy(w, expected, 7, 3);  // 0 0 and distance prefix 1: the byte follows the 32nd bit
    }
    w.EndMarker();
    const size_t byteAt = 4 + c.literals;
    ASSERT_GT(w.bytes().size(), byteAt + 4);
    const uint8_t fieldByte = w.bytes()[byteAt];
    EXPECT_EQ(fieldByte, c.kind == 0 ? 'Z' : c.kind == 1 ? 4 : 3) << c.kind;
    Decoded d = Decode(w.bytes(), static_cast<uint32_t>(expected.size()));
    EXPECT_EQ(d.status, DecodeOk) << c.kind;
    EXPECT_EQ(d.out, expected) << c.kind;
  }
}

TEST(Decompress, OverlappingCopiesRepeatTheirPattern) {
  for (uint32_t distance : {1u, 2u, 3u, 4u, 5u, 7u, 8u, 9u, 16u, 300u}) {
    for (uint32_t length : {3u, 4u, 10u, 27u, 281u, 282u}) {
      BitWriter w;
      std::vector<uint8_t> expected;
      for (uint32_t i = 0; i < distance; i++) {
        w.Literal(static_cast<uint8_t>(i * 37 + 1));
        expected.push_back(static_cast<uint8_t>(i * 37 + 1));
      }
      Copy(w, expected, distance, length);
      w.EndMarker();
      // Exact capacity runs the careful tail; a roomy one lets the fast loop take the copy.
      for (uint32_t slack : {0u, 1024u}) {
        Decoded d = Decode(w.bytes(), static_cast<uint32_t>(expected.size()) + slack);
        ASSERT_EQ(d.status, DecodeOk) << distance << " " << length;
        ASSERT_EQ(d.out, expected) << distance << " " << length << " slack " << slack;
      }
    }
  }
}

TEST(Decompress, RunOfLiteralsThenLongestCopyNearTheEndOfTheOutput) {
  // A word of 32 literals, then a word of 31 literals and a copy of 282 from 32 back, then
  // more literals than the block holds, for every room the block may have left when the second
  // word begins. However the decoder moves bytes in bulk, it must stop at the block's end (the
  // sanitizers watch it) and say the stream overruns it.
  BitWriter w;
  std::vector<uint8_t> expected;
  for (int i = 0; i < 63; i++) {
    w.Literal(static_cast<uint8_t>(i * 11 + 3));
    expected.push_back(static_cast<uint8_t>(i * 11 + 3));
  }
  Copy(w, expected, 32, 282);
  for (int i = 0; i < 100; i++) {
    w.Literal(static_cast<uint8_t>(i));
    expected.push_back(static_cast<uint8_t>(i));
  }
  w.EndMarker();
  for (uint32_t room = 290; room < 340; room++) {
    const uint32_t capacity = 32 + room;
    Decoded d = Decode(w.bytes(), capacity);
    EXPECT_EQ(d.status, DecodeOverrun) << room;
    ASSERT_LE(d.out.size(), capacity) << room;
    EXPECT_EQ(d.out, std::vector<uint8_t>(expected.begin(), expected.begin() + d.out.size()))
        << room;
  }
}

TEST(Decompress, FarthestDistancesAndTheEndMarkerCode) {
  BitWriter w;
  std::vector<uint8_t> expected;
  std::mt19937 rng(7);
  for (int i = 0; i < 8192; i++) {
    const uint8_t b = static_cast<uint8_t>(rng());
    w.Literal(b);
    expected.push_back(b);
  }
  Copy(w, expected, 8192, 282);  // prefix 0 0 0 0, byte 255, extra bits 1 1 1 1
  Copy(w, expected, 2303, 2);    // short copy, byte 255 with extra bits 1 1 0
  Copy(w, expected, 1, 2);       // short copy, byte 0
  Copy(w, expected, 1, 3);       // long copy, prefix 1, byte 0, extra bit 0
  w.EndMarker();
  Decoded d = Decode(w.bytes(), static_cast<uint32_t>(expected.size()));
  EXPECT_EQ(d.status, DecodeOk);
  EXPECT_EQ(d.out, expected);
  EXPECT_EQ(d.consumed, w.bytes().size());
}

TEST(Decompress, EndMarkerAloneYieldsNothingAndTrailingBytesAreIgnored) {
  BitWriter w;
  w.EndMarker();
  std::vector<uint8_t> stream = w.bytes();
  ASSERT_EQ(stream.size(), 5u);
  Decoded d = Decode(stream, 0);
  EXPECT_EQ(d.status, DecodeOk);
  EXPECT_TRUE(d.out.empty());
  stream.insert(stream.end(), {1, 2, 3, 4, 5, 6, 7, 8});
  d = Decode(stream, 0);
  EXPECT_EQ(d.status, DecodeOk);
  EXPECT_EQ(d.consumed, 5u);
}

TEST(Decompress, RandomTokenStreamsMatchByteWiseSemantics) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 200; round++) {
    BitWriter w;
    std::vector<uint8_t> expected;
    const int tokens = 1 + static_cast<int>(rng() % 3000);
    for (int t = 0; t < tokens; t++) {
      const uint32_t kind = rng() % 4;
      if (expected.empty() || kind == 0) {
        const uint8_t b = static_cast<uint8_t>(rng() % 4);  // few symbols make real repeats
        w.Literal(b);
        expected.push_back(b);
      } else if (kind == 1) {
        const uint32_t reach = std::min<uint32_t>(static_cast<uint32_t>(expected.size()), 2303);
        Copy(w, expected, 1 + rng() % reach, 2);
      } else {
        const uint32_t reach = std::min<uint32_t>(static_cast<uint32_t>(expected.size()), 8192);
        const uint32_t near = std::min<uint32_t>(reach, 12);
        const uint32_t distance = 1 + (kind == 2 ? rng() % near : rng() % reach);
        Copy(w, expected, distance, 3 + rng() % 280);
      }
    }
    w.EndMarker();
    Decoded d = Decode(w.bytes(), static_cast<uint32_t>(expected.size()));
    ASSERT_EQ(d.status, DecodeOk) << "round " << round;
    ASSERT_EQ(d.out, expected) << "round " << round;
    std::vector<uint8_t> exact(expected.size());
    ASSERT_EQ(DecompressBlock(exact.data(), static_cast<uint32_t>(exact.size()), w.bytes().data(),
                              static_cast<uint32_t>(w.bytes().size()), nullptr),
              1);
    ASSERT_EQ(exact, expected);
  }
}

TEST(Decompress, BadStreamsAreRefused) {
  struct Case {
    const char* what;
    std::vector<uint8_t> stream;
    uint32_t capacity;
    DecodeStatus status;
  };
  std::vector<Case> cases;
  cases.push_back({"empty input", {}, 16, DecodeTruncated});
  cases.push_back({"half a flag word", {0xFF, 0xFF, 0xFF}, 16, DecodeTruncated});
  cases.push_back({"literal bit without its byte", {0x00, 0x00, 0x00, 0x80}, 16, DecodeTruncated});
  {
    BitWriter w;
    w.Literal('x');
    w.Literal('y');
    cases.push_back({"no end marker", w.bytes(), 16, DecodeTruncated});
  }
  {
    BitWriter w;
    for (int i = 0; i < 32; i++) w.Literal('q');
    cases.push_back({"input ends where the next flag word is due", w.bytes(), 64, DecodeTruncated});
  }
  {
    BitWriter w;
    w.Bits(0b011, 3);
    w.Byte(0xFF);  // end marker cut before its extra bits: they lie in the same word here
    std::vector<uint8_t> s = w.bytes();
    s.pop_back();
    cases.push_back({"end marker without its byte", s, 16, DecodeTruncated});
  }
  {
    BitWriter w;
    w.ShortCopy(1);
    w.EndMarker();
    cases.push_back({"copy before any output", w.bytes(), 16, DecodeBadDistance});
  }
  {
    BitWriter w;
    for (int i = 0; i < 100; i++) w.Literal('a');
    w.LongCopy(101, 10);
    w.EndMarker();
    cases.push_back({"copy one byte too far back", w.bytes(), 200, DecodeBadDistance});
  }
  {
    BitWriter w;
    for (int i = 0; i < 5; i++) w.Literal('a');
    w.EndMarker();
    cases.push_back({"five literals into four bytes", w.bytes(), 4, DecodeOverrun});
  }
  {
    BitWriter w;
    w.Literal('a');
    w.LongCopy(1, 282);
    w.EndMarker();
    cases.push_back({"long copy past the end", w.bytes(), 100, DecodeOverrun});
  }
  {
    BitWriter w;
    for (int i = 0; i < 400; i++) w.Literal('a');
    for (int i = 0; i < 40; i++) w.LongCopy(8, 282);
    w.EndMarker();
    cases.push_back({"fast loop meets the end of a big output", w.bytes(), 5000, DecodeOverrun});
  }
  for (const Case& c : cases) {
    Decoded d = Decode(c.stream, c.capacity);
    EXPECT_EQ(d.status, c.status) << c.what;
    EXPECT_LE(d.out.size(), c.capacity) << c.what;
    EXPECT_LE(d.consumed, c.stream.size()) << c.what;
  }
}

TEST(Decompress, BlockMustYieldExactlyItsSize) {
  const std::vector<uint8_t> stream = LiteralStream(Bytes("hello"));
  std::vector<uint8_t> out(6, 0xEE);
  DecodeStatus status;
  EXPECT_EQ(DecompressBlock(out.data(), 6, stream.data(), static_cast<uint32_t>(stream.size()),
                            &status),
            0);
  EXPECT_EQ(status, DecodeShort);
  EXPECT_EQ(DecompressBlock(out.data(), 4, stream.data(), static_cast<uint32_t>(stream.size()),
                            &status),
            0);
  EXPECT_EQ(status, DecodeOverrun);
  EXPECT_EQ(DecompressBlock(out.data(), 5, stream.data(), static_cast<uint32_t>(stream.size()),
                            &status),
            1);
  EXPECT_EQ(status, DecodeOk);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 5), Bytes("hello"));
  EXPECT_EQ(out[5], 0xEE) << "nothing written past the stream's output";
}

}  // namespace
