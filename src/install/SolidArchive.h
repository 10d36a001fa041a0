// The solid form of the application archive (a setup built with
// TONVANE_APPLICATION_COMPRESSION=solid; written by tools/pack-archive
// --solid): the same ZIP archive, every entry stored, compressed as a
// whole, so that what the files have in common is found across them, not
// only inside each. The setup reads it in one pass from its own mapped
// image and writes each file as it comes (StreamWalk.h).
//
// The plan, the room check and the files-in-use check need the names and
// sizes before anything is decoded, so the archive's directory (its tail
// from the central directory on, end record included) also travels beside
// the stream, compressed on its own: a few kilobytes to decode, where the
// directory at the stream's end would take decoding the whole archive.
// The pass then finds the same bytes at the stream's end, which ties the
// entries written to the directory planned from.
//
//   offset  size  what
//   0       8     "TVSOLID1"
//   8       8     the archive's size, decoded
//   16      4     the directory's size, decoded (at most the archive's)
//   20      4     the directory stream's size, compressed
//   24      ...   the directory stream, then the archive stream up to the end
//
// Numbers are little-endian. Each stream is one .xz stream (LZMA2, no
// integrity check of its own: the start-up check covers the compressed
// bytes, the entries' CRCs and the directory the decoded ones); nothing
// may follow the archive stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ArchiveForm.h"

namespace tonvane {

struct SolidContainer {
  std::uint64_t archiveSize = 0;
  std::uint32_t directorySize = 0;
  const std::uint8_t* directoryStream = nullptr;
  std::size_t directoryStreamSize = 0;
  const std::uint8_t* archiveStream = nullptr;
  std::size_t archiveStreamSize = 0;
};

// The container's fields, their sizes checked against each other and
// against `size`; false when the bytes are not a solid archive.
bool readSolidContainer(const void* bytes, std::size_t size, SolidContainer& container);

// The directory decoded: exactly `container.directorySize` bytes, the stream
// ending there. False when it is damaged.
bool decodeSolidDirectory(const SolidContainer& container, std::vector<char>& directory);

// The form ArchiveForm.h adds for a setup that carries it: the directory
// from beside the stream, the extraction in one pass through the stream.
const ArchiveForm& solidArchiveForm();

}  // namespace tonvane
