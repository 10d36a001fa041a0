// Reader of INI-style text: the translation table and old install logs.
//
//   ; a comment (";" or "//" in the first column only)
//   [Window]
//   &Next >=次へ(&N) >
//   < &Back=< 戻る(&B)
//   [Install]
//   C:\Program Files\Tonvane\Tonvane.exe=
//
// Lines end with CR LF; a lone CR or LF is part of the text. Nothing is
// trimmed: blanks around a key, around "=" or at the end of a line belong to
// the key or the value. A key ends at the first "=", so a value may contain
// "=" but a key never does. "[x]" (at least one character between the
// brackets) starts a section; a key/value line before any section, a line
// without "=" and "[]" are dropped. A repeated key keeps its later value; a
// repeated section name starts a second section that findSection never
// returns. Section names and keys are case-sensitive.
//
// Pure text: no platform headers here, so this builds natively for fuzzing.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "EntryTable.h"

namespace tonvane {

// Escapes of translated texts: \n, \r, \t, \\ and \" become LF, CR, TAB, a
// backslash and a double quote; a backslash before any other character stays
// as written; an unescaped double quote is removed; a backslash at the very
// end is dropped. A text without backslash or double quote comes back as is.
std::wstring unescapeText(const std::wstring& text);

struct IniSection {
  std::wstring name;  // between the brackets, exactly as written
  EntryTable entries;
};

class IniDocument {
 public:
  std::vector<std::unique_ptr<IniSection>> sections;
  // The file loadFile last loaded; emptied by every clear and loadText.
  std::wstring sourcePath;
  // Set for the translation table only: install logs hold paths whose
  // backslashes must survive.
  bool unescapeOnLoad = false;

  // Frees every section and empties sourcePath; unescapeOnLoad is kept.
  void clear();

  // Replaces the contents with the parsed text. False only for an empty
  // text, which still leaves the document empty; lines that make no sense
  // are skipped silently.
  bool loadText(const std::wstring& text);

  // The file's bytes in the thread's ANSI code page, then loadText. False
  // for an empty path or a file that cannot be opened, with the document as
  // it was; false for an empty file, with the document empty.
  bool loadFile(const std::wstring& path);

  // The first section of that exact name, or -1.
  int findSection(const std::wstring& name) const;

  // "" for an index out of range.
  std::wstring sectionName(int index) const;

  // A shared, always empty table for an index out of range.
  const EntryTable& sectionEntries(int index) const;

  int sectionCount() const { return static_cast<int>(sections.size()); }

 private:
  void applyLine(const std::wstring& text, std::size_t begin, std::size_t end);
};

}  // namespace tonvane
