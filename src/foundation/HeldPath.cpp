#include "HeldPath.h"

#include "PathText.h"
#include "SystemLibrary.h"

namespace tonvane {

namespace {

// Vista's calls, looked up rather than imported so that the programs still
// start on older systems, which then refuse what they cannot check.
using FinalPathProcedure = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
using SetInformationProcedure = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
using CompareOrdinalProcedure = int(WINAPI*)(LPCWSTR, int, LPCWSTR, int, BOOL);

std::wstring withoutVerbatimPrefix(const std::wstring& path) {
  if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\\\" + path.substr(8);
  if (path.compare(0, 4, L"\\\\?\\") == 0) return path.substr(4);
  return path;
}

}  // namespace

std::wstring finalPathOf(HANDLE handle) {
  static const auto procedure = kernelProcedure<FinalPathProcedure>("GetFinalPathNameByHandleW");
  if (procedure == nullptr || handle == nullptr || handle == INVALID_HANDLE_VALUE) return std::wstring();
  std::wstring buffer(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length =
        procedure(handle, &buffer[0], static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return std::wstring();
    if (length < buffer.size()) {
      buffer.resize(length);
      return withoutVerbatimPrefix(buffer);
    }
    buffer.assign(length + 1, L'\0');
  }
  return std::wstring();
}

bool sameFinalPath(const std::wstring& a, const std::wstring& b) {
  if (a.empty() || b.empty()) return false;
  static const auto compare = kernelProcedure<CompareOrdinalProcedure>("CompareStringOrdinal");
  if (compare == nullptr) return lowerCase(a) == lowerCase(b);
  return compare(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool deleteThroughHandle(HANDLE handle) {
  static const auto setInformation = kernelProcedure<SetInformationProcedure>("SetFileInformationByHandle");
  if (setInformation == nullptr || handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  FILE_DISPOSITION_INFO disposition = {};
  disposition.DeleteFile = TRUE;
  return setInformation(handle, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

bool HeldPath::open(const std::wstring& given, Access access) {
  close();
  // A name with a trailing backslash is a link's target to Wine, which
  // then reports no link; a root keeps its backslash ("C:\\").
  std::wstring path = given;
  if (path.size() > 3 && path.back() == L'\\' && path[path.size() - 2] != L':') path.pop_back();
  DWORD rights = FILE_READ_ATTRIBUTES | SYNCHRONIZE | FILE_READ_DATA;
  if (access == Access::Delete) rights |= DELETE | FILE_WRITE_ATTRIBUTES;
  KernelHandle opened(CreateFileW(path.c_str(), rights, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!opened) return false;
  BY_HANDLE_FILE_INFORMATION information = {};
  if (!GetFileInformationByHandle(opened.get(), &information)) return false;
  attributes_ = information.dwFileAttributes;
  // Wine opens what a link leads to and reports the link at its name only.
  const DWORD atName = GetFileAttributesW(path.c_str());
  if (atName != INVALID_FILE_ATTRIBUTES) attributes_ |= atName & FILE_ATTRIBUTE_REPARSE_POINT;
  final_ = finalPathOf(opened.get());
  handle_ = std::move(opened);
  return true;
}

bool HeldPath::isFolder() const { return isOpen() && (attributes_ & FILE_ATTRIBUTE_DIRECTORY) != 0; }

bool HeldPath::isReparsePoint() const { return isOpen() && (attributes_ & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

bool HeldPath::isAt(const std::wstring& expectedFinal) const {
  return isOpen() && !isReparsePoint() && sameFinalPath(final_, removeTrailingBackslash(expectedFinal));
}

bool HeldPath::remove() {
  static const auto setInformation = kernelProcedure<SetInformationProcedure>("SetFileInformationByHandle");
  if (!isOpen() || setInformation == nullptr) return false;
  if (attributes_ & FILE_ATTRIBUTE_READONLY) {
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = attributes_ & ~(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_REPARSE_POINT);
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    setInformation(handle_.get(), FileBasicInfo, &basic, sizeof basic);
  }
  if (!deleteThroughHandle(handle_.get())) return false;
  close();
  return true;
}

bool HeldPath::readAll(std::string& bytes, std::size_t limit) const {
  bytes.clear();
  if (!isOpen() || isFolder()) return false;
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(handle_.get(), &size) || size.QuadPart < 0 ||
      static_cast<unsigned long long>(size.QuadPart) > limit)
    return false;
  bytes.resize(static_cast<std::size_t>(size.QuadPart));
  LARGE_INTEGER start = {};
  if (!SetFilePointerEx(handle_.get(), start, nullptr, FILE_BEGIN)) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    if (!ReadFile(handle_.get(), &bytes[done], static_cast<DWORD>(bytes.size() - done), &got, nullptr) || got == 0)
      return false;
    done += got;
  }
  return true;
}

void HeldPath::close() {
  handle_.close();
  final_.clear();
  attributes_ = 0;
}

bool holdFolderSteps(const std::wstring& base, const std::wstring& relative, std::vector<HeldPath>& steps) {
  steps.clear();
  HeldPath first;
  if (!first.open(base, HeldPath::Access::Look) || !first.isFolder() || first.finalPath().empty()) return false;
  steps.push_back(std::move(first));
  std::wstring path = ensureTrailingBackslash(base);
  std::size_t start = 0;
  while (start < relative.size()) {
    std::size_t end = relative.find(L'\\', start);
    if (end == std::wstring::npos) end = relative.size();
    const std::wstring name = relative.substr(start, end - start);
    start = end + 1;
    if (name.empty()) continue;
    path += name + L"\\";
    HeldPath step;
    if (!step.open(path, HeldPath::Access::Look) || !step.isFolder() ||
        !step.isAt(ensureTrailingBackslash(steps.back().finalPath()) + name)) {
      steps.clear();
      return false;
    }
    steps.push_back(std::move(step));
  }
  return true;
}

}  // namespace tonvane
