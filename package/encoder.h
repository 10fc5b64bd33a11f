// The block compressor: writes streams in the package's LZ77 bit-stream coding, the counterpart
// of DecodeStream (package/decompress.h).
//
// EncodeBlock takes `size` bytes at `in` and a level, and replaces `*out` with one complete
// stream: literals, short and long copies reaching back at most 8192 bytes, each flag word
// placed where the decoder fetches it, and the end marker. DecodeStream expands the stream to
// exactly the `size` input bytes. Returns 1, or 0 (with `*out` emptied) for an unknown level. The
// same input and level always give the same bytes. It never reads outside the input, keeps no
// state between calls, shows nothing, and touches no file. The stream is never longer than
// MaxEncodedSize(size), what a stream of literals alone takes: when the parse comes out longer
// (flag-word rounding can add a few bytes to a parse that saves only a few bits), the literal
// stream is returned instead.
//
// Levels trade time for size: EncodeFast parses greedily over hash chains, EncodeDefault parses
// lazily with deeper chains, EncodeMax finds the cheapest parse for the format's exact bit costs
// over the matches of a binary-tree match finder (taking a copy of the longest length, 282
// bytes, as soon as it finds one, which keeps long runs fast).
//
// Part of the authoring library only; the updater never links it.
#ifndef PACKAGE_ENCODER_H
#define PACKAGE_ENCODER_H

#include <stdint.h>

#include <vector>

enum EncodeLevel : int32_t {
  EncodeFast = 1,
  EncodeDefault = 2,
  EncodeMax = 3,
};

// Called now and then with the number of input bytes dealt with so far, and once at the end
// with `size`; lets a tool show progress on a large input. `context` is passed back unchanged.
struct EncodeProgress {
  void (*report)(void* context, uint32_t bytesDone);
  void* context;
};

int EncodeBlock(const void* in, uint32_t size, int level, std::vector<uint8_t>* out,
                const EncodeProgress* progress = nullptr);

// The bytes of a stream of `size` literals and the end marker: 9 bits per byte and 14 for the
// marker, plus the rounding of the last flag word. No stream from EncodeBlock is longer.
inline uint64_t MaxEncodedSize(uint32_t size) {
  const uint64_t codeBits = static_cast<uint64_t>(size) + 6;
  return static_cast<uint64_t>(size) + 1 + 4 * ((codeBits + 31) / 32);
}

#endif
