#include "VersionInfo.h"

#include <windows.h>

#include "Paths.h"
#include "SystemLibrary.h"

namespace tonvane {

namespace {
using SizeProc = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
using InfoProc = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
using QueryProc = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

template <typename Proc>
Proc versionProcedure(const char* name) {
  return reinterpret_cast<Proc>(reinterpret_cast<void*>(systemProcedure(L"version.dll", name)));
}
}  // namespace

VersionInfo& VersionInfo::shared() {
  static VersionInfo instance;
  return instance;
}

bool VersionInfo::load(const std::wstring& path) {
  const std::wstring file = path.empty() ? partsFullPath(splitPath(std::wstring())) : path;
  const auto getSize = versionProcedure<SizeProc>("GetFileVersionInfoSizeW");
  const auto getInfo = versionProcedure<InfoProc>("GetFileVersionInfoW");
  if (getSize == nullptr || getInfo == nullptr) {
    block.clear();
    return false;
  }
  DWORD ignored = 0;
  const DWORD size = getSize(file.c_str(), &ignored);
  block.resize(size);
  if (size == 0) return false;
  return getInfo(file.c_str(), 0, size, block.data()) != FALSE;
}

std::wstring VersionInfo::productVersion() const {
  if (block.empty()) return std::wstring();
  const auto query = versionProcedure<QueryProc>("VerQueryValueW");
  if (query == nullptr) return std::wstring();
  const std::wstring subBlock = L"\\StringFileInfo\\" + translationKey + L"\\ProductVersion";
  void* value = nullptr;
  UINT length = 0;
  if (!query(block.data(), subBlock.c_str(), &value, &length) || value == nullptr) return std::wstring();
  // The length counts characters, the terminator included when present.
  std::wstring text(static_cast<const wchar_t*>(value), length);
  const std::size_t zero = text.find(L'\0');
  if (zero != std::wstring::npos) text.resize(zero);
  return text;
}

}  // namespace tonvane
