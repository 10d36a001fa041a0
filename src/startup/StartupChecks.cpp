#include "StartupChecks.h"

#include <string>

#include "ProductIdentity.h"
#include "SetupLog.h"
#include "SetupMessage.h"
#include "TranslationTable.h"

namespace tonvane {

namespace {

constexpr DWORD kVersionRecordSize = 276;  // sizeof(OSVERSIONINFOW)

InstanceMutex instanceMutex;

void refuse(const wchar_t* message, bool show) {
  setupLog(std::wstring(L"Refused at start-up: ") + message);
  if (show) showSetupMessage(GetDesktopWindow(), translateText(message), MB_OK);
}

}  // namespace

std::optional<ExitCode> checkStart(const StartupPlatform& platform, bool showRefusals) {
  // The wizard ends every refusal alike; a silent run with the number a
  // deployment tool reads.
  const auto refusal = [showRefusals](ExitCode silentCode) {
    return showRefusals ? ExitCode::WizardRefused : silentCode;
  };
  if (!instanceMutex.take(kSetupMutexName)) {
    setupLog(L"Refused at start-up: another copy of the setup is running");
    releaseInstance();
    return refusal(ExitCode::SilentAnotherCopy);
  }

  loadInterfaceLanguage(commandLineArguments());

  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = kVersionRecordSize;
  if (!platform.getVersion(&version) || version.dwPlatformId != VER_PLATFORM_WIN32_NT) {
    refuse(L"You can install Windows 2000, XP, Vista, 7 and 8.", showRefusals);
    releaseInstance();
    return refusal(ExitCode::SilentUnsupportedSystem);
  }
  if (!platform.isUserAnAdmin()) {
    refuse(L"Please start with administrator privileges.", showRefusals);
    releaseInstance();
    return refusal(ExitCode::SilentNotAdministrator);
  }
  return std::nullopt;
}

void releaseInstance() { instanceMutex.release(); }

}  // namespace tonvane
