// The process-wide translator. Program texts are English and are their own
// translation keys: section "Text" holds single texts (message boxes, titles,
// shortcut names), section "Window" the texts of dialog windows. A text the
// table lacks, or any text while no table is loaded, stays English.
#pragma once

#include <windows.h>

#include <string>

#include "CriticalSection.h"
#include "IniDocument.h"

namespace tonvane {

class TranslationTable : public IniDocument {
 public:
  // Made exactly once, even when two threads ask first at the same moment;
  // lives until the process exits.
  static TranslationTable& instance();

  // Recursive: every access to the document, loading included, holds it.
  CriticalSection& lock() { return lock_; }

 private:
  TranslationTable();
  CriticalSection lock_;
};

// The translation of a text from section "Text", or a copy of the text.
std::wstring translateText(const std::wstring& text);

// Translates the window and every descendant (never its siblings) from
// section "Window". False for a null window or while no "Window" section is
// loaded; windows without a key keep their text.
bool translateWindow(HWND window);

// Loads the translator from a TEXT resource of this program holding a table
// in Shift-JIS (code page 932, whatever the system's ANSI code page is).
// A missing resource leaves the interface English.
void loadTranslationResource(unsigned resourceId);

// The translation of a text from section "Text" of the table in a TEXT
// resource of this program (read as loadTranslationResource reads it),
// whatever the translator holds; "" when the resource or its table lacks
// the text.
std::wstring translationInResource(unsigned resourceId, const std::wstring& text);

}  // namespace tonvane
