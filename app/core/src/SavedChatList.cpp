#include "core/SavedChatList.h"

#include <algorithm>

namespace core {

SavedChatList::SavedChatList(std::vector<oldMessagesStruct> chats) {
  chats_.reserve(chats.size());
  for (auto& chat : chats)
    chats_.push_back(std::make_shared<const oldMessagesStruct>(std::move(chat)));
}

SavedChatList::SavedChatList(std::initializer_list<oldMessagesStruct> chats) {
  chats_.reserve(chats.size());
  for (const auto& chat : chats) chats_.push_back(std::make_shared<const oldMessagesStruct>(chat));
}

void SavedChatList::insert(std::size_t position, oldMessagesStruct chat) {
  const auto at = chats_.begin() + static_cast<std::ptrdiff_t>(std::min(position, chats_.size()));
  chats_.insert(at, std::make_shared<const oldMessagesStruct>(std::move(chat)));
}

bool SavedChatList::operator==(const SavedChatList& other) const {
  return std::equal(chats_.begin(), chats_.end(), other.chats_.begin(), other.chats_.end(),
                    [](const Shared& a, const Shared& b) { return a == b || *a == *b; });
}

}  // namespace core
