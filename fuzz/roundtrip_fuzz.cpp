// The encoder on arbitrary data: at the level chosen by the first byte, its stream must decode to
// exactly the data, end where its end marker ends, and be no longer than the literal stream.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "package/decompress.h"
#include "package/encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  const int level = EncodeFast + data[0] % 3;
  data++;
  size--;
  std::vector<uint8_t> stream;
  if (!EncodeBlock(data, static_cast<uint32_t>(size), level, &stream)) abort();
  if (stream.size() > MaxEncodedSize(static_cast<uint32_t>(size))) abort();
  // Exact-size heap blocks, so that a sanitizer sees any access outside them.
  uint8_t* in = static_cast<uint8_t*>(malloc(stream.size()));
  uint8_t* out = static_cast<uint8_t*>(malloc(size > 0 ? size : 1));
  memcpy(in, stream.data(), stream.size());
  uint32_t produced = 0, consumed = 0;
  const DecodeStatus status =
      DecodeStream(out, static_cast<uint32_t>(size), in, static_cast<uint32_t>(stream.size()),
                   &produced, &consumed);
  if (status != DecodeOk || produced != size || consumed != stream.size()) abort();
  if (size > 0 && memcmp(out, data, size) != 0) abort();
  free(in);
  free(out);
  return 0;
}
