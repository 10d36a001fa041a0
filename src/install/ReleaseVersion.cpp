#include "ReleaseVersion.h"

namespace tonvane {

std::optional<ReleaseVersion> parseReleaseVersion(const std::wstring& text) {
  ReleaseVersion version = {};
  std::size_t at = 0;
  for (std::size_t part = 0; part < version.size(); ++part) {
    if (part > 0) {
      if (at >= text.size() || text[at] != L'.') return std::nullopt;
      ++at;
    }
    // Five digits at most: a longer run of digits is no number of 16 bits
    // and would overflow on the way.
    std::uint32_t number = 0;
    std::size_t digits = 0;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
      if (++digits > 5) return std::nullopt;
      number = number * 10 + static_cast<std::uint32_t>(text[at] - L'0');
    }
    if (digits == 0 || number > 0xFFFF) return std::nullopt;
    version[part] = static_cast<std::uint16_t>(number);
  }
  if (at != text.size()) return std::nullopt;
  return version;
}

InstalledRelease compareInstalledRelease(const std::wstring& installed, const std::wstring& setup) {
  const auto theirs = parseReleaseVersion(installed);
  const auto ours = parseReleaseVersion(setup);
  if (!theirs || !ours) return InstalledRelease::Unknown;
  if (*theirs < *ours) return InstalledRelease::Older;
  if (*ours < *theirs) return InstalledRelease::Newer;
  return InstalledRelease::Same;
}

}  // namespace tonvane
