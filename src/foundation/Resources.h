// The program's own embedded resources, addressed by type name and numeric id.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "ResourceIds.h"

namespace tonvane {

class FileHandle;

// The custom resource types of the payloads the setup carries; their ids are
// the IDR_ names of ResourceIds.h.
namespace ResourceId {
constexpr const wchar_t* kZip = L"ZIP";
constexpr const wchar_t* kExe = L"EXE";
constexpr const wchar_t* kText = L"TEXT";
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

// Writes the bytes as a new file at `path` (in a folder of the program's
// own: nothing is ever replaced here, and a name that is taken is a
// failure). True when every byte arrived; a write that fails part-way
// leaves no file. A missing resource gives an empty file and true.
bool writeResourceToFile(const ResourceBytes& resource, const std::wstring& path);

// Whether the rest of the open file is exactly the resource's bytes. The
// caller opened it without write or delete sharing, so what was checked is
// what is used next.
bool fileHoldsResource(FileHandle& file, const ResourceBytes& resource);

}  // namespace tonvane
