#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace appkit {

// One form in which the pasteboard offers its contents. On X11 `target` is the target name
// ("UTF8_STRING", "image/png", …), `type` the type of the property the data comes in, and
// `format` its unit size in bits (8, 16 or 32).
struct PasteboardEntry {
  std::string target;
  std::string type;
  int format = 8;
  std::string bytes;
  bool operator==(const PasteboardEntry&) const = default;
};

// Everything the pasteboard offered at one moment, so that it can be put back in full.
struct PasteboardSnapshot {
  std::vector<PasteboardEntry> entries;
  bool empty() const { return entries.empty(); }
  bool operator==(const PasteboardSnapshot&) const = default;
};

// The target of plain text in UTF-8.
inline constexpr std::string_view kPasteboardTypeString = "UTF8_STRING";

// The general pasteboard (the clipboard). Thread-safe. On X11 the calls that ask another
// program for its data (string, saveAll) wait for it, boundedly: call them off the main thread.
class Pasteboard {
 public:
  // The desktop's clipboard, one for the whole process, made on first use (from any thread).
  // Everything that copies shares it, so that one connection serves what this program offers.
  static std::shared_ptr<Pasteboard> general();

  virtual ~Pasteboard() = default;

  // Grows with every change of the contents: a clear, a write, a restore, or another program
  // taking the pasteboard.
  virtual std::int64_t changeCount() = 0;

  // Empties the pasteboard; returns the new change count.
  virtual std::int64_t clearContents() = 0;
  // Replaces the contents with `text`; false when the pasteboard could not be taken.
  virtual bool setString(std::string_view text) = 0;
  // The contents as plain text; absent when there is none (or no text form).
  virtual std::optional<std::string> string() = 0;

  // Every form the contents are offered in, with its data, as far as the owner hands them out.
  virtual PasteboardSnapshot saveAll() = 0;
  // Offers exactly the saved forms again. An empty snapshot clears the pasteboard: nothing,
  // not even empty text, is written where nothing was.
  virtual bool restore(const PasteboardSnapshot& snapshot) = 0;
};

}  // namespace appkit
