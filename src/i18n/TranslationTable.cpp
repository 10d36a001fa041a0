#include "TranslationTable.h"

#include "AnsiText.h"
#include "Resources.h"

namespace tonvane {

namespace {

constexpr int kWindowTextCapacity = 1024;

bool translateTree(HWND window, const EntryTable& table, bool withSiblings) {
  if (window == nullptr) return false;
  ScopedLock hold(TranslationTable::instance().lock());

  // A longer text is read cut short and so never matches a key.
  wchar_t buffer[kWindowTextCapacity] = {};
  GetWindowTextW(window, buffer, kWindowTextCapacity);
  const std::wstring text = buffer;
  if (!text.empty()) {
    if (const std::wstring* value = table.lookup(text)) SetWindowTextW(window, unescapeText(*value).c_str());
  }
  if (HWND child = GetWindow(window, GW_CHILD)) translateTree(child, table, true);
  if (withSiblings) {
    if (HWND next = GetWindow(window, GW_HWNDNEXT)) translateTree(next, table, true);
  }
  return true;
}

// The table of a TEXT resource in Shift-JIS (code page 932, whatever the
// system's ANSI code page is).
void loadTableResource(IniDocument& table, unsigned resourceId) {
  const ResourceBytes bytes = loadResource(ResourceId::kText, resourceId);
  table.loadText(decodeShiftJisText(bytes.data, bytes.size));
}

const std::wstring* textEntry(const IniDocument& table, const std::wstring& text) {
  const int section = table.findSection(L"Text");
  return section >= 0 ? table.sectionEntries(section).lookup(text) : nullptr;
}

}  // namespace

TranslationTable::TranslationTable() { unescapeOnLoad = true; }

TranslationTable& TranslationTable::instance() {
  static TranslationTable table;
  return table;
}

std::wstring translateText(const std::wstring& text) {
  TranslationTable& table = TranslationTable::instance();
  ScopedLock hold(table.lock());
  if (const std::wstring* value = textEntry(table, text)) return unescapeText(*value);
  return std::wstring(text);
}

bool translateWindow(HWND window) {
  TranslationTable& table = TranslationTable::instance();
  ScopedLock hold(table.lock());
  const int section = table.findSection(L"Window");
  if (section < 0) return false;
  return translateTree(window, table.sectionEntries(section), false);
}

void loadTranslationResource(unsigned resourceId) {
  TranslationTable& table = TranslationTable::instance();
  ScopedLock hold(table.lock());
  loadTableResource(table, resourceId);
}

std::wstring translationInResource(unsigned resourceId, const std::wstring& text) {
  IniDocument table;
  table.unescapeOnLoad = true;
  loadTableResource(table, resourceId);
  const std::wstring* value = textEntry(table, text);
  return value != nullptr ? unescapeText(*value) : std::wstring();
}

}  // namespace tonvane
