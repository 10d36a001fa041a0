// rand_s is declared only when this is defined before the first include of
// the C runtime's headers.
#define _CRT_RAND_S
#include <stdlib.h>

#include "StagingFolder.h"

#include <windows.h>

#include <cwchar>

#include "NumberText.h"
#include "PrivateAccess.h"

namespace tonvane {

namespace {
constexpr int kAttempts = 64;
}

std::wstring createStagingFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH) return std::wstring();

  PrivateAccess access;
  SECURITY_ATTRIBUTES* security = nullptr;
  if (processIsElevated()) {
    security = access.get();
    if (security == nullptr) return std::wstring();
  }

  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    unsigned int value = 0;
    if (rand_s(&value) != 0) return std::wstring();
    const std::wstring folder = std::wstring(temp) + decimalText(value % 100000000u, 8) + L"\\";
    // CreateDirectoryW fails on an existing name, so a folder someone else
    // made is never taken over; draw again. Elevated, the folder is made
    // private in the same call: the user's temporary folder lets the user's
    // own programs into every folder that inherits its access list.
    if (CreateDirectoryW(folder.c_str(), security)) {
      if (!isReparsePoint(folder)) return folder;
      RemoveDirectoryW(folder.c_str());
      return std::wstring();
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) return std::wstring();
  }
  return std::wstring();
}

}  // namespace tonvane
