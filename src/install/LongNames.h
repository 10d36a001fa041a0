// The long form of existing paths (as GetLongPathNameW gives it) for many
// paths in a few folders. Wine's GetLongPathNameW asks the file system once
// per path component, about a millisecond per path: too slow for a log of
// tens of thousands of files. This lists each folder once instead, and asks
// GetLongPathNameW itself for anything it cannot answer from its listings.
#pragma once

#include <string>
#include <unordered_map>

namespace tonvane {

class LongNames {
 public:
  // The path with every component in its long form; the path as given when
  // it does not exist or its long form is longer than 260 characters.
  std::wstring longForm(const std::wstring& path);

  void clear() {
    folders_.clear();
    resolvedFolders_.clear();
  }

 private:
  // Upper-cased long and short names of a folder's entries -> long name.
  using Listing = std::unordered_map<std::wstring, std::wstring>;

  // The long form of a path the listings can answer (a drive path with
  // plain steps), "" when a step is not found.
  std::wstring resolve(const std::wstring& path);
  const Listing& listing(const std::wstring& folder, bool refresh);

  struct ResolvedFolder {
    std::wstring typed;     // as the caller wrote it, with its backslash
    std::wstring resolved;  // its long form, with its backslash
  };
  std::unordered_map<std::wstring, Listing> folders_;                 // by upper-cased long form
  std::unordered_map<std::wstring, ResolvedFolder> resolvedFolders_;  // by upper-cased typed form
};

// GetLongPathNameW with a 261-character buffer; the path as given when that
// fails or the result does not fit.
std::wstring systemLongForm(const std::wstring& path);

}  // namespace tonvane
