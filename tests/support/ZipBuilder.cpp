#include "ZipBuilder.h"

#include <unzip.h>
#include <zip.h>

#include "AnsiText.h"

namespace tonvane::test {

ZipBuilder::ZipBuilder(const std::wstring& path, bool appendToFile)
    : zip_(zipOpen(tonvane::encodeAnsiText(path).c_str(),
                   appendToFile ? APPEND_STATUS_CREATEAFTER : APPEND_STATUS_CREATE)) {}

ZipBuilder::~ZipBuilder() { close(); }

ZipBuilder& ZipBuilder::add(const std::string& name, const std::string& data, Method method) {
  if (zip_ == nullptr) return *this;
  zip_fileinfo info = {};
  zipOpenNewFileInZip(zip_, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, static_cast<int>(method),
                      method == Method::Stored ? 0 : 6);
  if (!data.empty()) zipWriteInFileInZip(zip_, data.data(), static_cast<unsigned>(data.size()));
  zipCloseFileInZip(zip_);
  return *this;
}

void ZipBuilder::close() {
  if (zip_ != nullptr) zipClose(zip_, nullptr);
  zip_ = nullptr;
}

long long entryDataOffset(const std::wstring& archive, const std::string& name) {
  unzFile file = unzOpen(tonvane::encodeAnsiText(archive).c_str());
  if (file == nullptr) return -1;
  long long offset = -1;
  if (unzLocateFile(file, name.c_str(), 1) == UNZ_OK && unzOpenCurrentFile(file) == UNZ_OK) {
    offset = static_cast<long long>(unzGetCurrentFileZStreamPos64(file));
    unzCloseCurrentFile(file);
  }
  unzClose(file);
  return offset;
}

long long centralRecordOffset(const std::string& bytes, int index) {
  const std::string signature("PK\x01\x02", 4);
  std::size_t at = bytes.find(signature);
  for (int i = 0; i < index && at != std::string::npos; ++i) at = bytes.find(signature, at + 4);
  return at == std::string::npos ? -1 : static_cast<long long>(at);
}

std::string numberedLines(int count, const std::string& prefix) {
  std::string text;
  for (int i = 0; i < count; ++i) text += prefix + " " + std::to_string(i * 7919 % 100003) + "\r\n";
  return text;
}

}  // namespace tonvane::test
