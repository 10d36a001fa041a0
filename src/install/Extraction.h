// Unpacking the setup's ZIP payloads (the application archive and the
// partner-offer archives) from a file into a folder.
#pragma once

#include <string>
#include <vector>

namespace tonvane {

// Extracts every file entry of the archive at `archivePath` into
// `destination` (with or without trailing backslash), replacing files of
// the same names, and appends each written file's full path to `written` in
// the archive's order. Folders are made but never listed.
//
// Entries that cannot be read or created are skipped, and so is every name
// that would land outside `destination` (a ".." step, a drive or stream
// colon, a leading backslash, a name too long to read whole). A data error
// inside an entry leaves the file as far as it got, still listed.
//
// False when the archive cannot be opened or the copy buffer cannot be had;
// true once the archive's directory was walked to its end.
bool extractArchive(const std::wstring& archivePath, const std::wstring& destination,
                    std::vector<std::wstring>& written);

}  // namespace tonvane
