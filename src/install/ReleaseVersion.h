// Release versions as the setup's version resource and the uninstall
// entry's DisplayVersion hold them: four dotted numbers. Pure text, so it
// also builds natively.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tonvane {

using ReleaseVersion = std::array<std::uint16_t, 4>;

// "a.b.c.d": exactly four decimal numbers of 0 to 65535 (at most five
// digits each, leading zeros allowed), separated by single dots, nothing
// before, between or after them. Anything else is no version.
std::optional<ReleaseVersion> parseReleaseVersion(const std::wstring& text);

// How an installed release stands to this setup.
enum class InstalledRelease {
  Unknown,  // either version is no version: the setup behaves as if it had none
  Older,    // the setup is newer: an upgrade
  Same,     // a repair
  Newer,    // the setup is older: installing would go back a release
};

// Compares number by number, never as text: 5.10.0.0 is newer than 5.9.0.0.
InstalledRelease compareInstalledRelease(const std::wstring& installed, const std::wstring& setup);

}  // namespace tonvane
