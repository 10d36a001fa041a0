#include "InstallLog.h"

#include <windows.h>

#include "AnsiText.h"
#include "FileHandle.h"
#include "IniDocument.h"
#include "InstallLogText.h"
#include "LongNames.h"
#include "Paths.h"

namespace tonvane {

namespace {

std::wstring comparedForm(const std::wstring& longForm) {
  return removeTrailingBackslash(lowerCase(longForm));
}

}  // namespace

bool samePath(const std::wstring& a, const std::wstring& b) {
  return comparedForm(systemLongForm(a)) == comparedForm(systemLongForm(b));
}

bool PathList::addExistingPath(const std::wstring& path) {
  return isExistingPath(path) && addPath(path);
}

bool PathList::addPath(const std::wstring& path) {
  if (!comparedForms_.insert(comparedForm(longNames_.longForm(path))).second) return false;
  paths_.push_back(path);
  return true;
}

void PathList::clear() {
  paths_.clear();
  comparedForms_.clear();
  longNames_.clear();
}

bool loadInstallLog(const std::wstring& logPath, PathList& list) {
  IniDocument log;  // unescapeOnLoad stays off: paths keep their backslashes
  if (!log.loadFile(logPath)) return false;
  const int section = log.findSection(L"Install");
  if (section < 0) return false;

  list.clear();
  const std::wstring folder = list.longForm(folderOfPath(logPath));
  const EntryTable& entries = log.sectionEntries(section);
  std::wstring key, value;
  for (int i = 0; i < entries.entryCount(); ++i) {
    if (!entries.entryAt(i, key, value) || !isPlainDrivePath(value)) continue;
    if (isPathInsideFolder(list.longForm(value), folder)) list.addExistingPath(value);
  }
  return true;
}

bool saveInstallLog(const PathList& list, const std::wstring& logPath) {
  // Windows refuses to replace a read-only file, and so do we, everywhere.
  if (pathHasAttributes(logPath, FILE_ATTRIBUTE_READONLY)) return false;

  const std::string bytes = encodeAnsiText(installLogText(list.paths()));

  wchar_t temporary[MAX_PATH] = {};
  if (!GetTempFileNameW(folderOfPath(logPath).c_str(), L"log", 0, temporary)) return false;

  FileHandle file;
  if (!file.openForCreating(temporary)) {
    DeleteFileW(temporary);
    return false;
  }
  const bool complete = file.writeAll(bytes.data(), bytes.size());
  file.close();
  if (!complete || !MoveFileExW(temporary, logPath.c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temporary);
    return false;
  }
  return true;
}

}  // namespace tonvane
