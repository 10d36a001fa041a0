// A key/value table with a fixed enumeration order.
//
// The order in which entryAt walks the table is the order of a chained hash
// table: buckets from 0 upward, each chain from its head. Install logs are
// read back in this order, so it is part of their format and must not change
// with the memory layout: the hash, the bucket counts and the points at which
// the table grows are all fixed here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tonvane {

class EntryTable {
 public:
  int entryCount() const { return static_cast<int>(nodes_.size()); }

  // Exact match: code unit by code unit, case-sensitive. The pointer stays
  // valid until the table is next changed.
  const std::wstring* lookup(const std::wstring& key) const;

  // The index-th entry in enumeration order; false (outputs untouched) for an
  // index outside 0..entryCount()-1.
  bool entryAt(int index, std::wstring& key, std::wstring& value) const;

  // Inserts the key at the head of its chain, or replaces the value of an
  // existing key in place (its position does not change).
  void set(const std::wstring& key, const std::wstring& value);

  // Re-chains every entry for the bucket count that suits `entryCount`
  // entries; nothing happens when that is the current count.
  void rebuild(int entryCount);

  int bucketCount() const { return bucketCount_; }

  // hash = hash * 33 + code unit, in unsigned 32-bit arithmetic.
  static std::uint32_t hashKey(const std::wstring& key);

  // With t = entryCount / 0.75 truncated: 17 when t <= 17, otherwise the
  // smallest prime of a fixed list not below t, and t itself beyond its end.
  static int bucketCountFor(int entryCount);

 private:
  static constexpr int kNone = -1;
  static constexpr int kInitialBuckets = 17;

  struct Node {
    std::wstring key;
    std::wstring value;
    std::uint32_t hash;
    int next;
  };

  int find(const std::wstring& key, std::uint32_t hash) const;
  void rechain(int bucketCount);
  void buildOrder() const;

  // Nodes never move between slots; chains link them by slot number.
  std::vector<Node> nodes_;
  std::vector<int> heads_;  // made on the first insertion
  int bucketCount_ = kInitialBuckets;
  std::int64_t growthLimit_ = kInitialBuckets * 9 / 4;

  // Slots in enumeration order, so that walking every entry with entryAt is
  // linear rather than quadratic (install logs hold tens of thousands).
  mutable std::vector<int> order_;
  mutable bool orderValid_ = false;
};

}  // namespace tonvane
