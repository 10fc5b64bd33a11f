// A test-only writer of compressed streams, item by item, so that tests state streams as the
// tokens they hold instead of as opaque bytes. It places each flag word where the decoder fetches
// it: at the position the stream has reached when the previous word's bits are used up and the
// next bit is needed.
#ifndef TESTS_BIT_WRITER_H
#define TESTS_BIT_WRITER_H

#include <stdint.h>

#include <vector>

class BitWriter {
 public:
  // Appends code bits, most significant of `count` first.
  void Bits(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; i--) Bit((value >> i) & 1);
  }
  void Bit(uint32_t bit) {
    if (left_ == 0) {
      word_ = out_.size();
      out_.insert(out_.end(), 4, 0);
      left_ = 32;
    }
    left_--;  // now the index of this bit in the word, 31 first
    if (bit) SetBit(left_);
  }
  void Byte(uint8_t b) { out_.push_back(b); }

  // Tokens.
  void Literal(uint8_t b) {
    Bit(1);
    Byte(b);
  }
  // A short copy from `distance` (1 to 2303).
  void ShortCopy(uint32_t distance) {
    const uint32_t d = distance - 1;
    if (d < 256) {
      Bits(0b010, 3);
      Byte(static_cast<uint8_t>(d));
    } else {
      Bits(0b011, 3);
      Byte(static_cast<uint8_t>((d - 256) >> 3));
      Bits((d - 256) & 7, 3);
    }
  }
  // A long copy of `length` (3 to 282) from `distance` (1 to 8192).
  void LongCopy(uint32_t distance, uint32_t length) {
    Bits(0b00, 2);
    const uint32_t d = distance - 1;
    if (d < 512) {
      Bits(0b1, 1);
      Byte(static_cast<uint8_t>(d >> 1));
      Bits(d & 1, 1);
    } else if (d < 1024) {
      Bits(0b01, 2);
      Byte(static_cast<uint8_t>((d - 512) >> 1));
      Bits((d - 512) & 1, 1);
    } else if (d < 2048) {
      Bits(0b001, 3);
      Byte(static_cast<uint8_t>((d - 1024) >> 2));
      Bits((d - 1024) & 3, 2);
    } else if (d < 4096) {
      Bits(0b0001, 4);
      Byte(static_cast<uint8_t>((d - 2048) >> 3));
      Bits((d - 2048) & 7, 3);
    } else {
      Bits(0b0000, 4);
      Byte(static_cast<uint8_t>((d - 4096) >> 4));
      Bits((d - 4096) & 15, 4);
    }
    if (length == 3) {
      Bits(0b1, 1);
    } else if (length == 4) {
      Bits(0b01, 2);
    } else if (length <= 6) {
      Bits(0b001, 3);
      Bits(length - 5, 1);
    } else if (length <= 10) {
      Bits(0b0001, 4);
      Bits(length - 7, 2);
    } else if (length <= 26) {
      Bits(0b00001, 5);
      Bits(length - 11, 4);
    } else {
      Bits(0b00000, 5);
      Byte(static_cast<uint8_t>(length - 27));
    }
  }
  void EndMarker() {
    Bits(0b011, 3);
    Byte(0xFF);
    Bits(0b111, 3);
  }

  const std::vector<uint8_t>& bytes() const { return out_; }

 private:
  // Sets bit `index` (31 = most significant) of the current flag word, stored little-endian.
  void SetBit(int index) { out_[word_ + index / 8] |= static_cast<uint8_t>(1u << (index % 8)); }

  std::vector<uint8_t> out_;
  size_t word_ = 0;
  int left_ = 0;
};

#endif
