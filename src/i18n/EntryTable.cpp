#include "EntryTable.h"

#include <algorithm>
#include <iterator>

namespace tonvane {

namespace {

// Each about a quarter larger than the one before.
constexpr int kBucketCounts[] = {
    17,      23,      29,      37,      41,      53,      67,      83,      103,     131,     163,      211,
    257,     331,     409,     521,     647,     821,     1031,    1291,    1627,    2053,    2591,     3251,
    4099,    5167,    6521,    8209,    10331,   13007,   16411,   20663,   26017,   32771,   41299,    52021,
    65537,   82571,   104033,  131101,  165161,  208067,  262147,  330287,  416147,  524309,  660563,   832291,
    1048583, 1321139, 1664543, 2097169, 2642257, 3329023, 4194319, 5284493, 6658049, 8388617, 10568993, 13316089};

// bucketCount * 2.25, truncated.
std::int64_t growthLimitFor(int bucketCount) { return static_cast<std::int64_t>(bucketCount) * 9 / 4; }

}  // namespace

std::uint32_t EntryTable::hashKey(const std::wstring& key) {
  std::uint32_t hash = 0;
  for (wchar_t unit : key) hash = hash * 33u + static_cast<std::uint32_t>(unit);
  return hash;
}

int EntryTable::bucketCountFor(int entryCount) {
  // n / 0.75 truncated is exactly 4n / 3 in integers: the quotient is either
  // whole or a third away from the next whole number.
  const std::int64_t wanted = static_cast<std::int64_t>(std::max(entryCount, 0)) * 4 / 3;
  if (wanted <= kInitialBuckets) return kInitialBuckets;
  const int* found = std::lower_bound(std::begin(kBucketCounts), std::end(kBucketCounts), wanted);
  if (found != std::end(kBucketCounts)) return *found;
  return static_cast<int>(wanted);
}

int EntryTable::find(const std::wstring& key, std::uint32_t hash) const {
  if (heads_.empty()) return kNone;
  for (int slot = heads_[hash % static_cast<std::uint32_t>(bucketCount_)]; slot != kNone; slot = nodes_[slot].next) {
    if (nodes_[slot].hash == hash && nodes_[slot].key == key) return slot;
  }
  return kNone;
}

const std::wstring* EntryTable::lookup(const std::wstring& key) const {
  const int slot = find(key, hashKey(key));
  return slot == kNone ? nullptr : &nodes_[slot].value;
}

void EntryTable::set(const std::wstring& key, const std::wstring& value) {
  const std::uint32_t hash = hashKey(key);
  const int existing = find(key, hash);
  if (existing != kNone) {
    nodes_[existing].value = value;
    return;
  }
  if (heads_.empty()) heads_.assign(static_cast<std::size_t>(bucketCount_), kNone);

  int& head = heads_[hash % static_cast<std::uint32_t>(bucketCount_)];
  nodes_.push_back(Node{key, value, hash, head});
  head = static_cast<int>(nodes_.size()) - 1;
  orderValid_ = false;

  if (static_cast<std::int64_t>(nodes_.size()) > growthLimit_) rebuild(entryCount());
}

void EntryTable::rebuild(int entryCount) {
  const int wanted = bucketCountFor(entryCount);
  if (wanted == bucketCount_) return;
  rechain(wanted);
}

void EntryTable::rechain(int bucketCount) {
  std::vector<int> heads(static_cast<std::size_t>(bucketCount), kNone);
  // Old buckets from 0 upward, each chain from its head, each entry pushed
  // onto the head of its new chain: this reverses entries that stay together.
  for (int oldHead : heads_) {
    for (int slot = oldHead; slot != kNone;) {
      Node& node = nodes_[slot];
      const int following = node.next;
      int& newHead = heads[node.hash % static_cast<std::uint32_t>(bucketCount)];
      node.next = newHead;
      newHead = slot;
      slot = following;
    }
  }
  heads_.swap(heads);
  bucketCount_ = bucketCount;
  growthLimit_ = growthLimitFor(bucketCount);
  orderValid_ = false;
}

void EntryTable::buildOrder() const {
  order_.clear();
  order_.reserve(nodes_.size());
  for (int head : heads_) {
    for (int slot = head; slot != kNone; slot = nodes_[slot].next) order_.push_back(slot);
  }
  orderValid_ = true;
}

bool EntryTable::entryAt(int index, std::wstring& key, std::wstring& value) const {
  if (index < 0 || index >= entryCount()) return false;
  if (!orderValid_) buildOrder();
  const Node& node = nodes_[order_[static_cast<std::size_t>(index)]];
  key = node.key;
  value = node.value;
  return true;
}

}  // namespace tonvane
