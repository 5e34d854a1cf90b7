#pragma once
// TStringHash: the name index of a message's value store. Keys are 8-bit names compared
// exactly (case matters); values are stream positions. A fixed number of buckets, each a
// chain searched newest first, so a key added again hides the older entry.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dz {

// The PJW hash over 8-bit characters, on 32-bit unsigned arithmetic. Also names the
// result files of remote queries, so it must stay exactly this function.
std::uint32_t PJWHash(std::string_view key);

class TStringHash {
 public:
  explicit TStringHash(std::size_t buckets = 50);

  // Adds the key in front of its chain; an existing equal key is not removed.
  void Add(std::string key, std::int64_t value);

  // The value of the newest entry with this key, or -1 when there is none.
  std::int64_t ValueOf(std::string_view key) const;

  void Clear();
  std::size_t Count() const { return count_; }

 private:
  struct Item {
    std::string key;
    std::int64_t value;
  };
  // Each chain is kept oldest first and searched from the back: the same order as a
  // linked list with insertion at its head, without per-node allocations.
  std::vector<std::vector<Item>> buckets_;
  std::size_t count_ = 0;
};

}  // namespace dz
