#include "core/SavedChatList.h"

#include <algorithm>

namespace core {

SavedChatList::SavedChatList(const std::vector<oldMessagesStruct>& chats) {
  chats_.reserve(chats.size());
  for (const auto& chat : chats) chats_.push_back(std::make_shared<const SavedChat>(chat));
}

SavedChatList::SavedChatList(std::initializer_list<oldMessagesStruct> chats) {
  chats_.reserve(chats.size());
  for (const auto& chat : chats) chats_.push_back(std::make_shared<const SavedChat>(chat));
}

void SavedChatList::insert(std::size_t position, SavedChat chat) {
  const auto at = chats_.begin() + static_cast<std::ptrdiff_t>(std::min(position, chats_.size()));
  chats_.insert(at, std::make_shared<const SavedChat>(std::move(chat)));
}

void SavedChatList::push_back(SavedChat chat) {
  chats_.push_back(std::make_shared<const SavedChat>(std::move(chat)));
}

std::vector<oldMessagesStruct> SavedChatList::toVector() const {
  std::vector<oldMessagesStruct> chats;
  chats.reserve(chats_.size());
  for (const auto& chat : chats_) chats.push_back(chat->record());
  return chats;
}

bool SavedChatList::operator==(const SavedChatList& other) const {
  return std::equal(chats_.begin(), chats_.end(), other.chats_.begin(), other.chats_.end(),
                    [](const Shared& a, const Shared& b) { return a == b || *a == *b; });
}

}  // namespace core
