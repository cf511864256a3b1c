#include "ui/FakeTextMeasurer.h"

#include "foundation/UTF8.h"

namespace ui {

FontMetrics FakeTextMeasurer::metrics(const ResolvedFont& font) const {
  return {kAscent * font.size, kDescent * font.size};
}

double FakeTextMeasurer::advance(std::string_view utf8, const ResolvedFont& font) const {
  return kAdvance * font.size * static_cast<double>(foundation::utf8::characterCount(utf8));
}

}  // namespace ui
