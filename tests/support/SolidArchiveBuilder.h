// The solid form of an archive (src/install/SolidArchive.h) made at run
// time, as tools/pack-archive --solid makes it at build time, with liblzma's
// encoder built for the tests: the extraction tests take one archive in
// both forms, and damage either.
#pragma once

#include <string>

namespace tonvane::test {

// The solid container of `archive` (a ZIP archive whose entries the walk
// will find stored, or not). The header's sizes and the directory that
// travels beside the stream are those of `directoryFrom` when it is given,
// so that the directory can disagree with the stream.
std::string solidFormOf(const std::string& archive, const std::string& directoryFrom = std::string());

// The archive's tail from its central directory on; "" without an end record.
std::string directoryOf(const std::string& archive);

// One .xz stream of `bytes`.
std::string xzStreamOf(const std::string& bytes);

}  // namespace tonvane::test
