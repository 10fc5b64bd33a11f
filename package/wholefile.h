// Whole-file helpers shared by member extraction and the update run.
//
// ReadWholeFile returns a new global-heap block (owned by the caller, released with PlatFree)
// holding every byte of the file, and its size in `size` when that is not null; none when the
// file cannot be opened, sized, allocated or read in full.
//
// WriteWholeFile replaces the file at `path` with `count` bytes of `data`, and, when `time` is
// not null, gives it that time as its creation, last-access and last-write time. It writes a
// temporary file beside the destination and puts it in place only once every byte and the time
// are written, so a failure leaves the old file as it was and no temporary file behind. Beside a
// path whose folder leaves too little room for the usual temporary name, a shorter one is used,
// so every path of up to 259 bytes is written this way. Only a longer path (which the Windows
// calls refuse, but Linux takes) is written in place: created or emptied, then written, so a
// failure can leave it empty or partly written. Returns 1 on success, 0 on failure. Neither shows
// anything.
#ifndef PACKAGE_WHOLEFILE_H
#define PACKAGE_WHOLEFILE_H

#include <stdint.h>

void* ReadWholeFile(const char* path, uint32_t* size);
int WriteWholeFile(const char* path, const void* data, uint32_t count, const uint64_t* time);

#endif
