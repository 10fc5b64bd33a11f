// Assembling package bytes from member records, for the authoring tools and the tests.
//
// Takes members whose stored bytes are final (stored content or a finished compressed stream) and
// the directory bytes as they are to stand in the package (the raw entries, or one compressed
// stream of them). Returns the package image. It checks nothing about the names or the streams;
// callers validate first. Not linked into the updater.
#ifndef PACKAGE_WRITER_H
#define PACKAGE_WRITER_H

#include <stdint.h>

#include <vector>

#include "package/package.h"

struct PackageMemberInput {
  PackageEntry entry;          // name, flags, time, size; storedSize is taken from `stored`
  std::vector<uint8_t> stored;  // the bytes in the data area, before padding
};

// The raw directory: one encoded 32-byte entry per member, storedSize filled in.
std::vector<uint8_t> EncodeDirectory(const std::vector<PackageMemberInput>& members);

// The whole package. `directory` is EncodeDirectory's result, or a compressed stream of it when
// `directoryCompressed` is set. Fails (returns false) when a size does not fit 32 bits.
bool AssemblePackage(const std::vector<PackageMemberInput>& members,
                     const std::vector<uint8_t>& directory, bool directoryCompressed,
                     std::vector<uint8_t>* image);

#endif
