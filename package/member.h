// Finding a member of a loaded package and getting its content.
//
// FindMember walks the directory in order and returns the index of the first entry whose name
// equals `name` without regard to case, with the offset of its data in the package; -1 when none
// does. MemberContent returns the member's bytes: in place in the image for a stored member, or a
// new global-heap block (set in `block`, to be released with PlatFree) for a compressed one. It
// refuses, with the reason, a member whose data does not lie inside the image, a stored member
// whose sizes differ, and a stream that does not yield exactly the member's size. Nothing is
// shown to the user.
#ifndef PACKAGE_MEMBER_H
#define PACKAGE_MEMBER_H

#include <stdint.h>

#include "package/decompress.h"
#include "package/package.h"

enum MemberStatus : int32_t {
  MemberOk = 0,
  MemberOutsideImage = 1,  // the member's data runs past the package
  MemberSizeMismatch = 2,  // a stored member whose size and stored size differ
  MemberNoMemory = 3,      // the block for the expanded content cannot be allocated
  MemberBadStream = 4,     // the compressed stream is malformed; see the decoder's status
};

int32_t FindMember(const PackageDirectory* directory, const char* name, uint32_t* offset);

// Offset of entry `index`'s data: 16 plus the padded stored sizes of the entries before it.
uint64_t MemberOffset(const PackageDirectory* directory, uint32_t index);
// Every entry's offset, in one walk: `offsets` has room for header.entryCount values. For a
// caller that visits every member, where MemberOffset per member would take time in the square
// of their number.
void MemberOffsets(const PackageDirectory* directory, uint64_t* offsets);

const uint8_t* MemberContent(const uint8_t* image, uint32_t imageSize, const PackageEntry& entry,
                             uint64_t offset, void** block, MemberStatus* status,
                             DecodeStatus* decodeStatus);

#endif
