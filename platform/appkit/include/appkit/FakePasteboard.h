#pragma once

#include <mutex>

#include "appkit/Pasteboard.h"

namespace appkit {

// A pasteboard in memory. Tests put contents on it as another program would (setEntries) and
// look at what the code under test left there (entries).
class FakePasteboard : public Pasteboard {
 public:
  std::int64_t changeCount() override;
  std::int64_t clearContents() override;
  bool setString(std::string_view text) override;
  std::optional<std::string> string() override;
  PasteboardSnapshot saveAll() override;
  bool restore(const PasteboardSnapshot& snapshot) override;

  // Another program copying something; counts as a change.
  void setEntries(std::vector<PasteboardEntry> entries);
  std::vector<PasteboardEntry> entries() const;
  // While set, writes fail as when the pasteboard cannot be taken.
  void setWritesFail(bool fail);

 private:
  mutable std::mutex mutex_;
  std::vector<PasteboardEntry> entries_;
  std::int64_t changeCount_ = 0;
  bool writesFail_ = false;
};

}  // namespace appkit
