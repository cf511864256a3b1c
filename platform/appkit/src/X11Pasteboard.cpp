#include "appkit/X11Pasteboard.h"

#include <algorithm>

#include "X11SelectionOwner.h"
#include "appkit/x11/Latin1.h"
#include "appkit/x11/SelectionReader.h"

namespace appkit {
namespace {

constexpr std::string_view kClipboard = "CLIPBOARD";

// Targets that describe or act on the selection rather than carry its data.
constexpr std::string_view kMetaTargets[] = {
    "TARGETS", "TIMESTAMP",        "MULTIPLE",        "SAVE_TARGETS",
    "DELETE",  "INSERT_SELECTION", "INSERT_PROPERTY", "CLIPBOARD_MANAGER"};

std::optional<std::string> textOf(const std::vector<PasteboardEntry>& entries) {
  for (auto target : {kPasteboardTypeString, std::string_view("text/plain;charset=utf-8")})
    for (const auto& entry : entries)
      if (entry.target == target && entry.format == 8) return entry.bytes;
  for (const auto& entry : entries)
    if (entry.target == "STRING" && entry.format == 8) return x11::latin1ToUtf8(entry.bytes);
  return std::nullopt;
}

}  // namespace

struct X11Pasteboard::Backend {
  Backend(const X11PasteboardOptions& options)
      : reader(options.displayName.empty() ? nullptr : options.displayName.c_str(),
               options.timeout),
        owner(std::string(kClipboard),
              options.displayName.empty() ? nullptr : options.displayName.c_str(),
              options.chunkBytes) {}
  x11::SelectionReader reader;
  x11::SelectionOwner owner;
};

X11Pasteboard::X11Pasteboard(X11PasteboardOptions options)
    : options_(std::move(options)), backend_(std::make_unique<Backend>(options_)) {
  lastOwner_ = backend_->reader.owner(kClipboard);
}

X11Pasteboard::~X11Pasteboard() = default;

bool X11Pasteboard::ok() const {
  return backend_->reader.ok() && backend_->owner.ok();
}

std::uint32_t X11Pasteboard::observeOwner() {
  xcb_window_t owner = backend_->reader.owner(kClipboard);
  std::lock_guard lock(mutex_);
  if (owner != lastOwner_) {
    lastOwner_ = owner;
    ++changeCount_;
  }
  return owner;
}

std::int64_t X11Pasteboard::changeCount() {
  observeOwner();
  std::lock_guard lock(mutex_);
  return changeCount_;
}

std::int64_t X11Pasteboard::clearContents() {
  backend_->owner.clear();
  std::lock_guard lock(mutex_);
  lastOwner_ = XCB_NONE;
  return ++changeCount_;
}

bool X11Pasteboard::setString(std::string_view text) {
  std::vector<PasteboardEntry> entries{{std::string(kPasteboardTypeString),
                                        std::string(kPasteboardTypeString), 8, std::string(text)}};
  if (!backend_->owner.own(std::move(entries))) return false;
  std::lock_guard lock(mutex_);
  lastOwner_ = backend_->owner.window();
  ++changeCount_;
  return true;
}

std::optional<std::string> X11Pasteboard::string() {
  xcb_window_t owner = observeOwner();
  if (owner == XCB_NONE) return std::nullopt;
  if (owner == backend_->owner.window()) {
    auto contents = backend_->owner.contents();
    return contents ? textOf(*contents) : std::nullopt;
  }
  auto text = backend_->reader.text(kClipboard);
  if (!text.ok()) return std::nullopt;
  return std::move(text.value());
}

PasteboardSnapshot X11Pasteboard::saveAll() {
  xcb_window_t owner = observeOwner();
  if (owner == XCB_NONE) return {};
  if (owner == backend_->owner.window()) {
    auto contents = backend_->owner.contents();
    return {contents ? std::move(*contents) : std::vector<PasteboardEntry>{}};
  }
  auto& reader = backend_->reader;
  auto targets = reader.targets(kClipboard);
  if (!targets.ok()) {
    // An owner that lists nothing may still give text.
    auto text = reader.text(kClipboard);
    if (!text.ok()) return {};
    return {{{std::string(kPasteboardTypeString), std::string(kPasteboardTypeString), 8,
              std::move(text.value())}}};
  }
  const auto deadline = x11::Clock::now() + options_.saveBudget;
  PasteboardSnapshot snapshot;
  std::size_t total = 0;
  for (const auto& target : targets.value()) {
    if (x11::Clock::now() >= deadline) break;
    if (std::find(std::begin(kMetaTargets), std::end(kMetaTargets), target) !=
        std::end(kMetaTargets))
      continue;
    if (std::any_of(snapshot.entries.begin(), snapshot.entries.end(),
                    [&](const auto& e) { return e.target == target; }))
      continue;
    auto data = reader.convert(kClipboard, target);
    if (!data.ok()) {
      if (data.error() == x11::SelectionError::Refused) continue;
      break;  // the owner went away or stopped answering
    }
    total += data.value().bytes.size();
    if (total > x11::SelectionReader::maximumBytes) break;
    snapshot.entries.push_back({target, reader.atomName(data.value().type), data.value().format,
                                std::move(data.value().bytes)});
  }
  return snapshot;
}

bool X11Pasteboard::restore(const PasteboardSnapshot& snapshot) {
  if (snapshot.empty()) {
    clearContents();
    return true;
  }
  if (!backend_->owner.own(snapshot.entries)) return false;
  std::lock_guard lock(mutex_);
  lastOwner_ = backend_->owner.window();
  ++changeCount_;
  return true;
}

}  // namespace appkit
