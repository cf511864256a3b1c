#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/AttributeContainer.h"

namespace ui {

// UTF-8 text with attributes. The runs cover the text exactly and are always the maximal
// stretches of equal attributes: neighbours with equal containers are joined after every
// change. Offsets are bytes; a range edge inside a multi-byte character moves back to the
// character's start.
class AttributedString {
 public:
  struct Run {
    std::size_t begin = 0, end = 0;
    AttributeContainer attributes;

    std::size_t length() const { return end - begin; }
    bool operator==(const Run&) const = default;
  };
  using Edit = std::function<void(AttributeContainer&)>;

  AttributedString() = default;
  explicit AttributedString(std::string text, AttributeContainer attributes = {});

  const std::string& characters() const { return text_; }
  const std::vector<Run>& runs() const { return runs_; }
  std::string_view text(const Run& run) const;
  std::size_t size() const { return text_.size(); }
  bool empty() const { return text_.empty(); }

  AttributedString& operator+=(const AttributedString& other);
  void append(std::string_view text, const AttributeContainer& attributes = {});
  // Room for this many bytes and runs in all, so that appending piece by piece allocates once.
  void reserve(std::size_t bytes, std::size_t runs);
  friend AttributedString operator+(AttributedString a, const AttributedString& b) {
    a += b;
    return a;
  }

  // Applies `edit` to the attributes of every character in [begin, end) (clamped to the text);
  // runs are split at the edges as needed.
  void edit(std::size_t begin, std::size_t end, const Edit& edit);
  void editAll(const Edit& edit) { this->edit(0, text_.size(), edit); }
  // The range takes exactly these attributes / these merged over its own.
  void setAttributes(std::size_t begin, std::size_t end, const AttributeContainer& attributes);
  void mergeAttributes(std::size_t begin, std::size_t end, const AttributeContainer& attributes);

  // A copy in which `edit` has been applied to each run as it was before any change, e.g. to
  // turn an extension attribute into a font run by run.
  AttributedString transformingAttributes(const Edit& edit) const;

  AttributedString substring(std::size_t begin, std::size_t end) const;

  bool operator==(const AttributedString&) const = default;

 private:
  std::size_t boundary(std::size_t offset) const;
  std::size_t splitAt(std::size_t offset);  // index of the run that starts at offset
  void coalesce();

  std::string text_;
  std::vector<Run> runs_;
};

}  // namespace ui
