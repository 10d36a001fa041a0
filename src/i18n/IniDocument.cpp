#include "IniDocument.h"

#include <algorithm>
#include <utility>

namespace tonvane {

std::wstring unescapeText(const std::wstring& text) {
  if (text.find_first_of(L"\\\"") == std::wstring::npos) return text;

  std::wstring result;
  result.reserve(text.size());
  bool escaped = false;
  for (wchar_t c : text) {
    if (!escaped) {
      if (c == L'\\') {
        escaped = true;
      } else if (c != L'"') {
        result += c;
      }
      continue;
    }
    escaped = false;
    switch (c) {
      case L'n':
        result += L'\n';
        break;
      case L'r':
        result += L'\r';
        break;
      case L't':
        result += L'\t';
        break;
      case L'\\':
        result += L'\\';
        break;
      case L'"':
        result += L'"';
        break;
      default:
        result += L'\\';
        result += c;
        break;
    }
  }
  // A backslash left pending at the end escapes nothing and is dropped.
  return result;
}

void IniDocument::clear() {
  sections.clear();
  sourcePath.clear();
}

bool IniDocument::loadText(const std::wstring& text) {
  clear();
  if (text.empty()) return false;

  std::size_t begin = 0;
  for (;;) {
    const std::size_t end = text.find(L"\r\n", begin);
    if (end == std::wstring::npos) {
      applyLine(text, begin, text.size());
      break;
    }
    applyLine(text, begin, end);
    begin = end + 2;
  }

  // Tables grew one entry at a time; settle each on the size it ended with.
  // This decides the order in which their entries are read back.
  for (const std::unique_ptr<IniSection>& section : sections) section->entries.rebuild(section->entries.entryCount());
  return true;
}

void IniDocument::applyLine(const std::wstring& text, std::size_t begin, std::size_t end) {
  const std::size_t length = end - begin;
  if (length == 0) return;
  const wchar_t first = text[begin];
  if (first == L';') return;
  if (first == L'/' && length >= 2 && text[begin + 1] == L'/') return;

  if (length >= 3 && first == L'[' && text[end - 1] == L']') {
    auto section = std::make_unique<IniSection>();
    section->name = text.substr(begin + 1, length - 2);
    sections.push_back(std::move(section));
    return;
  }

  // Searched within the line only: a long text with few "=" stays linear.
  const auto lineEnd = text.begin() + static_cast<std::ptrdiff_t>(end);
  const auto found = std::find(text.begin() + static_cast<std::ptrdiff_t>(begin), lineEnd, L'=');
  if (found == lineEnd || sections.empty()) return;
  const std::size_t equals = static_cast<std::size_t>(found - text.begin());

  std::wstring key;
  std::wstring value;
  // A line that starts with "=" stores the empty key, and always with an
  // empty value, whatever follows the "=".
  if (equals != begin) {
    key = text.substr(begin, equals - begin);
    value = text.substr(equals + 1, end - equals - 1);
  }
  if (unescapeOnLoad) {
    key = unescapeText(key);
    value = unescapeText(value);
  }
  sections.back()->entries.set(key, value);
}

int IniDocument::findSection(const std::wstring& name) const {
  for (std::size_t i = 0; i < sections.size(); ++i) {
    if (sections[i]->name == name) return static_cast<int>(i);
  }
  return -1;
}

std::wstring IniDocument::sectionName(int index) const {
  if (index < 0 || index >= sectionCount()) return std::wstring();
  return sections[static_cast<std::size_t>(index)]->name;
}

const EntryTable& IniDocument::sectionEntries(int index) const {
  static const EntryTable empty;
  if (index < 0 || index >= sectionCount()) return empty;
  return sections[static_cast<std::size_t>(index)]->entries;
}

}  // namespace tonvane
