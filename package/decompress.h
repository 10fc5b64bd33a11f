// The block decompressor: expands one stream of the package's LZ77 bit-stream coding.
//
// Takes the stream's bytes and length and an output block with its capacity. It never reads past
// the input, never writes past the capacity and never copies from before the start of the output;
// a stream that would is refused with the reason. It allocates nothing and keeps no state between
// calls. Distances count back from the start of this call's output only.
#ifndef PACKAGE_DECOMPRESS_H
#define PACKAGE_DECOMPRESS_H

#include <stdint.h>

enum DecodeStatus : int32_t {
  DecodeOk = 0,
  DecodeTruncated = 1,    // the input ends before the end marker
  DecodeOverrun = 2,      // the stream yields more bytes than the output can hold
  DecodeBadDistance = 3,  // a copy reaches back before the start of the output
  DecodeShort = 4,        // the stream ends before yielding the bytes the caller expects
};

// Expands the stream in `in` (`inSize` bytes) into `out` (room for `outCapacity` bytes) up to its
// end marker. On DecodeOk, `produced` holds the bytes written and `consumed` the input bytes up to
// and including the marker's last byte. On failure both tell how far decoding got; the output
// holds what was produced until then. Either output pointer may be null.
DecodeStatus DecodeStream(void* out, uint32_t outCapacity, const void* in, uint32_t inSize,
                          uint32_t* produced, uint32_t* consumed);

// Expands a stream that must yield exactly `outSize` bytes. Returns 1 when it does; otherwise 0,
// with the reason in `status` when that is not null. Bytes after the end marker are ignored.
int DecompressBlock(void* out, uint32_t outSize, const void* in, uint32_t inSize,
                    DecodeStatus* status);

// The most bytes a stream of `inSize` bytes can yield: no token yields more than 282 bytes from
// fewer than 25 bits. A caller told to expect more knows the stream is not what it claims.
inline uint64_t MaxDecodedSize(uint32_t inSize) {
  return static_cast<uint64_t>(inSize) * 91 + 282;
}

// A short English description of a status, for tools and logs.
const char* DecodeStatusText(DecodeStatus status);

#endif
