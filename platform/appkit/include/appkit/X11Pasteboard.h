#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "appkit/Pasteboard.h"

namespace appkit {

struct X11PasteboardOptions {
  std::string displayName;  // empty: $DISPLAY
  // How long another program may take to answer one request for its data.
  std::chrono::milliseconds timeout{300};
  // Saving another program's contents stops after this long, keeping what was read.
  std::chrono::milliseconds saveBudget{2000};
  // 0: by the server's request limit. Data larger than this is handed out in INCR chunks.
  std::size_t chunkBytes = 0;
};

// The X11 CLIPBOARD selection. The contents this program offers are served by a thread with a
// connection of its own; reading another program's contents goes over a second connection.
class X11Pasteboard : public Pasteboard {
 public:
  explicit X11Pasteboard(X11PasteboardOptions options = {});
  ~X11Pasteboard() override;

  // False when no X display could be opened.
  bool ok() const;

  std::int64_t changeCount() override;
  std::int64_t clearContents() override;
  bool setString(std::string_view text) override;
  std::optional<std::string> string() override;
  PasteboardSnapshot saveAll() override;
  bool restore(const PasteboardSnapshot& snapshot) override;

 private:
  struct Backend;
  // Counts a change when the owner differs from the one seen last; returns the owner.
  std::uint32_t observeOwner();

  X11PasteboardOptions options_;
  std::unique_ptr<Backend> backend_;
  std::mutex mutex_;
  std::int64_t changeCount_ = 0;
  std::uint32_t lastOwner_ = 0;
};

}  // namespace appkit
