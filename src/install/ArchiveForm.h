// The forms in which the setup carries an archive, and how each is read.
//
// A ZIP archive as it stands (the default; the partner archives always) is
// read by minizip in place. The solid form (SolidArchive.h, built with
// TONVANE_APPLICATION_COMPRESSION=solid) is one compressed stream of a ZIP
// archive of stored entries, with the archive's directory beside it; only a
// setup that carries it links its decoder, so the form is added at start-up
// rather than known to this library. Every reader of the application
// archive (the plan, the room check, the files-in-use check, the
// extraction: Extraction.h) asks archiveFormOf, so that either form is read
// through the same checks of names, sizes and CRCs.
#pragma once

#include <unzip.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "ArchiveWalk.h"

namespace tonvane {

struct StagedWrite;

// An archive's central directory opened for ArchiveWalk, with the bytes it
// was read from when they had to be made (decoded) first. Null when it
// cannot be read.
class ArchiveDirectory {
 public:
  ArchiveDirectory() = default;
  // The file reads `bytes`, whose heap block a move leaves where it is.
  ArchiveDirectory(unzFile file, std::vector<char> bytes) : bytes_(std::move(bytes)), file_(file) {}
  explicit ArchiveDirectory(unzFile file) : file_(file) {}
  ArchiveDirectory(ArchiveDirectory&& other) noexcept
      : bytes_(std::move(other.bytes_)), file_(std::exchange(other.file_, nullptr)) {}
  ArchiveDirectory& operator=(ArchiveDirectory&&) = delete;
  ArchiveDirectory(const ArchiveDirectory&) = delete;
  ~ArchiveDirectory() {
    if (file_ != nullptr) unzClose(file_);
  }
  unzFile get() const { return file_; }

 private:
  std::vector<char> bytes_;
  unzFile file_ = nullptr;
};

class ArchiveForm {
 public:
  virtual ~ArchiveForm() = default;

  // Whether the bytes are in this form, by what they begin with.
  virtual bool holds(const void* bytes, std::size_t size) const = 0;

  // The archive's directory: its entries' names and sizes.
  virtual ArchiveDirectory directory(const void* bytes, std::size_t size) const = 0;

  // extractArchiveFromMemory (Extraction.h), for bytes of this form.
  virtual bool extract(const void* bytes, std::size_t size, const std::wstring& destination,
                       std::vector<std::wstring>& written, const StagedWrite* staged) const = 0;
};

// A ZIP archive as minizip reads it: what any bytes are taken for that no
// added form holds.
const ArchiveForm& zipArchiveForm();

// Makes another form readable. Called at start-up, before a second thread
// runs; the form must outlive the program's use of archives.
void addArchiveForm(const ArchiveForm& form);

// The added form that holds the bytes, else the ZIP form.
const ArchiveForm& archiveFormOf(const void* bytes, std::size_t size);

}  // namespace tonvane
