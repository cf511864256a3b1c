// Code blocks of answers, as a model or whoever feeds it may write them: the pieces of a highlight
// cover the code exactly, in order, never cut a well-formed UTF-8 character, and whitespace pieces
// hold only whitespace.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "glow/PieceSink.h"
#include "glow/SwiftGrammar.h"
#include "glow/Theme.h"
#include "ui/Font.h"

namespace {

// Length of the well-formed UTF-8 character at the start of `text`, or 0.
std::size_t characterLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const auto between = [&](std::size_t i, unsigned char low, unsigned char high) {
    return i < text.size() && byte(i) >= low && byte(i) <= high;
  };
  const unsigned char lead = byte(0);
  if (lead >= 0xC2 && lead <= 0xDF) return between(1, 0x80, 0xBF) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
    return between(1, low, high) && between(2, 0x80, 0xBF) ? 3 : 0;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    const unsigned char low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
    return between(1, low, high) && between(2, 0x80, 0xBF) && between(3, 0x80, 0xBF) ? 4 : 0;
  }
  return 0;
}

class CheckingSink final : public glow::PieceSink {
 public:
  explicit CheckingSink(std::string_view code) : code_(code), inside_(code.size() + 1, false) {
    for (std::size_t i = 0; i < code.size();) {
      const std::size_t length = characterLength(code.substr(i));
      for (std::size_t j = 1; j < length; ++j) inside_[i + j] = true;
      i += length ? length : 1;
    }
  }

  void addToken(std::string_view token, glow::TokenType type) override {
    (void)theme_.colorFor(type);
    take(token);
  }
  void addPlainText(std::string_view text) override { take(text); }
  void addWhitespace(std::string_view whitespace) override {
    for (char c : whitespace)
      if (c != ' ' && (c < '\t' || c > '\r')) std::abort();
    take(whitespace);
  }

  void finish() const {
    if (at_ != code_.size()) std::abort();
  }

 private:
  void take(std::string_view piece) {
    if (piece.data() != code_.data() + at_ || piece.size() > code_.size() - at_) std::abort();
    at_ += piece.size();
    if (inside_[at_]) std::abort();
  }

  std::string_view code_;
  std::vector<bool> inside_;
  std::size_t at_ = 0;
  glow::Theme theme_ = glow::Theme::midnight(ui::Font::system(16));
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view code(reinterpret_cast<const char*>(data), size);
  CheckingSink sink(code);
  glow::SwiftGrammar().tokenize(code, sink);
  sink.finish();
  return 0;
}
