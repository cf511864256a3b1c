#include "ui/TextValue.h"

#include <string>
#include <utility>

namespace ui {

namespace {

template <class Fill>
void fillIn(std::vector<Text::Segment>& segments, const Fill& fill) {
  for (Text::Segment& segment : segments) {
    if (auto* string = std::get_if<AttributedString>(&segment)) {
      string->editAll(fill);
    } else {
      fill(std::get<Text::InlineImage>(segment).attributes);
    }
  }
}

}  // namespace

Text Text::verbatim(std::string text) {
  return attributed(AttributedString(std::move(text)));
}

Text Text::attributed(AttributedString text) {
  Text t;
  t.append(std::move(text));
  return t;
}

Text Text::image(Image image) {
  Text t;
  t.append(InlineImage{std::move(image), {}});
  return t;
}

Text Text::localized(std::string_view key, const std::vector<std::int64_t>& arguments) {
  constexpr std::string_view kInteger = "%lld";
  std::string out;
  std::size_t next = 0;
  for (std::size_t i = 0; i < key.size();) {
    if (key.substr(i, 2) == "%%") {
      out += '%';
      i += 2;
    } else if (key.substr(i, kInteger.size()) == kInteger && next < arguments.size()) {
      out += std::to_string(arguments[next++]);
      i += kInteger.size();
    } else {
      out += key[i++];
    }
  }
  return verbatim(std::move(out));
}

// By value: a text made from one long string takes it over instead of copying its runs.
void Text::append(Segment segment) {
  if (const auto* string = std::get_if<AttributedString>(&segment)) {
    if (string->empty()) return;
    if (!segments_.empty()) {
      if (auto* last = std::get_if<AttributedString>(&segments_.back())) {
        *last += *string;
        return;
      }
    }
  }
  segments_.push_back(std::move(segment));
}

Text Text::operator+(const Text& other) const {
  Text result = *this;
  result += other;
  return result;
}

Text& Text::operator+=(const Text& other) {
  for (const Segment& segment : other.segments_) append(segment);
  return *this;
}

Text Text::font(const std::optional<Font>& font) const {
  Text result = *this;
  if (font) {
    fillIn(result.segments_, [&](AttributeContainer& c) {
      if (!c.font) c.font = font;
    });
  }
  return result;
}

Text Text::foregroundColor(const std::optional<Color>& color) const {
  Text result = *this;
  if (color) {
    fillIn(result.segments_, [&](AttributeContainer& c) {
      if (!c.foregroundColor) c.foregroundColor = color;
    });
  }
  return result;
}

std::vector<Text::Run> Text::runs() const {
  std::vector<Run> runs;
  std::size_t offset = 0;
  for (const Segment& segment : segments_) {
    if (const auto* string = std::get_if<AttributedString>(&segment)) {
      for (const auto& run : string->runs()) {
        runs.push_back(Run{offset + run.begin, offset + run.end, run.attributes, std::nullopt});
      }
      offset += string->size();
    } else {
      const auto& image = std::get<InlineImage>(segment);
      runs.push_back(Run{offset, offset + kImagePlaceholder.size(), image.attributes, image.image});
      offset += kImagePlaceholder.size();
    }
  }
  return runs;
}

std::string Text::plainText() const {
  std::string text;
  for (const Segment& segment : segments_) {
    if (const auto* string = std::get_if<AttributedString>(&segment)) {
      text += string->characters();
    } else {
      text += kImagePlaceholder;
    }
  }
  return text;
}

}  // namespace ui
