#include "JournalText.h"

#include <set>
#include <utility>

#include "ArchiveWalk.h"
#include "PathText.h"

namespace tonvane {

namespace {

constexpr char kFirstLine[] = "Tonvane install journal 1";
constexpr char kPhaseKey[] = "Phase=";
constexpr char kFolderMadeKey[] = "FolderMade=";
constexpr char kFolderKey[] = "Folder=";
constexpr char kFileKey[] = "File=";
constexpr char kEndLine[] = "End";
constexpr char kLineEnd[] = "\r\n";

constexpr char32_t kNoCodePoint = 0xFFFFFFFF;

bool isSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// The code point at `at` in a wide text, moving `at` past it; kNoCodePoint
// for a lone surrogate, or a unit no code point has where wchar_t is wide
// enough to hold one.
char32_t nextCodePoint(const std::wstring& text, std::size_t& at) {
  const char32_t unit = static_cast<char32_t>(text[at++]);
  if (sizeof(wchar_t) == 2 && unit >= 0xD800 && unit <= 0xDBFF && at < text.size()) {
    const char32_t low = static_cast<char32_t>(text[at]);
    if (low >= 0xDC00 && low <= 0xDFFF) {
      ++at;
      return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
  }
  if (isSurrogate(unit) || unit > 0x10FFFF) return kNoCodePoint;
  return unit;
}

bool isWellFormed(const std::wstring& text) {
  for (std::size_t at = 0; at < text.size();)
    if (nextCodePoint(text, at) == kNoCodePoint) return false;
  return true;
}

void appendUtf8(std::string& bytes, const std::wstring& text) {
  for (std::size_t at = 0; at < text.size();) {
    const char32_t c = nextCodePoint(text, at);
    if (c < 0x80) {
      bytes += static_cast<char>(c);
    } else if (c < 0x800) {
      bytes += static_cast<char>(0xC0 | (c >> 6));
      bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      bytes += static_cast<char>(0xE0 | (c >> 12));
      bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      bytes += static_cast<char>(0xF0 | (c >> 18));
      bytes += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
}

void appendWide(std::wstring& text, char32_t c) {
  if (sizeof(wchar_t) == 2 && c >= 0x10000) {
    c -= 0x10000;
    text += static_cast<wchar_t>(0xD800 + (c >> 10));
    text += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
  } else {
    text += static_cast<wchar_t>(c);
  }
}

// Strict UTF-8 (RFC 3629): the shortest form only, no surrogates, nothing
// above U+10FFFF. NUL is refused as well: a path holding one would be cut
// short by every Windows call that takes it.
bool decodeUtf8(const std::string& bytes, std::wstring& text) {
  text.clear();
  std::size_t at = 0;
  while (at < bytes.size()) {
    const unsigned char lead = static_cast<unsigned char>(bytes[at]);
    std::size_t length = 0;
    char32_t c = 0;
    // The bounds of the second byte are what exclude overlong forms,
    // surrogates and code points past U+10FFFF.
    unsigned char low = 0x80, high = 0xBF;
    if (lead == 0) {
      return false;
    } else if (lead < 0x80) {
      length = 1;
      c = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      c = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      c = lead & 0x07;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (bytes.size() - at < length) return false;
    for (std::size_t i = 1; i < length; ++i) {
      const unsigned char next = static_cast<unsigned char>(bytes[at + i]);
      if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return false;
      c = (c << 6) | (next & 0x3F);
    }
    appendWide(text, c);
    at += length;
  }
  return true;
}

bool startsWith(const std::string& line, const char* key, std::string& rest) {
  const std::size_t length = std::char_traits<char>::length(key);
  if (line.compare(0, length, key) != 0) return false;
  rest.assign(line, length, std::string::npos);
  return true;
}

const char* phaseText(JournalPhase phase) {
  switch (phase) {
    case JournalPhase::Staging:
      return "Staging";
    case JournalPhase::Switching:
      return "Switching";
    case JournalPhase::RollingBack:
      return "RollingBack";
  }
  // Never read back as a phase: the journal is refused, not misread.
  return "";
}

bool parsePhase(const std::string& text, JournalPhase& phase) {
  for (JournalPhase candidate : {JournalPhase::Staging, JournalPhase::Switching, JournalPhase::RollingBack})
    if (text == phaseText(candidate)) {
      phase = candidate;
      return true;
    }
  return false;
}

// A journal path decoded from a line's value, and not yet among `seen`.
bool takePath(const std::string& value, std::set<std::wstring>& seen, std::wstring& path) {
  return decodeUtf8(value, path) && isJournalPath(path) && seen.insert(lowerCase(path)).second;
}

// The text's lines in turn, each of which must end with CR LF, with no
// other CR or LF in it.
class Lines {
 public:
  explicit Lines(const std::string& bytes) : bytes_(bytes) {}

  // False at the end of the text, or when the next line is not so ended.
  bool next(std::string& line) {
    const std::size_t end = bytes_.find_first_of("\r\n", at_);
    if (end == std::string::npos || bytes_.compare(end, 2, kLineEnd) != 0) return false;
    line.assign(bytes_, at_, end - at_);
    at_ = end + 2;
    return true;
  }

  bool atEnd() const { return at_ == bytes_.size(); }

 private:
  const std::string& bytes_;
  std::size_t at_ = 0;
};

}  // namespace

bool isJournalPath(const std::wstring& path) {
  if (path.empty() || !isWellFormed(path) || safeEntryPath(path) != path) return false;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = path.find(L'\\', start);
    const std::size_t last = (end == std::wstring::npos ? path.size() : end);
    if (last == start) return false;
    const wchar_t ending = path[last - 1];
    if (ending == L'.' || ending == L' ') return false;
    if (end == std::wstring::npos) return true;
    start = end + 1;
  }
}

std::string journalBytes(const Journal& journal) {
  std::string bytes = std::string(kFirstLine) + kLineEnd;
  bytes += std::string(kPhaseKey) + phaseText(journal.phase) + kLineEnd;
  bytes += std::string(kFolderMadeKey) + (journal.folderMade ? "1" : "0") + kLineEnd;
  std::set<std::wstring> seen;
  for (const std::wstring& folder : journal.folders) {
    if (!isJournalPath(folder) || !seen.insert(lowerCase(folder)).second) continue;
    bytes += kFolderKey;
    appendUtf8(bytes, folder);
    bytes += kLineEnd;
  }
  seen.clear();
  for (const JournalFile& file : journal.files) {
    if (!isJournalPath(file.path) || !seen.insert(lowerCase(file.path)).second) continue;
    bytes += kFileKey;
    bytes += file.existed ? "1 " : "0 ";
    appendUtf8(bytes, file.path);
    bytes += kLineEnd;
  }
  bytes += std::string(kEndLine) + kLineEnd;
  return bytes;
}

bool parseJournal(const std::string& bytes, Journal& journal) {
  if (bytes.size() > kLongestJournal) return false;
  Lines lines(bytes);
  std::string line, value;
  if (!lines.next(line) || line != kFirstLine) return false;

  Journal parsed;
  if (!lines.next(line) || !startsWith(line, kPhaseKey, value) || !parsePhase(value, parsed.phase)) return false;
  if (!lines.next(line) || !startsWith(line, kFolderMadeKey, value) || (value != "0" && value != "1")) return false;
  parsed.folderMade = value == "1";

  std::set<std::wstring> seen;
  if (!lines.next(line)) return false;
  while (startsWith(line, kFolderKey, value)) {
    std::wstring path;
    if (!takePath(value, seen, path) || !lines.next(line)) return false;
    parsed.folders.push_back(std::move(path));
  }
  seen.clear();
  while (line != kEndLine) {
    if (!startsWith(line, kFileKey, value) || value.size() < 2 || value[1] != ' ' ||
        (value[0] != '0' && value[0] != '1'))
      return false;
    JournalFile file;
    file.existed = value[0] == '1';
    if (!takePath(value.substr(2), seen, file.path) || !lines.next(line)) return false;
    parsed.files.push_back(std::move(file));
  }
  if (!lines.atEnd()) return false;
  journal = std::move(parsed);
  return true;
}

}  // namespace tonvane
