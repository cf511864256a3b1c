#include "markdown/Deprecations.h"

#include <cstdio>
#include <cstdlib>

#include "markdown/BlockBuilders.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace markdown {
namespace {

// The builtins stand in for std::source_location, which clang 14 cannot build with libstdc++ 12.
[[noreturn]] void unimplemented(const char* fileName = __builtin_FILE(),
                                unsigned line = __builtin_LINE()) {
  std::string_view file = fileName;
  if (const auto at = file.rfind("markdown/model/"); at != std::string_view::npos) {
    file.remove_prefix(at);
  }
  std::fprintf(stderr, "Fatal error: Unimplemented: file %.*s, line %u\n",
               static_cast<int>(file.size()), file.data(), line);
  std::fflush(stderr);
  std::abort();
}

}  // namespace

Heading::Heading(std::int64_t, std::initializer_list<InlineComponent>) {
  unimplemented();
}

MarkdownImageHandler MarkdownImageHandler::networkImage() {
  unimplemented();
}
MarkdownImageHandler MarkdownImageHandler::assetImage(
    std::function<std::string(const foundation::URL&)>, std::optional<std::filesystem::path>) {
  unimplemented();
}

using Font = MarkdownStyle::Font;

Font Font::largeTitle() {
  unimplemented();
}
Font Font::title() {
  unimplemented();
}
Font Font::title2() {
  unimplemented();
}
Font Font::title3() {
  unimplemented();
}
Font Font::headline() {
  unimplemented();
}
Font Font::subheadline() {
  unimplemented();
}
Font Font::body() {
  unimplemented();
}
Font Font::callout() {
  unimplemented();
}
Font Font::footnote() {
  unimplemented();
}
Font Font::caption() {
  unimplemented();
}
Font Font::caption2() {
  unimplemented();
}
Font Font::system(double, Weight, Design) {
  unimplemented();
}
Font Font::system(TextStyle, Design) {
  unimplemented();
}
Font Font::custom(std::string_view, double) {
  unimplemented();
}
Font Font::bold() const {
  unimplemented();
}
Font Font::italic() const {
  unimplemented();
}
Font Font::monospacedDigit() const {
  unimplemented();
}
Font Font::monospaced() const {
  unimplemented();
}
Font Font::scale(double) const {
  unimplemented();
}

using HeadingScales = MarkdownStyle::HeadingScales;

HeadingScales::HeadingScales(double, double, double, double, double, double) {
  unimplemented();
}
double HeadingScales::operator[](int) const {
  unimplemented();
}
HeadingScales HeadingScales::defaultValue() {
  unimplemented();
}

using Measurements = MarkdownStyle::Measurements;

Measurements::Measurements(double, double, double, double, double, HeadingScales headingScales,
                           double)
    : headingScales(headingScales) {
  unimplemented();
}

bool Measurements::operator==(const Measurements& other) const {
  return codeFontScale == other.codeFontScale && headIndentStep == other.headIndentStep &&
         tailIndentStep == other.tailIndentStep && paragraphSpacing == other.paragraphSpacing &&
         listMarkerSpacing == other.listMarkerSpacing && headingSpacing == other.headingSpacing;
}

MarkdownStyle::MarkdownStyle(Font font, std::uint32_t, Measurements measurements)
    : font(font), measurements(measurements) {
  unimplemented();
}

void hashInto(Hasher&, const Font&) {}
void hashInto(Hasher&, const HeadingScales&) {}

void hashInto(Hasher& hasher, const Measurements& measurements) {
  hasher.combine(measurements.codeFontScale);
  hasher.combine(measurements.headIndentStep);
  hasher.combine(measurements.tailIndentStep);
  hasher.combine(measurements.paragraphSpacing);
  hasher.combine(measurements.listMarkerSpacing);
  hasher.combine(measurements.headingSpacing);
}

void hashInto(Hasher& hasher, const MarkdownStyle& style) {
  hasher.combine(static_cast<std::uint64_t>(style.foregroundColor));
  hashInto(hasher, style.measurements);
}

}  // namespace markdown
