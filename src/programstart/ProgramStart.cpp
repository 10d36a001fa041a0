#include "ProgramStart.h"

#include <shellapi.h>

#include "LanguageChoice.h"
#include "ResourceIds.h"
#include "SystemLibrary.h"
#include "TranslationTable.h"

namespace tonvane {

namespace {

constexpr unsigned kIsUserAnAdminOrdinal = 680;

BOOL platformIsUserAnAdmin() {
  using Proc = BOOL(WINAPI*)();
  const auto proc = reinterpret_cast<Proc>(reinterpret_cast<void*>(
      systemProcedure(L"shell32.dll", reinterpret_cast<const char*>(static_cast<ULONG_PTR>(kIsUserAnAdminOrdinal)))));
  return proc != nullptr && proc();
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

void loadInterfaceLanguage(const std::vector<std::wstring>& arguments) {
  if (japaneseInterface(languageCode(arguments), GetUserDefaultLangID())) loadTranslationResource(IDR_JAPANESE_TABLE);
}

StartupPlatform systemStartupPlatform() { return {querySystemVersion, platformIsUserAnAdmin}; }

}  // namespace tonvane
