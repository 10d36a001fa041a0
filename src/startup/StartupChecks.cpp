#include "StartupChecks.h"

#include <string>

#include "SetupLog.h"
#include "SetupMessage.h"
#include "SilentInstall.h"
#include "TranslationTable.h"

namespace tonvane {

namespace {

constexpr wchar_t kMutexName[] = L"TonvaneSetup";
constexpr DWORD kVersionRecordSize = 276;  // sizeof(OSVERSIONINFOW)

InstanceMutex instanceMutex;

void refuse(const wchar_t* message, bool show) {
  setupLog(std::wstring(L"Refused at start-up: ") + message);
  if (show) showSetupMessage(GetDesktopWindow(), translateText(message), MB_OK);
}

}  // namespace

std::optional<int> checkStart(const StartupPlatform& platform, bool showRefusals) {
  // The wizard ends a refusal with 1; a silent run with the number a
  // deployment tool reads (SilentInstall.h).
  const auto refusal = [showRefusals](int silentCode) { return showRefusals ? 1 : silentCode; };
  if (!instanceMutex.take(kMutexName)) {
    setupLog(L"Refused at start-up: another copy of the setup is running");
    releaseInstance();
    return refusal(kSilentAnotherCopy);
  }

  loadInterfaceLanguage(commandLineArguments());

  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = kVersionRecordSize;
  if (!platform.getVersion(&version) || version.dwPlatformId != VER_PLATFORM_WIN32_NT) {
    refuse(L"You can install Windows 2000, XP, Vista, 7 and 8.", showRefusals);
    releaseInstance();
    return refusal(kSilentUnsupportedSystem);
  }
  if (!platform.isUserAnAdmin()) {
    refuse(L"Please start with administrator privileges.", showRefusals);
    releaseInstance();
    return refusal(kSilentNotAdministrator);
  }
  return std::nullopt;
}

void releaseInstance() { instanceMutex.release(); }

}  // namespace tonvane
