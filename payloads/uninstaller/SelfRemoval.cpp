#include "SelfRemoval.h"

#include <cwchar>
#include <vector>

#include "FileHandle.h"
#include "HeldPath.h"
#include "NumberText.h"
#include "PathText.h"
#include "Paths.h"
#include "PrivateFolder.h"
#include "ProductIdentity.h"
#include "ScopedHandles.h"
#include "Shortcuts.h"

namespace tonvane {

namespace {

// The original starts the copy before its summary, which stands until the
// user answers it: the copy, which shows nothing, waits as long as that.
// Before the original has ended, its file could not be deleted anyway.
constexpr DWORD kOriginalWait = INFINITE;
// The original's image may still be mapped for a moment after its handle is
// signalled.
constexpr int kDeleteTries = 50;
constexpr DWORD kDeleteRetryDelay = 100;

std::vector<char> ownImage() {
  std::vector<char> bytes;
  FileHandle file;
  if (!file.openHeldForReading(modulePath())) return bytes;
  const std::uint64_t size = file.size();
  if (size == 0 || size > 64u * 1024 * 1024) return bytes;
  bytes.resize(static_cast<std::size_t>(size));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::uint32_t got = file.read(bytes.data() + done, static_cast<std::uint32_t>(bytes.size() - done));
    if (got == 0) return {};
    done += got;
  }
  return bytes;
}

// The copy of this program in `folder`; its path, or "" when it could not
// be written whole. Created new, with the folder's private access list.
std::wstring writeCopy(const PrivateFolder& folder) {
  const std::vector<char> image = ownImage();
  if (image.empty()) return std::wstring();
  const std::wstring path = folder.path() + kUninstallerFileName;
  bool whole = false;
  {
    FileHandle file;
    if (!file.createNew(path, nullptr)) return std::wstring();
    whole = file.writeAll(image.data(), image.size());
  }
  if (whole) return path;
  DeleteFileW(path.c_str());
  return std::wstring();
}

// CommandLineToArgvW reads a backslash before a quote as an escaped quote.
std::wstring quoted(const std::wstring& path) { return L"\"" + removeTrailingBackslash(path) + L"\""; }

bool deleteWithRetries(const std::wstring& path) {
  for (int attempt = 0; attempt < kDeleteTries; ++attempt) {
    if (DeleteFileW(path.c_str())) return true;
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
    Sleep(kDeleteRetryDelay);
  }
  return false;
}

}  // namespace

bool startSelfRemoval(const std::wstring& installFolder) {
  PrivateFolder folder;
  if (!folder.create(kUninstallerCopyFolderPrefix)) return false;
  const std::wstring copy = writeCopy(folder);
  if (copy.empty()) return false;

  // Deleted by the system when the last handle goes, which is the copy's
  // inherited one. The loader shares reading and deletion, so the copy can
  // still be started while this handle is open.
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  const KernelHandle deleteOnClose(CreateFileW(copy.c_str(), DELETE | GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                               &inherited, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!deleteOnClose) {
    DeleteFileW(copy.c_str());
    return false;
  }
  // The program started below is the file this handle holds, in the folder
  // this process holds: nothing was put in its place.
  if (!sameFinalPath(finalPathOf(deleteOnClose.get()),
                     ensureTrailingBackslash(folder.finalPath()) + kUninstallerFileName))
    return false;
  KernelHandle self;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), self.receive(), SYNCHRONIZE, TRUE,
                       0))
    return false;

  const std::wstring number = decimalText(reinterpret_cast<ULONG_PTR>(self.get()));
  std::wstring commandLine = quoted(copy) + L" " + kFinishOption + L" " + number + L" " + quoted(installFolder);

  // Neither the install folder nor the copy's folder may be the copy's
  // current folder: a folder in use cannot be removed.
  wchar_t system[MAX_PATH] = {};
  if (GetSystemDirectoryW(system, MAX_PATH) == 0) return false;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(copy.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, system, &startup, &process))
    return false;
  const KernelHandle thread(process.hThread);
  const KernelHandle child(process.hProcess);
  // The copy's folder stays while the copy runs from it; the system removes
  // it, empty by then, at the next restart. Failing that it stays, empty,
  // where only administrators can reach it.
  MoveFileExW(removeTrailingBackslash(folder.path()).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  folder.release();
  return true;
}

ExitCode finishSelfRemoval(HANDLE originalProcess, const std::wstring& installFolder) {
  {
    const KernelHandle original(originalProcess);
    if (original) WaitForSingleObject(original.get(), kOriginalWait);
  }
  const std::wstring folder = ensureTrailingBackslash(installFolder);
  if (folder.size() < 4 || lowerCase(folder) == lowerCase(folderOfPath(L""))) return ExitCode::SelfRemovalIncomplete;
  const bool fileGone = deleteWithRetries(folder + kUninstallerFileName);
  bool folderGone = false;
  for (int attempt = 0; attempt < kDeleteTries && !folderGone; ++attempt) {
    folderGone = RemoveDirectoryW(folder.c_str()) != 0;
    if (!folderGone) {
      const DWORD error = GetLastError();
      if (error == ERROR_DIR_NOT_EMPTY) break;  // the user's files stay, and so does their folder
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        folderGone = true;
      else
        Sleep(kDeleteRetryDelay);
    }
  }
  return fileGone && folderGone ? ExitCode::SelfRemovalDone : ExitCode::SelfRemovalIncomplete;
}

}  // namespace tonvane
