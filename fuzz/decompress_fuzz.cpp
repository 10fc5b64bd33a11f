// The decoder on arbitrary streams, with an output capacity taken from the first two bytes: it
// must stay inside both buffers, and a stream it accepts must decode the same again into a block
// of exactly the produced size.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "package/decompress.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint32_t capacity = (static_cast<uint32_t>(data[0]) << 8 | data[1]) * 4;
  data += 2;
  size -= 2;
  uint8_t* out = static_cast<uint8_t*>(malloc(capacity + 1));
  uint32_t produced = 0, consumed = 0;
  const DecodeStatus status =
      DecodeStream(out, capacity, data, static_cast<uint32_t>(size), &produced, &consumed);
  if (produced > capacity || consumed > size) abort();
  if (status == DecodeOk) {
    uint8_t* again = static_cast<uint8_t*>(malloc(produced + 1));
    if (!DecompressBlock(again, produced, data, consumed, nullptr)) abort();
    if (memcmp(again, out, produced) != 0) abort();
    free(again);
  }
  free(out);
  return 0;
}
