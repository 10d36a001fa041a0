#include "PayloadCheck.h"

#include <windows.h>

#include <zlib.h>

#include "Resources.h"

namespace tonvane {

namespace {

constexpr std::size_t kRecordSize = 16;

std::uint32_t number(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

const wchar_t* typeName(std::uint32_t code) {
  switch (code) {
    case 1:
      return ResourceId::kZip;
    case 2:
      return ResourceId::kExe;
    case 3:
      return ResourceId::kText;
    default:
      return nullptr;
  }
}

std::uint32_t crcOf(const std::uint8_t* data, std::uint32_t size) {
  uLong crc = crc32(0L, Z_NULL, 0);
  // zlib takes at most 4 GiB less one per call; payloads stay far below.
  constexpr std::uint32_t kPiece = 1u << 30;
  while (size > 0) {
    const std::uint32_t piece = size < kPiece ? size : kPiece;
    crc = crc32(crc, data, piece);
    data += piece;
    size -= piece;
  }
  return static_cast<std::uint32_t>(crc);
}

}  // namespace

bool payloadRecordMatches(const std::uint8_t* record, std::size_t size) {
  if (record == nullptr || size == 0 || size % kRecordSize != 0) return false;
  for (std::size_t at = 0; at < size; at += kRecordSize) {
    const wchar_t* type = typeName(number(record + at));
    if (type == nullptr) return false;
    const ResourceBytes payload = loadResource(type, number(record + at + 4));
    if (payload.size != number(record + at + 8)) return false;
    if (crcOf(payload.data, payload.size) != number(record + at + 12)) return false;
  }
  return true;
}

bool payloadIntact() {
  const ResourceBytes record = loadResource(kPayloadCheckType, IDR_PAYLOAD_CHECK);
  return payloadRecordMatches(record.data, record.size);
}

}  // namespace tonvane
