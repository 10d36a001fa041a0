// What an install needs on each volume it writes to, against what is free
// there: the arithmetic, apart from the system that tells the sizes
// (DiskSpace.h). Pure: no platform headers, so it also builds natively.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tonvane {

// A file takes whole clusters: the bytes a file of `size` bytes occupies on
// a volume whose clusters hold `clusterBytes`. An empty file takes none; a
// cluster size of 0 (the system did not tell) leaves the size as it is.
std::uint64_t bytesOnDisk(std::uint64_t size, std::uint64_t clusterBytes);

struct VolumeSpace {
  // Equal for two paths on one volume, whichever drive letter or mounted
  // folder leads there.
  std::wstring identity;
  // The volume as the user names it: "C:", "\\server\share", a mounted
  // folder.
  std::wstring name;
  std::uint64_t clusterBytes = 0;  // 0: not known
  bool freeKnown = false;
  std::uint64_t freeBytes = 0;  // what this user may still write (quotas included)
  std::uint64_t neededBytes = 0;
};

// Adds files of `sizes`, each rounded up to whole clusters of `volume`, to
// the need of that volume in `needs`: to the entry of the same identity when
// there is one (two folders on one volume add up), else to a new entry.
void addFilesToVolume(std::vector<VolumeSpace>& needs, const VolumeSpace& volume,
                      const std::vector<std::uint64_t>& sizes);

// The first volume whose free space is known and smaller than its need;
// null when each has room or cannot tell.
const VolumeSpace* volumeWithoutRoom(const std::vector<VolumeSpace>& needs);

}  // namespace tonvane
