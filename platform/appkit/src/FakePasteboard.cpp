#include "appkit/FakePasteboard.h"

namespace appkit {

std::int64_t FakePasteboard::changeCount() {
  std::lock_guard lock(mutex_);
  return changeCount_;
}

std::int64_t FakePasteboard::clearContents() {
  std::lock_guard lock(mutex_);
  entries_.clear();
  return ++changeCount_;
}

bool FakePasteboard::setString(std::string_view text) {
  std::lock_guard lock(mutex_);
  if (writesFail_) return false;
  entries_ = {{std::string(kPasteboardTypeString), std::string(kPasteboardTypeString), 8,
               std::string(text)}};
  ++changeCount_;
  return true;
}

std::optional<std::string> FakePasteboard::string() {
  std::lock_guard lock(mutex_);
  for (const auto& entry : entries_)
    if (entry.target == kPasteboardTypeString) return entry.bytes;
  return std::nullopt;
}

PasteboardSnapshot FakePasteboard::saveAll() {
  std::lock_guard lock(mutex_);
  return {entries_};
}

bool FakePasteboard::restore(const PasteboardSnapshot& snapshot) {
  std::lock_guard lock(mutex_);
  if (writesFail_ && !snapshot.empty()) return false;
  entries_ = snapshot.entries;
  ++changeCount_;
  return true;
}

void FakePasteboard::setEntries(std::vector<PasteboardEntry> entries) {
  std::lock_guard lock(mutex_);
  entries_ = std::move(entries);
  ++changeCount_;
}

std::vector<PasteboardEntry> FakePasteboard::entries() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

void FakePasteboard::setWritesFail(bool fail) {
  std::lock_guard lock(mutex_);
  writesFail_ = fail;
}

}  // namespace appkit
