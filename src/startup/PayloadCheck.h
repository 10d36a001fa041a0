// The check of the setup's own payloads at start-up: every payload resource
// against the size and CRC-32 recorded at build time in resource
// PAYLOADCHECK 1. A download cut short or altered is caught before any page
// instead of installing half a product.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tonvane {

// The record's resource type; its id is IDR_PAYLOAD_CHECK.
constexpr const wchar_t* kPayloadCheckType = L"PAYLOADCHECK";

// Whether each listed payload resource of this program has the recorded
// size and CRC-32. False also when the record itself is missing or cut.
bool payloadIntact();

// The same over a record held in memory, for the program's own resources.
bool payloadRecordMatches(const std::uint8_t* record, std::size_t size);

}  // namespace tonvane
