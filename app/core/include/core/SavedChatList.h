#pragma once

#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/ChatRecords.h"
#include "core/SavedChat.h"

namespace core {

// The saved chats, newest first: a value list whose copies share the chats themselves, in runs
// of a few hundred that copies share too. A copy of a history of many thousand chats (a save
// hands one to the writer) costs a pointer per run, a change copies the one run it touches, and a
// chat is never changed under a copy: a change replaces it. The chats are kept compact
// (SavedChat).
class SavedChatList {
  using Shared = std::shared_ptr<const SavedChat>;
  struct Run {
    std::vector<Shared> chats;
    std::size_t withId = 0;  // chats that carry an id, which finding one by its id looks for
  };
  using Runs = std::vector<std::shared_ptr<Run>>;

 public:
  class const_iterator {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = SavedChat;
    using difference_type = std::ptrdiff_t;
    using pointer = const SavedChat*;
    using reference = const SavedChat&;

    const_iterator() = default;
    reference operator*() const { return *list_->runs_[run_]->chats[offset_]; }
    pointer operator->() const { return &**this; }
    reference operator[](difference_type n) const { return *(*this + n); }
    const_iterator& operator++();
    const_iterator operator++(int) {
      auto before = *this;
      ++*this;
      return before;
    }
    const_iterator& operator--();
    const_iterator operator--(int) {
      auto before = *this;
      --*this;
      return before;
    }
    const_iterator& operator+=(difference_type n);
    const_iterator& operator-=(difference_type n) { return *this += -n; }
    friend const_iterator operator+(const_iterator i, difference_type n) { return i += n; }
    friend const_iterator operator+(difference_type n, const_iterator i) { return i += n; }
    friend const_iterator operator-(const_iterator i, difference_type n) { return i -= n; }
    friend difference_type operator-(const const_iterator& a, const const_iterator& b) {
      return static_cast<difference_type>(a.position_) - static_cast<difference_type>(b.position_);
    }
    friend bool operator==(const const_iterator& a, const const_iterator& b) {
      return a.position_ == b.position_;
    }
    friend auto operator<=>(const const_iterator& a, const const_iterator& b) {
      return a.position_ <=> b.position_;
    }

   private:
    friend class SavedChatList;
    const_iterator(const SavedChatList& list, std::size_t position);

    const SavedChatList* list_ = nullptr;
    std::size_t position_ = 0, run_ = 0, offset_ = 0;
  };
  using iterator = const_iterator;
  using value_type = SavedChat;
  using size_type = std::size_t;

  SavedChatList() = default;
  SavedChatList(const std::vector<oldMessagesStruct>& chats);  // NOLINT: a list of chats is one
  SavedChatList(std::initializer_list<oldMessagesStruct> chats);

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const SavedChat& operator[](std::size_t position) const;
  // Throws std::out_of_range past the end.
  const SavedChat& at(std::size_t position) const;
  const SavedChat& front() const { return (*this)[0]; }
  const SavedChat& back() const { return (*this)[size_ - 1]; }
  const_iterator begin() const { return const_iterator(*this, 0); }
  const_iterator end() const { return const_iterator(*this, size_); }

  // The position of the chat with this id; only runs holding chats with ids are looked at.
  std::optional<std::size_t> positionOf(const std::string& id) const;

  // Past the end: at the end.
  void insert(std::size_t position, SavedChat chat);
  void push_back(SavedChat chat);
  // Puts the chats of `other` after these, shared.
  void append(const SavedChatList& other);
  // Changes the chat at `position` in a copy of it; copies of the list keep the one they had.
  // Throws std::out_of_range past the end.
  template <class F>
  void change(std::size_t position, F&& edit) {
    const auto [run, offset] = locate(position, true);
    auto copy = std::make_shared<SavedChat>(*runs_[run]->chats[offset]);
    std::forward<F>(edit)(*copy);
    replace(run, offset, std::move(copy));
  }

  // Every chat decoded whole.
  std::vector<oldMessagesStruct> toVector() const;

  // Chat by chat, by content.
  bool operator==(const SavedChatList& other) const;

 private:
  // The run and the place in it of the chat at `position`; with `checked`, throws past the end.
  std::pair<std::size_t, std::size_t> locate(std::size_t position, bool checked = false) const;
  // The run, copied first when another list shares it.
  Run& own(std::size_t run);
  void replace(std::size_t run, std::size_t offset, Shared chat);
  void countRuns();

  Runs runs_;
  std::vector<std::size_t> starts_;  // the position of each run's first chat
  std::size_t size_ = 0;
};

}  // namespace core
