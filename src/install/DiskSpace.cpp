#include "DiskSpace.h"

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "ArchiveForm.h"
#include "ArchiveWalk.h"
#include "InstallJob.h"
#include "NumberText.h"
#include "Paths.h"
#include "Resources.h"
#include "SetupLog.h"
#include "TranslationTable.h"

namespace tonvane {

namespace {

constexpr const wchar_t* kNotEnoughSpace =
    L"There is not enough free space on drive %s. The install needs %s, and %s is free.";

// Each "%s" of `pattern` in turn takes the next of `values`; a translation
// that drops one simply shows fewer.
std::wstring filledIn(const std::wstring& pattern, std::initializer_list<std::wstring> values) {
  std::wstring text;
  auto value = values.begin();
  std::size_t from = 0;
  for (std::size_t at = pattern.find(L"%s"); at != std::wstring::npos; at = pattern.find(L"%s", from)) {
    text += pattern.substr(from, at - from);
    if (value != values.end()) text += *value++;
    from = at + 2;
  }
  return text + pattern.substr(from);
}

// "C:\Apps\New\Tonvane Free" gives "C:\Apps\" when only that exists: the
// folder whose volume the new folders will be made on. "" when not even the
// drive or share is there.
std::wstring nearestExistingFolder(const std::wstring& path) {
  std::wstring folder = removeTrailingBackslash(path);
  while (!folder.empty()) {
    const std::wstring candidate = folder + L"\\";
    if (isExistingFolder(candidate)) return candidate;
    const std::size_t slash = folder.rfind(L'\\');
    // Never up into "\\" alone: that is no folder of any volume.
    if (slash == std::wstring::npos || slash < 2) break;
    folder.resize(slash);
  }
  return std::wstring();
}

// The drive or share a path begins with, for naming a volume the system
// cannot tell more about.
std::wstring rootText(const std::wstring& path) {
  if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2);
  if (path.compare(0, 2, L"\\\\") == 0) {
    const std::size_t server = path.find(L'\\', 2);
    const std::size_t share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
    return path.substr(0, share);
  }
  return removeTrailingBackslash(path);
}

// The uninstaller's size as written: a setup of the solid form carries it
// packed (InstallJob.cpp), and its directory says how large it unpacks.
std::uint64_t uninstallerBytes() {
  const ResourceBytes carried = loadResource(ResourceId::kExe, IDR_UNINSTALLER);
  const ArchiveForm& form = archiveFormOf(carried.data, carried.size);
  if (&form == &zipArchiveForm()) return carried.size;
  std::uint64_t bytes = 0;
  const ArchiveDirectory reader = form.directory(carried.data, carried.size);
  if (reader.get() == nullptr) return carried.size;
  ArchiveWalk walk(reader.get());
  for (ArchiveEntry entry; walk.next(entry);) bytes += entry.size;
  return bytes;
}

// The install folder's share: the application's files, install.log, and the
// uninstaller or the portable settings file.
std::vector<std::uint64_t> installFolderFiles(const ResourceBytes& archive, const std::wstring& folder, bool portable) {
  std::vector<std::uint64_t> sizes;
  // "[Install]" and the line end of the last path.
  std::uint64_t logBytes = 16;
  const ArchiveDirectory reader = archiveFormOf(archive.data, archive.size).directory(archive.data, archive.size);
  if (reader.get() != nullptr) {
    ArchiveWalk walk(reader.get());
    ArchiveEntry entry;
    for (std::uint64_t index = 1; walk.next(entry);) {
      if (entry.folder) continue;
      sizes.push_back(entry.size);
      // "Path<n>=<folder><name>\r\n". An entry name is already in bytes of
      // the code page; a folder character may take two of them.
      logBytes += 4 + decimalText(index++).size() + 1 + 2 * folder.size() + entry.rawName.size() + 2;
    }
  }
  const std::wstring logPath = folder + kInstallLogFileName;
  WIN32_FILE_ATTRIBUTE_DATA earlier = {};
  if (GetFileAttributesExW(logPath.c_str(), GetFileExInfoStandard, &earlier) &&
      !(earlier.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    logBytes += (std::uint64_t{earlier.nFileSizeHigh} << 32) | earlier.nFileSizeLow;
  sizes.push_back(logBytes);
  if (portable)
    sizes.push_back(loadResource(ResourceId::kText, IDR_SETTINGS_TEMPLATE).size);
  else
    sizes.push_back(uninstallerBytes());
  return sizes;
}

}  // namespace

VolumeSpace volumeOfPath(const std::wstring& path) {
  VolumeSpace volume;
  const std::wstring existing = nearestExistingFolder(path);
  std::vector<wchar_t> root(existing.size() + MAX_PATH + 1, L'\0');
  if (existing.empty() || !GetVolumePathNameW(existing.c_str(), root.data(), static_cast<DWORD>(root.size()))) {
    volume.name = rootText(path);
    volume.identity = lowerCase(ensureTrailingBackslash(volume.name));
    return volume;
  }
  const std::wstring rootPath = ensureTrailingBackslash(root.data());
  volume.name = removeTrailingBackslash(rootPath);
  // A volume reached through two drive letters, or a drive letter and a
  // mounted folder, has one name for both.
  wchar_t unique[64] = {};
  volume.identity =
      GetVolumeNameForVolumeMountPointW(rootPath.c_str(), unique, 64) ? std::wstring(unique) : lowerCase(rootPath);

  ULARGE_INTEGER available = {};
  if (GetDiskFreeSpaceExW(existing.c_str(), &available, nullptr, nullptr)) {
    volume.freeKnown = true;
    volume.freeBytes = available.QuadPart;
  }
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  if (GetDiskFreeSpaceW(rootPath.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
    volume.clusterBytes = std::uint64_t{sectorsPerCluster} * bytesPerSector;
  return volume;
}

std::vector<VolumeSpace> installSpaceNeeds(const std::wstring& installFolder, bool portable) {
  const std::wstring folder = ensureTrailingBackslash(installFolder);
  const ResourceBytes archive = loadResource(ResourceId::kZip, IDR_APPLICATION_ARCHIVE);
  std::vector<VolumeSpace> needs;
  addFilesToVolume(needs, volumeOfPath(folder), installFolderFiles(archive, folder, portable));
  return needs;
}

std::wstring notEnoughSpaceText(const VolumeSpace& volume, bool translated) {
  return filledIn(translated ? translateText(kNotEnoughSpace) : std::wstring(kNotEnoughSpace),
                  {volume.name, byteSizeText(volume.neededBytes, true), byteSizeText(volume.freeBytes, false)});
}

bool installHasRoom(const std::wstring& installFolder, bool portable, VolumeSpace& shortVolume) {
  const std::vector<VolumeSpace> needs = installSpaceNeeds(installFolder, portable);
  for (const VolumeSpace& volume : needs) {
    const std::wstring needed =
        L"The install needs " + byteSizeText(volume.neededBytes, true) + L" on drive " + volume.name;
    if (volume.freeKnown)
      setupLog(needed + L"; " + byteSizeText(volume.freeBytes, false) + L" is free");
    else
      setupLog(needed + L"; its free space could not be read, the install goes on");
  }
  const VolumeSpace* without = volumeWithoutRoom(needs);
  if (without == nullptr) return true;
  shortVolume = *without;
  setupLog(notEnoughSpaceText(shortVolume, false));
  return false;
}

}  // namespace tonvane
