#pragma once

#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

#include "core/ChatRecords.h"
#include "core/SavedChat.h"

namespace core {

// The saved chats, newest first: a value list whose copies share the chats themselves, so that
// a copy of a history of many thousand chats costs a pointer for each (a save hands one to the
// writer), and a chat is never changed under a copy: a change replaces it. The chats are kept
// compact (SavedChat).
class SavedChatList {
  using Shared = std::shared_ptr<const SavedChat>;

 public:
  class const_iterator {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = SavedChat;
    using difference_type = std::ptrdiff_t;
    using pointer = const SavedChat*;
    using reference = const SavedChat&;

    const_iterator() = default;
    reference operator*() const { return **it_; }
    pointer operator->() const { return it_->get(); }
    reference operator[](difference_type n) const { return *it_[n]; }
    const_iterator& operator++() { return ++it_, *this; }
    const_iterator operator++(int) { return const_iterator(it_++); }
    const_iterator& operator--() { return --it_, *this; }
    const_iterator operator--(int) { return const_iterator(it_--); }
    const_iterator& operator+=(difference_type n) { return it_ += n, *this; }
    const_iterator& operator-=(difference_type n) { return it_ -= n, *this; }
    friend const_iterator operator+(const_iterator i, difference_type n) { return i += n; }
    friend const_iterator operator+(difference_type n, const_iterator i) { return i += n; }
    friend const_iterator operator-(const_iterator i, difference_type n) { return i -= n; }
    friend difference_type operator-(const const_iterator& a, const const_iterator& b) {
      return a.it_ - b.it_;
    }
    friend bool operator==(const const_iterator& a, const const_iterator& b) {
      return a.it_ == b.it_;
    }
    friend auto operator<=>(const const_iterator& a, const const_iterator& b) {
      return a.it_ <=> b.it_;
    }

   private:
    friend class SavedChatList;
    explicit const_iterator(std::vector<Shared>::const_iterator it) : it_(it) {}
    std::vector<Shared>::const_iterator it_;
  };
  using iterator = const_iterator;
  using value_type = SavedChat;
  using size_type = std::size_t;

  SavedChatList() = default;
  SavedChatList(const std::vector<oldMessagesStruct>& chats);  // NOLINT: a list of chats is one
  SavedChatList(std::initializer_list<oldMessagesStruct> chats);

  std::size_t size() const { return chats_.size(); }
  bool empty() const { return chats_.empty(); }
  const SavedChat& operator[](std::size_t position) const { return *chats_[position]; }
  // Throws std::out_of_range past the end.
  const SavedChat& at(std::size_t position) const { return *chats_.at(position); }
  const SavedChat& front() const { return *chats_.front(); }
  const SavedChat& back() const { return *chats_.back(); }
  const_iterator begin() const { return const_iterator(chats_.begin()); }
  const_iterator end() const { return const_iterator(chats_.end()); }

  void insert(std::size_t position, SavedChat chat);
  void push_back(SavedChat chat);
  // Puts the chats of `other` after these, shared.
  void append(SavedChatList other) {
    chats_.insert(chats_.end(), std::make_move_iterator(other.chats_.begin()),
                  std::make_move_iterator(other.chats_.end()));
  }
  // Changes the chat at `position` in a copy of it; copies of the list keep the one they had.
  template <class F>
  void change(std::size_t position, F&& edit) {
    auto copy = std::make_shared<SavedChat>(*chats_.at(position));
    std::forward<F>(edit)(*copy);
    chats_[position] = std::move(copy);
  }

  // Every chat decoded whole.
  std::vector<oldMessagesStruct> toVector() const;

  // Chat by chat, by content.
  bool operator==(const SavedChatList& other) const;

 private:
  std::vector<Shared> chats_;
};

}  // namespace core
