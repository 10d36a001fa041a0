#include "StartupChecks.h"

#include <shellapi.h>

#include <string>
#include <vector>

#include "LanguageChoice.h"
#include "Resources.h"
#include "SystemLibrary.h"
#include "TranslationTable.h"

namespace tonvane {

namespace {

constexpr wchar_t kMutexName[] = L"TonvaneSetup";
constexpr DWORD kVersionRecordSize = 276;  // sizeof(OSVERSIONINFOW)
constexpr unsigned kIsUserAnAdminOrdinal = 680;

HANDLE instanceMutex = nullptr;

std::vector<std::wstring> commandLineArguments() {
  std::vector<std::wstring> arguments;
  int count = 0;
  wchar_t** list = CommandLineToArgvW(GetCommandLineW(), &count);
  if (list == nullptr) return arguments;
  for (int i = 0; i < count; ++i) arguments.emplace_back(list[i]);
  LocalFree(list);
  return arguments;
}

BOOL platformIsUserAnAdmin() {
  using Proc = BOOL(WINAPI*)();
  const auto proc = reinterpret_cast<Proc>(reinterpret_cast<void*>(systemProcedure(
      L"shell32.dll", reinterpret_cast<const char*>(static_cast<ULONG_PTR>(kIsUserAnAdminOrdinal)))));
  return proc != nullptr && proc();
}

BOOL platformGetVersion(OSVERSIONINFOW* info) {
  // Deprecated for version numbers, still right for the platform id.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  return GetVersionExW(info);
#pragma GCC diagnostic pop
}

void showRefusal(const wchar_t* message) {
  MessageBoxW(GetDesktopWindow(), translateText(message).c_str(),
              translateText(L"Tonvane Free Setup").c_str(), MB_OK);
}

}  // namespace

StartupPlatform systemStartupPlatform() { return {platformGetVersion, platformIsUserAnAdmin}; }

std::optional<int> checkStart(const StartupPlatform& platform) {
  instanceMutex = CreateMutexW(nullptr, TRUE, kMutexName);
  if (instanceMutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
    releaseInstance();
    return 1;
  }

  if (japaneseInterface(languageCode(commandLineArguments()), GetUserDefaultLangID()))
    loadTranslationResource(IDR_JAPANESE_TABLE);

  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = kVersionRecordSize;
  if (!platform.getVersion(&version) || version.dwPlatformId != VER_PLATFORM_WIN32_NT) {
    showRefusal(L"You can install Windows 2000, XP, Vista, 7 and 8.");
    releaseInstance();
    return 1;
  }
  if (!platform.isUserAnAdmin()) {
    showRefusal(L"Please start with administrator privileges.");
    releaseInstance();
    return 1;
  }
  return std::nullopt;
}

void releaseInstance() {
  if (instanceMutex == nullptr) return;
  ReleaseMutex(instanceMutex);
  CloseHandle(instanceMutex);
  instanceMutex = nullptr;
}

}  // namespace tonvane
