#include "core/SavedChatList.h"

#include <algorithm>
#include <stdexcept>

namespace core {
namespace {

// Long enough that a history of many thousand chats is a few dozen runs, short enough that
// copying one is nothing.
constexpr std::size_t kRunLength = 256;

std::size_t countWithId(const std::vector<std::shared_ptr<const SavedChat>>& chats) {
  return static_cast<std::size_t>(std::count_if(
      chats.begin(), chats.end(), [](const auto& chat) { return chat->id.has_value(); }));
}

}  // namespace

SavedChatList::const_iterator::const_iterator(const SavedChatList& list, std::size_t position)
    : list_(&list), position_(position) {
  if (position < list.size_) {
    std::tie(run_, offset_) = list.locate(position);
  } else {
    run_ = list.runs_.size();
  }
}

SavedChatList::const_iterator& SavedChatList::const_iterator::operator++() {
  ++position_;
  if (++offset_ == list_->runs_[run_]->chats.size()) {
    ++run_;
    offset_ = 0;
  }
  return *this;
}

SavedChatList::const_iterator& SavedChatList::const_iterator::operator--() {
  --position_;
  if (offset_ == 0) {
    --run_;
    offset_ = list_->runs_[run_]->chats.size() - 1;
  } else {
    --offset_;
  }
  return *this;
}

SavedChatList::const_iterator& SavedChatList::const_iterator::operator+=(difference_type n) {
  return *this = const_iterator(
             *list_, static_cast<std::size_t>(static_cast<difference_type>(position_) + n));
}

SavedChatList::SavedChatList(const std::vector<oldMessagesStruct>& chats) {
  for (const auto& chat : chats) push_back(chat);
}

SavedChatList::SavedChatList(std::initializer_list<oldMessagesStruct> chats) {
  for (const auto& chat : chats) push_back(chat);
}

std::pair<std::size_t, std::size_t> SavedChatList::locate(std::size_t position,
                                                          bool checked) const {
  if (checked && position >= size_) throw std::out_of_range("no saved chat at this position");
  const auto after = std::upper_bound(starts_.begin(), starts_.end(), position);
  const auto run = static_cast<std::size_t>(after - starts_.begin()) - 1;
  return {run, position - starts_[run]};
}

const SavedChat& SavedChatList::operator[](std::size_t position) const {
  const auto [run, offset] = locate(position);
  return *runs_[run]->chats[offset];
}

const SavedChat& SavedChatList::at(std::size_t position) const {
  const auto [run, offset] = locate(position, true);
  return *runs_[run]->chats[offset];
}

std::optional<std::size_t> SavedChatList::positionOf(const std::string& id) const {
  for (std::size_t run = 0; run < runs_.size(); ++run) {
    if (runs_[run]->withId == 0) continue;
    const auto& chats = runs_[run]->chats;
    for (std::size_t offset = 0; offset < chats.size(); ++offset)
      if (chats[offset]->id == id) return starts_[run] + offset;
  }
  return std::nullopt;
}

SavedChatList::Run& SavedChatList::own(std::size_t run) {
  // Only this list holds a run whose count is one, and only this thread copies this list.
  if (runs_[run].use_count() > 1) runs_[run] = std::make_shared<Run>(*runs_[run]);
  return *runs_[run];
}

void SavedChatList::replace(std::size_t run, std::size_t offset, Shared chat) {
  Run& owned = own(run);
  if (owned.chats[offset]->id) --owned.withId;
  if (chat->id) ++owned.withId;
  owned.chats[offset] = std::move(chat);
}

void SavedChatList::insert(std::size_t position, SavedChat chat) {
  position = std::min(position, size_);
  if (position == size_) {
    push_back(std::move(chat));
    return;
  }
  const auto [run, offset] = locate(position);
  Run& owned = own(run);
  auto shared = std::make_shared<const SavedChat>(std::move(chat));
  owned.withId += shared->id.has_value();
  owned.chats.insert(owned.chats.begin() + static_cast<std::ptrdiff_t>(offset), std::move(shared));
  if (owned.chats.size() >= 2 * kRunLength) {
    auto second = std::make_shared<Run>();
    const auto middle = owned.chats.begin() + static_cast<std::ptrdiff_t>(kRunLength);
    second->chats.assign(middle, owned.chats.end());
    owned.chats.erase(middle, owned.chats.end());
    second->withId = countWithId(second->chats);
    owned.withId -= second->withId;
    runs_.insert(runs_.begin() + static_cast<std::ptrdiff_t>(run) + 1, std::move(second));
  }
  ++size_;
  countRuns();
}

void SavedChatList::push_back(SavedChat chat) {
  if (runs_.empty() || runs_.back()->chats.size() >= kRunLength) {
    runs_.push_back(std::make_shared<Run>());
    runs_.back()->chats.reserve(kRunLength);
    starts_.push_back(size_);
  }
  Run& owned = own(runs_.size() - 1);
  owned.withId += chat.id.has_value();
  owned.chats.push_back(std::make_shared<const SavedChat>(std::move(chat)));
  ++size_;
}

void SavedChatList::append(const SavedChatList& other) {
  runs_.insert(runs_.end(), other.runs_.begin(), other.runs_.end());
  size_ += other.size_;
  countRuns();
}

void SavedChatList::countRuns() {
  starts_.resize(runs_.size());
  std::size_t start = 0;
  for (std::size_t run = 0; run < runs_.size(); ++run) {
    starts_[run] = start;
    start += runs_[run]->chats.size();
  }
}

std::vector<oldMessagesStruct> SavedChatList::toVector() const {
  std::vector<oldMessagesStruct> chats;
  chats.reserve(size_);
  for (const auto& chat : *this) chats.push_back(chat.record());
  return chats;
}

bool SavedChatList::operator==(const SavedChatList& other) const {
  if (size_ != other.size_) return false;
  auto mine = begin();
  for (auto theirs = other.begin(); theirs != other.end(); ++theirs, ++mine)
    if (&*mine != &*theirs && !(*mine == *theirs)) return false;
  return true;
}

}  // namespace core
