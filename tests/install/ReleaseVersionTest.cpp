// How the installed release's DisplayVersion stands to the setup's own
// version: number by number, and anything that is not four dotted numbers
// of 16 bits is unknown (the entry may hold any text).
#include <gtest/gtest.h>

#include "ReleaseVersion.h"

using namespace tonvane;

namespace {

TEST(ReleaseVersion, ComparesNumberByNumberAndAnythingElseIsUnknown) {
  const struct {
    const wchar_t* installed;
    const wchar_t* setup;
    InstalledRelease expected;
  } cases[] = {
      {L"5.3.0.0", L"5.2.1.1", InstalledRelease::Newer},
      {L"5.2.1.1", L"5.2.1.1", InstalledRelease::Same},
      {L"5.2.1.0", L"5.2.1.1", InstalledRelease::Older},
      {L"4.9.9.9", L"5.0.0.0", InstalledRelease::Older},
      // As text these would sort the other way.
      {L"5.10.0.0", L"5.9.0.0", InstalledRelease::Newer},
      {L"10.0.0.0", L"9.65535.65535.65535", InstalledRelease::Newer},
      {L"5.2.1.11", L"5.2.1.2", InstalledRelease::Newer},
      {L"05.2.1.1", L"5.2.1.1", InstalledRelease::Same},
      {L"65535.0.0.0", L"0.0.0.0", InstalledRelease::Newer},
      // Not four numbers of 16 bits.
      {L"5.3", L"5.2.1.1", InstalledRelease::Unknown},
      {L"5.3.0.0.1", L"5.2.1.1", InstalledRelease::Unknown},
      {L"5.3.0.65536", L"5.2.1.1", InstalledRelease::Unknown},
      {L"5.3.0.000001", L"5.2.1.1", InstalledRelease::Unknown},
      {L"4294967301.0.0.0", L"5.2.1.1", InstalledRelease::Unknown},
      {L"5.3..0", L"5.2.1.1", InstalledRelease::Unknown},
      {L"5.3.0.", L"5.2.1.1", InstalledRelease::Unknown},
      {L".5.3.0", L"5.2.1.1", InstalledRelease::Unknown},
      {L" 5.3.0.0", L"5.2.1.1", InstalledRelease::Unknown},
      {L"5.3.0.0 ", L"5.2.1.1", InstalledRelease::Unknown},
      {L"5.3.0.0-beta", L"5.2.1.1", InstalledRelease::Unknown},
      {L"+5.3.0.0", L"5.2.1.1", InstalledRelease::Unknown},
      {L"5,3,0,0", L"5.2.1.1", InstalledRelease::Unknown},
      {L"\uFF15.3.0.0", L"5.2.1.1", InstalledRelease::Unknown},  // a full-width digit
      {L"", L"5.2.1.1", InstalledRelease::Unknown},
      // A setup without a version resource compares with nothing.
      {L"5.3.0.0", L"", InstalledRelease::Unknown},
  };
  for (const auto& c : cases)
    EXPECT_EQ(compareInstalledRelease(c.installed, c.setup), c.expected) << c.installed << " against " << c.setup;
}

}  // namespace
