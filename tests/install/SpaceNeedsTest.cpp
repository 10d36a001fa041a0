// The room an install needs: files in whole clusters, summed per volume, and
// the volume of a folder that does not exist yet.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "DiskSpace.h"
#include "TestFiles.h"

using namespace tonvane;

namespace {

VolumeSpace volume(const wchar_t* identity, std::uint64_t clusterBytes, bool freeKnown, std::uint64_t freeBytes) {
  VolumeSpace space;
  space.identity = identity;
  space.name = identity;
  space.clusterBytes = clusterBytes;
  space.freeKnown = freeKnown;
  space.freeBytes = freeBytes;
  return space;
}

TEST(SpaceNeeds, FilesTakeWholeClusters) {
  const struct {
    std::uint64_t size, clusterBytes, onDisk;
  } cases[] = {
      {0, 4096, 0}, {1, 4096, 4096}, {4096, 4096, 4096}, {4097, 4096, 8192}, {4097, 0, 4097}, {~0ull, 4096, ~0ull},
  };
  for (const auto& c : cases)
    EXPECT_EQ(bytesOnDisk(c.size, c.clusterBytes), c.onDisk) << c.size << " in clusters of " << c.clusterBytes;
}

TEST(SpaceNeeds, TheNeedsOfOneVolumeAddUpAndEachVolumeIsJudgedOnItsOwn) {
  std::vector<VolumeSpace> needs;
  addFilesToVolume(needs, volume(L"C", 4096, true, 12288), {1, 4097});
  addFilesToVolume(needs, volume(L"D", 512, true, 1024), {1000});
  // A second need on the first volume adds to what it needs.
  addFilesToVolume(needs, volume(L"C", 4096, true, 12288), {100});
  ASSERT_EQ(needs.size(), 2u);
  EXPECT_EQ(needs[0].neededBytes, 16384u);
  EXPECT_EQ(needs[1].neededBytes, 1024u);
  ASSERT_EQ(volumeWithoutRoom(needs), &needs[0]);

  // Exactly the free space is room; a volume that cannot tell never refuses.
  const struct {
    bool freeKnown;
    std::uint64_t freeBytes;
    bool refused;
  } cases[] = {{true, 16383, true}, {true, 16384, false}, {false, 0, false}};
  for (const auto& c : cases) {
    needs.clear();
    addFilesToVolume(needs, volume(L"C", 4096, c.freeKnown, c.freeBytes), {1, 4097, 100});
    EXPECT_EQ(volumeWithoutRoom(needs) != nullptr, c.refused) << c.freeBytes;
  }
}

TEST(SpaceNeeds, AFolderStillToBeMadeIsOnTheVolumeOfTheNearestFolderThatExists) {
  test::TempFolder temp;
  const VolumeSpace existing = volumeOfPath(temp.path());
  ASSERT_TRUE(existing.freeKnown);
  EXPECT_GT(existing.clusterBytes, 0u);
  const VolumeSpace missing = volumeOfPath(temp / L"New\\Deeper\\Tonvane Free\\");
  EXPECT_TRUE(missing.freeKnown);
  EXPECT_EQ(missing.identity, existing.identity);
  EXPECT_EQ(missing.name, existing.name);

  // No such drive: nothing to read, so nothing refused.
  ASSERT_EQ(GetDriveTypeW(L"Q:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
  const VolumeSpace nowhere = volumeOfPath(L"Q:\\Tonvane Free\\");
  EXPECT_FALSE(nowhere.freeKnown);
  EXPECT_EQ(nowhere.name, L"Q:");
}

}  // namespace
