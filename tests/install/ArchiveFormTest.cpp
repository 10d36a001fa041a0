// The application archive in both forms the setup carries it in: the ZIP
// archive read in place, and the solid form (src/install/SolidArchive.h)
// read in one pass through its decoded stream. Each case is one archive the
// test builds, changed in one way, then given to the listing and to the
// extraction in each form, with what each must answer.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ArchiveForm.h"
#include "Extraction.h"
#include "SetupLog.h"
#include "SolidArchive.h"
#include "SolidArchiveBuilder.h"
#include "TestFiles.h"
#include "ZipBuilder.h"

using namespace tonvane;
using tonvane::test::Method;
using tonvane::test::TempFolder;
using tonvane::test::ZipBuilder;

namespace {

using List = std::vector<std::wstring>;
using Bytes = std::string;

// Bytes deflate cannot shrink, so that the middle of either form's bytes
// lies inside this entry's data.
Bytes noise(std::size_t size) {
  Bytes bytes(size, '\0');
  unsigned value = 2463534242u;
  for (char& c : bytes) {
    value ^= value << 13;
    value ^= value >> 17;
    value ^= value << 5;
    c = static_cast<char>(value >> 24);
  }
  return bytes;
}

const Bytes kFirst = "first";
const Bytes kMiddle = noise(96 * 1024);
const Bytes kLast = test::numberedLines(200, "last");

struct Entry {
  const char* name;
  const Bytes* data;
  Method method;
};

const std::vector<Entry> kEntries = {
    {"1.txt", &kFirst, Method::Stored}, {"sub/2.bin", &kMiddle, Method::Stored}, {"3.txt", &kLast, Method::Stored}};

Bytes zipOf(const std::vector<Entry>& entries) {
  TempFolder temp;
  ZipBuilder builder(temp / L"a.zip");
  for (const Entry& entry : entries) builder.add(entry.name, *entry.data, entry.method);
  builder.close();
  return test::readBytes(temp / L"a.zip");
}

// Where the local header of `name` begins: minizip's writer puts no extra
// field there.
std::size_t localHeader(const Bytes& zip, const std::string& name) {
  const std::string signature("PK\x03\x04", 4);
  for (std::size_t header = zip.find(signature); header != Bytes::npos; header = zip.find(signature, header + 4))
    if (zip.compare(header + 30, name.size(), name) == 0) return header;
  ADD_FAILURE() << "no local header of " << name;
  return 0;
}

Bytes flippedAt(Bytes bytes, std::size_t at, std::size_t count = 1) {
  for (std::size_t i = at; i < at + count && i < bytes.size(); ++i) bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
  return bytes;
}

enum class Form { Zip, Solid };

// What one form must answer for a case.
struct Answer {
  bool listed;              // listArchiveEntries' result
  bool extracted;           // extractArchiveFromMemory's result
  List written;             // relative, in the order written
  const char* logged = "";  // a part of the setup log's line about the archive as a whole
};

struct Case {
  const char* what;
  std::function<Bytes()> archive;                                 // the ZIP archive, changed
  std::function<Bytes(const Bytes& carried, Form form)> carried;  // the bytes the setup carries, changed
  std::optional<Answer> zip;                                      // none: the case has no ZIP form
  Answer solid;
};

Bytes asIs(const Bytes& bytes, Form) { return bytes; }

const List kAll = {L"1.txt", L"sub\\2.bin", L"3.txt"};

std::vector<Case> cases() {
  const auto intact = [] { return zipOf(kEntries); };
  return {
      {"intact", intact, asIs, Answer{true, true, kAll}, {true, true, kAll}},
      // The middle of either form lies in the middle entry's data: the ZIP
      // form fails that entry alone. LZMA2 keeps the noise as it is
      // (incompressible chunks are stored), so the decoder passes the
      // flipped bytes on and the entry's CRC tells; the pass ends there.
      {"damaged in the middle",
       intact,
       [](const Bytes& carried, Form) { return flippedAt(carried, carried.size() / 2, 16); },
       Answer{true, false, {L"1.txt", L"3.txt"}},
       {true, false, {L"1.txt"}, "CRC"}},
      // A download cut short: the ZIP form loses its directory, the solid
      // form keeps its own at the front and stops where the stream does.
      {"cut short",
       intact,
       [](const Bytes& carried, Form) { return carried.substr(0, carried.size() * 3 / 4); },
       Answer{false, false, {}},
       {true, false, {L"1.txt"}, "the compressed stream is damaged"}},
      {"a flipped byte in an entry's data",
       [] {
         const Bytes zip = zipOf(kEntries);
         return flippedAt(zip, localHeader(zip, "sub/2.bin") + 30 + 9 + 1000);
       },
       asIs,
       Answer{true, false, {L"1.txt", L"3.txt"}},
       {true, false, {L"1.txt"}, "CRC"}},
      // minizip reads a local header's sizes and CRC but takes the name from
      // the directory; the pass meets the local header first and must find
      // the record's name there.
      {"a local name that is not its record's",
       [] {
         Bytes zip = zipOf(kEntries);
         zip[localHeader(zip, "sub/2.bin") + 30 + 4] = 'X';
         return zip;
       },
       asIs,
       Answer{true, true, kAll},
       {true, false, {L"1.txt"}, "local name"}},
      {"a local CRC that is not its record's",
       [] {
         const Bytes zip = zipOf(kEntries);
         return flippedAt(zip, localHeader(zip, "sub/2.bin") + 14);
       },
       asIs,
       Answer{true, false, {L"1.txt", L"3.txt"}},
       {true, false, {L"1.txt"}, "local CRC or sizes"}},
      {"a local size that is not its record's",
       [] {
         const Bytes zip = zipOf(kEntries);
         return flippedAt(zip, localHeader(zip, "sub/2.bin") + 22);
       },
       asIs,
       Answer{true, false, {L"1.txt", L"3.txt"}},
       {true, false, {L"1.txt"}, "local CRC or sizes"}},
      // Every entry of the solid form is stored: the whole is compressed.
      {"an entry deflated on its own",
       [] {
         return zipOf({{"1.txt", &kFirst, Method::Stored},
                       {"sub/2.bin", &kMiddle, Method::Stored},
                       {"3.txt", &kLast, Method::Deflated}});
       },
       asIs,
       Answer{true, true, kAll},
       {true, false, {L"1.txt", L"sub\\2.bin"}, "compressed on its own"}},
      // Only the solid form has a directory apart from the entries: here
      // the one of the first two entries travels with a stream of all three.
      {"an entry the directory does not list",
       intact,
       [](const Bytes& carried, Form form) {
         const Bytes zip = zipOf(kEntries);
         return form == Form::Solid ? test::solidFormOf(zip, zipOf({kEntries[0], kEntries[1]})) : carried;
       },
       std::nullopt,
       {true, false, {L"1.txt", L"sub\\2.bin"}, "not the one that travels beside it"}},
      // Names the hardening refuses are skipped in both forms (and make the
      // listing false, which stops an install before it begins); the pass
      // reads past their data to the entries after them.
      {"names the hardening refuses",
       [] {
         return zipOf({{"../up.txt", &kFirst, Method::Stored},
                       {"CON", &kFirst, Method::Stored},
                       {"a:b", &kMiddle, Method::Stored},
                       {"ok.txt", &kLast, Method::Stored}});
       },
       asIs,
       Answer{false, true, {L"ok.txt"}},
       {false, true, {L"ok.txt"}}},
  };
}

Bytes entryBytes(const std::wstring& relative) {
  if (relative == L"1.txt") return kFirst;
  if (relative == L"sub\\2.bin") return kMiddle;
  return kLast;
}

TEST(ArchiveForms, EachFormReadsTheSameArchiveThroughTheSameChecks) {
  addArchiveForm(solidArchiveForm());
  for (const Case& c : cases()) {
    const Bytes zip = c.archive();
    for (const Form form : {Form::Zip, Form::Solid}) {
      if (form == Form::Zip && !c.zip) continue;
      const Answer& answer = form == Form::Zip ? *c.zip : c.solid;
      SCOPED_TRACE(std::string(c.what) + (form == Form::Zip ? ", ZIP form" : ", solid form"));
      const Bytes carried = c.carried(form == Form::Zip ? zip : test::solidFormOf(zip), form);
      ASSERT_FALSE(carried.empty());
      ASSERT_EQ(&archiveFormOf(carried.data(), carried.size()),
                form == Form::Zip ? &zipArchiveForm() : &solidArchiveForm());

      List listed;
      EXPECT_EQ(listArchiveEntries(carried.data(), carried.size(), listed), answer.listed);

      TempFolder temp;
      ASSERT_TRUE(openSetupLog(temp / L"setup.log"));
      List written;
      EXPECT_EQ(extractArchiveFromMemory(carried.data(), carried.size(), temp / L"dest", written), answer.extracted);
      closeSetupLog();
      List relative;
      for (const std::wstring& path : written) relative.push_back(path.substr((temp / L"dest\\").size()));
      EXPECT_EQ(relative, answer.written);
      for (const std::wstring& name : relative)
        EXPECT_EQ(test::readBytes(temp / (L"dest\\" + name)), name == L"ok.txt" ? kLast : entryBytes(name));
      const std::string log = test::readBytes(temp / L"setup.log");
      if (*answer.logged != '\0') {
        EXPECT_NE(log.find(answer.logged), std::string::npos) << log;
      }
      // Nothing beside the destination, whatever the names asked for.
      for (const std::wstring& name : test::listFolder(temp.path()))
        EXPECT_TRUE(name == L"dest" || name == L"setup.log") << name.c_str();
    }
  }
}

// The listing comes from the directory that travels beside the stream: no
// byte of the archive's stream is decoded for it, so a stream damaged from
// its first byte still lists, and only the extraction fails.
TEST(ArchiveForms, TheSolidListingNeedsOnlyTheDirectory) {
  addArchiveForm(solidArchiveForm());
  const Bytes solid = test::solidFormOf(zipOf(kEntries));
  SolidContainer container;
  ASSERT_TRUE(readSolidContainer(solid.data(), solid.size(), container));
  Bytes garbled = solid;
  const std::size_t streamStart =
      static_cast<std::size_t>(container.archiveStream - reinterpret_cast<const std::uint8_t*>(solid.data()));
  for (std::size_t i = streamStart; i < garbled.size(); ++i) garbled[i] = static_cast<char>(i * 7);

  List listed;
  EXPECT_TRUE(listArchiveEntries(garbled.data(), garbled.size(), listed));
  EXPECT_EQ(listed, (List{L"1.txt", L"sub\\2.bin", L"3.txt"}));
  TempFolder temp;
  List written;
  EXPECT_FALSE(extractArchiveFromMemory(garbled.data(), garbled.size(), temp / L"dest", written));
  EXPECT_TRUE(written.empty());

  // A header whose sizes do not fit each other or the bytes is no solid
  // archive at all. An archive size that does not fit the directory makes
  // minizip take the difference for bytes before the archive, as it does
  // for a self-extracting one; the pass finds the directory too early.
  for (const std::size_t field : {8u, 16u, 20u}) {
    Bytes wrong = solid;
    wrong[field + 3] = '\x7F';
    listed.clear();
    EXPECT_EQ(listArchiveEntries(wrong.data(), wrong.size(), listed), field == 8) << "field at " << field;
    written.clear();
    EXPECT_FALSE(extractArchiveFromMemory(wrong.data(), wrong.size(), temp / L"dest2", written))
        << "field at " << field;
  }
}

}  // namespace
