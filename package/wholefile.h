// Whole-file helpers shared by member extraction, the update run and the tools.
//
// ReadWholeFile returns a new global-heap block (owned by the caller, released with PlatFree)
// holding every byte of the file, and its size in `size` when that is not null; none when the
// file cannot be opened, sized, allocated or read in full, or is not an ordinary file.
//
// WriteWholeFile replaces the file at `path` with `count` bytes of `data`, and, when `time` is
// not null, gives it that time as its creation, last-access and last-write time. It writes a new
// temporary file beside the destination and puts it in place only once every byte and the time
// are written, so a failure leaves the old file as it was and no temporary file behind. The
// temporary file is created exclusively under a name drawn at random, so nothing that already
// has a name in the folder (a file, a link) is ever opened or followed, and a name someone else
// took is simply drawn again; where the folder leaves too little room for the usual name, a
// shorter one takes what room there is. The new file keeps the permissions of the one it
// replaces (Linux) and, without a time of its own, its creation time. A path the system's calls
// cannot take, or whose folder leaves no room for any temporary name, is refused. Returns 1 on
// success, 0 on failure. Neither shows anything.
//
// The ...Reason forms give, on failure, the reason in `error` (as PlatLastError gives it).
#ifndef PACKAGE_WHOLEFILE_H
#define PACKAGE_WHOLEFILE_H

#include <stdint.h>

void* ReadWholeFile(const char* path, uint32_t* size);
void* ReadWholeFileReason(const char* path, uint32_t* size, uint32_t* error);
int WriteWholeFile(const char* path, const void* data, uint32_t count, const uint64_t* time);
int WriteWholeFileReason(const char* path, const void* data, uint32_t count, const uint64_t* time,
                         uint32_t* error);

// The name of the temporary file that WriteWholeFile has made and not yet put in place or
// removed, or null: what a program interrupted by a signal removes before it ends.
extern const char* volatile gWholeFileTemporary;

#endif
