// The program's own embedded resources, addressed by type name and numeric id.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace tonvane {

class FileHandle;

// Resource type names and ids of the payloads the setup carries.
namespace ResourceId {
constexpr const wchar_t* kZip = L"ZIP";
constexpr const wchar_t* kExe = L"EXE";
constexpr const wchar_t* kText = L"TEXT";
constexpr unsigned kTermsToolbar = 203;
constexpr unsigned kTermsJword = 204;
constexpr unsigned kSettingsTemplate = 205;
constexpr unsigned kPayloadArchive = 209;
constexpr unsigned kUninstaller = 210;
constexpr unsigned kJwordArchive = 212;
constexpr unsigned kToolbarArchive = 213;
constexpr unsigned kJapaneseTable = 215;
}  // namespace ResourceId

// The bytes belong to the program image and stay valid for the process's
// life; a missing resource has size 0 and no data.
struct ResourceBytes {
  HRSRC found = nullptr;
  HGLOBAL loaded = nullptr;
  std::uint32_t size = 0;
  const std::uint8_t* data = nullptr;
};

ResourceBytes loadResource(const wchar_t* type, unsigned id);

// Writes the bytes to `path`, replacing what is there: first to a new file
// beside it, which is then moved into place, so a write that fails (a full
// disk) leaves no part-written file and an existing file whole. True when
// every byte arrived; a missing resource gives an empty file and true.
bool writeResourceToFile(const ResourceBytes& resource, const std::wstring& path);

// Whether the rest of the open file is exactly the resource's bytes. The
// caller opened it without write or delete sharing, so what was checked is
// what is used next.
bool fileHoldsResource(FileHandle& file, const ResourceBytes& resource);

// Writes `bytes` to `path` as writeResourceToFile does.
bool writeFileReplacing(const std::wstring& path, const void* bytes, std::size_t count);

}  // namespace tonvane
