#include "StartupChecks.h"

#include <shellapi.h>

#include <string>
#include <vector>

#include "LanguageChoice.h"
#include "ProductIdentity.h"
#include "Resources.h"
#include "SetupLog.h"
#include "SetupMessage.h"
#include "SystemLibrary.h"
#include "TranslationTable.h"

namespace tonvane {

namespace {

constexpr DWORD kVersionRecordSize = 276;  // sizeof(OSVERSIONINFOW)
constexpr unsigned kIsUserAnAdminOrdinal = 680;

InstanceMutex instanceMutex;

BOOL platformIsUserAnAdmin() {
  using Proc = BOOL(WINAPI*)();
  const auto proc = reinterpret_cast<Proc>(reinterpret_cast<void*>(systemProcedure(
      L"shell32.dll", reinterpret_cast<const char*>(static_cast<ULONG_PTR>(kIsUserAnAdminOrdinal)))));
  return proc != nullptr && proc();
}

void refuse(const wchar_t* message, bool show) {
  setupLog(std::wstring(L"Refused at start-up: ") + message);
  if (show) showSetupMessage(GetDesktopWindow(), translateText(message), MB_OK);
}

}  // namespace

bool InstanceMutex::take(const wchar_t* name) {
  release();
  handle_.reset(CreateMutexW(nullptr, TRUE, name));
  first_ = handle_.valid() && GetLastError() != ERROR_ALREADY_EXISTS;
  return first_;
}

void InstanceMutex::release() {
  if (first_) ReleaseMutex(handle_.get());
  first_ = false;
  handle_.close();
}

std::vector<std::wstring> commandLineArguments() {
  std::vector<std::wstring> arguments;
  int count = 0;
  const LocalMemory<wchar_t**> list(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!list) return arguments;
  for (int i = 0; i < count; ++i) arguments.emplace_back(list.get()[i]);
  return arguments;
}

StartupPlatform systemStartupPlatform() { return {querySystemVersion, platformIsUserAnAdmin}; }

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

  if (japaneseInterface(languageCode(commandLineArguments()), GetUserDefaultLangID()))
    loadTranslationResource(IDR_JAPANESE_TABLE);

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
