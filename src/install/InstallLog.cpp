#include "InstallLog.h"

#include <windows.h>

#include "AnsiText.h"
#include "FileHandle.h"
#include "IniDocument.h"
#include "InstallLogText.h"
#include "InstallTransaction.h"
#include "LongNames.h"
#include "PathText.h"
#include "Paths.h"

namespace tonvane {

namespace {

std::wstring comparedForm(const std::wstring& longForm) { return removeTrailingBackslash(lowerCase(longForm)); }

}  // namespace

bool samePath(const std::wstring& a, const std::wstring& b) {
  return comparedForm(systemLongForm(a)) == comparedForm(systemLongForm(b));
}

bool PathList::addExistingPath(const std::wstring& path) { return isExistingPath(path) && addPath(path); }

bool PathList::addPath(const std::wstring& path) { return addCompared(path, longNames_.longForm(path)); }

void PathList::addNewFiles(const std::wstring& folder, const std::vector<std::wstring>& relatives) {
  const std::wstring root = ensureTrailingBackslash(folder);
  const std::wstring longRoot = ensureTrailingBackslash(longNames_.longForm(root));
  for (const std::wstring& relative : relatives) addCompared(root + relative, longRoot + relative);
}

bool PathList::addCompared(const std::wstring& path, const std::wstring& longForm) {
  if (!comparedForms_.insert(comparedForm(longForm)).second) return false;
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
    // Written with backslashes only: a "/" the system would take for a
    // separator is not this setup's.
    if (!entries.entryAt(i, key, value) || classifyPath(value, Separators::Backslash) != PathKind::Drive ||
        value.find(L'/') != std::wstring::npos)
      continue;
    if (isPathInsideFolder(list.longForm(value), folder)) list.addExistingPath(value);
  }
  return true;
}

std::string installLogBytes(const PathList& list) { return encodeAnsiText(installLogText(list.paths())); }

bool saveInstallLog(const PathList& list, const std::wstring& logPath) {
  const std::string bytes = installLogBytes(list);
  return replaceFileWithBytes(logPath, bytes.data(), bytes.size());
}

}  // namespace tonvane
