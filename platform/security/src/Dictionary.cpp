#include "security/Dictionary.h"

#include <algorithm>

namespace security {

Dictionary::Dictionary(std::initializer_list<Entry> entries) {
  for (const auto& [key, value] : entries) set(key, value);
}

void Dictionary::set(std::string_view key, Value value) {
  for (auto& entry : entries_) {
    if (entry.first == key) {
      entry.second = std::move(value);
      return;
    }
  }
  entries_.emplace_back(std::string(key), std::move(value));
}

const Value* Dictionary::find(std::string_view key) const {
  for (const auto& entry : entries_)
    if (entry.first == key) return &entry.second;
  return nullptr;
}

bool Dictionary::erase(std::string_view key) {
  return std::erase_if(entries_, [key](const Entry& e) { return e.first == key; }) > 0;
}

void Dictionary::merge(const Dictionary& other) {
  for (const auto& [key, value] : other) set(key, value);
}

}  // namespace security
