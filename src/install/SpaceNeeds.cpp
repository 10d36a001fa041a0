#include "SpaceNeeds.h"

#include <limits>

namespace tonvane {

namespace {

// Sizes come from an archive's directory; a sum that would wrap around
// must still read as "more than any volume has".
std::uint64_t saturatingSum(std::uint64_t a, std::uint64_t b) {
  return a > std::numeric_limits<std::uint64_t>::max() - b ? std::numeric_limits<std::uint64_t>::max() : a + b;
}

}  // namespace

std::uint64_t bytesOnDisk(std::uint64_t size, std::uint64_t clusterBytes) {
  if (clusterBytes == 0) return size;
  const std::uint64_t clusters = size / clusterBytes + (size % clusterBytes != 0 ? 1 : 0);
  if (clusters > std::numeric_limits<std::uint64_t>::max() / clusterBytes)
    return std::numeric_limits<std::uint64_t>::max();
  return clusters * clusterBytes;
}

void addFilesToVolume(std::vector<VolumeSpace>& needs, const VolumeSpace& volume,
                      const std::vector<std::uint64_t>& sizes) {
  VolumeSpace* entry = nullptr;
  for (VolumeSpace& listed : needs)
    if (listed.identity == volume.identity) entry = &listed;
  if (entry == nullptr) {
    needs.push_back(volume);
    entry = &needs.back();
    entry->neededBytes = 0;
  }
  for (const std::uint64_t size : sizes)
    entry->neededBytes = saturatingSum(entry->neededBytes, bytesOnDisk(size, entry->clusterBytes));
}

const VolumeSpace* volumeWithoutRoom(const std::vector<VolumeSpace>& needs) {
  for (const VolumeSpace& volume : needs)
    if (volume.freeKnown && volume.freeBytes < volume.neededBytes) return &volume;
  return nullptr;
}

}  // namespace tonvane
