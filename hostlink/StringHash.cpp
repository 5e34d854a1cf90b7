#include "hostlink/StringHash.h"

namespace dz {

std::uint32_t PJWHash(std::string_view key) {
  std::uint32_t h = 0;
  for (unsigned char c : key) {
    h = (h << 4) + c;
    std::uint32_t g = h & 0xF0000000u;
    if (g != 0) h ^= g >> 24;
    h &= ~g;
  }
  return h;
}

TStringHash::TStringHash(std::size_t buckets) : buckets_(buckets == 0 ? 1 : buckets) {}

void TStringHash::Add(std::string key, std::int64_t value) {
  auto& chain = buckets_[PJWHash(key) % buckets_.size()];
  chain.push_back(Item{std::move(key), value});
  ++count_;
}

std::int64_t TStringHash::ValueOf(std::string_view key) const {
  const auto& chain = buckets_[PJWHash(key) % buckets_.size()];
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    if (it->key == key) return it->value;
  return -1;
}

void TStringHash::Clear() {
  for (auto& chain : buckets_) chain.clear();
  count_ = 0;
}

}  // namespace dz
