// Input: the bytes of an install journal, as a planted "install.journal"
// would hand them to the elevated reader. A text that parses must name
// journal paths only (checked by the rules written again), none twice, and
// be the very text journalBytes writes for what was read: the format has one
// text per journal, so anything the reader accepts beyond that is slack an
// attacker could use.
//
// The same bytes, read as UTF-16LE, also make a journal to write: pieces
// split at line feeds, "+" or "-" in front for a file that existed or not,
// anything else a folder. What is written must read back as that journal
// less the paths that are no journal paths and the repeats.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "FuzzChecks.h"
#include "JournalText.h"

namespace {

using tonvane::fuzz::require;

std::wstring latin1(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  for (std::size_t i = 0; i < size; ++i) text += static_cast<wchar_t>(data[i]);
  return text;
}

// UTF-16LE units, a surrogate pair joined into the code point it stands for
// (wchar_t has 32 bits here), a lone surrogate kept as it is.
std::wstring utf16(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const std::uint32_t unit = data[i] | (data[i + 1] << 8);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < size) {
      const std::uint32_t low = data[i + 2] | (data[i + 3] << 8);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        text += static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    text += static_cast<wchar_t>(unit);
  }
  return text;
}

std::wstring folded(std::wstring text) {
  for (wchar_t& c : text)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 32);
  return text;
}

// The journal path rules, written again: what safeEntryPath keeps, whole
// code points, and no step empty or ending in a dot or blank.
bool expectedJournalPath(const std::wstring& path) {
  if (path.empty() || tonvane::fuzz::expectedEntryPath(path) != path) return false;
  for (wchar_t c : path) {
    const auto unit = static_cast<std::uint32_t>(c);
    if ((unit >= 0xD800 && unit <= 0xDFFF) || unit > 0x10FFFF) return false;
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = path.find(L'\\', start);
    const std::wstring step = path.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    if (step.empty() || step.back() == L'.' || step.back() == L' ') return false;
    if (end == std::wstring::npos) return true;
    start = end + 1;
  }
}

bool sameJournal(const tonvane::Journal& a, const tonvane::Journal& b) {
  if (a.phase != b.phase || a.folderMade != b.folderMade || a.folders != b.folders || a.files.size() != b.files.size())
    return false;
  for (std::size_t i = 0; i < a.files.size(); ++i)
    if (a.files[i].path != b.files[i].path || a.files[i].existed != b.files[i].existed) return false;
  return true;
}

void checkRead(const std::string& bytes, const std::wstring& shown) {
  using namespace tonvane;
  Journal journal;
  journal.folders.push_back(L"untouched");
  const Journal before = journal;
  if (!parseJournal(bytes, journal)) {
    require(sameJournal(journal, before), "a refused text changed the journal", shown);
    return;
  }
  require(bytes.size() <= kLongestJournal, "a text longer than the longest journal was read", shown);
  std::set<std::wstring> folders, files;
  for (const std::wstring& folder : journal.folders) {
    require(expectedJournalPath(folder), "a folder read is no journal path", folder);
    require(isJournalPath(folder), "isJournalPath refuses a folder that was read", folder);
    require(folders.insert(folded(folder)).second, "a folder read twice", folder);
  }
  for (const JournalFile& file : journal.files) {
    require(expectedJournalPath(file.path), "a file read is no journal path", file.path);
    require(isJournalPath(file.path), "isJournalPath refuses a file that was read", file.path);
    require(files.insert(folded(file.path)).second, "a file read twice", file.path);
  }
  const std::string written = journalBytes(journal);
  require(written == bytes, "the text read is not the text written for it", shown);
  Journal again;
  require(parseJournal(written, again) && sameJournal(again, journal), "the text written reads back otherwise", shown);
}

void checkWritten(const std::wstring& text, tonvane::JournalPhase phase, bool folderMade) {
  using namespace tonvane;
  Journal journal, expected;
  journal.phase = expected.phase = phase;
  journal.folderMade = expected.folderMade = folderMade;
  std::set<std::wstring> folders, files;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(L'\n', start);
    std::wstring piece = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    if (!piece.empty() && (piece[0] == L'+' || piece[0] == L'-')) {
      const JournalFile file{piece.substr(1), piece[0] == L'+'};
      journal.files.push_back(file);
      if (expectedJournalPath(file.path) && files.insert(folded(file.path)).second) expected.files.push_back(file);
    } else {
      journal.folders.push_back(piece);
      if (expectedJournalPath(piece) && folders.insert(folded(piece)).second) expected.folders.push_back(piece);
    }
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  const std::string bytes = journalBytes(journal);
  Journal read;
  require(parseJournal(bytes, read), "a written journal is refused", text);
  require(sameJournal(read, expected), "a written journal reads back otherwise", text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  checkRead(bytes, latin1(data, size));
  if (size >= 1) {
    const auto phase = static_cast<tonvane::JournalPhase>(data[0] % 3);
    checkWritten(utf16(data + 1, size - 1), phase, (data[0] & 4) != 0);
  }
  return 0;
}
