// Writing one member of the process's package to a file, and the free-space query it uses.
//
// ExtractMember finds `name` in ThePackage (which start-up has loaded) without regard to case,
// checks that the destination's volume has room for the whole member, expands it, clears a
// read-only destination, keeps an existing destination that is newer than the member when
// `newerOnly` is 1, and otherwise writes the file whole with the member's time as all three of
// its times. Returns 1 when the member was written or kept as newer, 0 on every failure. It shows
// "Can't Find File in Resource !!", the disk-space message and "Can't Allocate Memory !!" itself
// through ReportUpdateError; its other failures are silent, for the caller to report. A failed
// write leaves the file that was there as it was (a read-only one loses that attribute).
//
// QueryFreeSpace reports, for the volume of `root` (such as "C:"), the bytes free to the caller,
// the volume's total bytes and, when `totalFree` is not null, its total free bytes. It uses
// GetDiskFreeSpaceExA where the system offers it, looked up once per process, and otherwise the
// cluster counts of GetDiskFreeSpaceA. Returns non-zero on success; 0 on failure, with the
// outputs holding no result.
#ifndef PACKAGE_EXTRACT_H
#define PACKAGE_EXTRACT_H

#include <stdint.h>

int ExtractMember(const char* name, const char* destination, int newerOnly);

int QueryFreeSpace(const char* root, uint64_t* freeToCaller, uint64_t* total,
                   uint64_t* totalFree);

#endif
