// A file's version resource, read through version.dll (loaded from the
// system folder on first use, never imported).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tonvane {

class VersionInfo {
 public:
  // The process's one shared instance, made on first use.
  static VersionInfo& shared();

  // The empty path stands for the running program's own file. False when the
  // file has no version resource or it cannot be read.
  bool load(const std::wstring& path);

  // "ProductVersion" of the string block named by `translationKey`; "" when
  // nothing is loaded or the value is missing.
  std::wstring productVersion() const;

  std::vector<std::uint8_t> block;
  // Eight hex digits naming the string block's language and code page,
  // for example "000004b0".
  std::wstring translationKey;
};

}  // namespace tonvane
