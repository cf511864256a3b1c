#include "markdown/InlineBuilders.h"

namespace markdown {
namespace {

InlineContent literal(std::string_view text) {
  return InlineContentBuilder::buildExpression(text);
}

}  // namespace

InlineContent InlineContent::build(std::initializer_list<InlineComponent> content) {
  return InlineContentBuilder::buildBlock(content);
}

InlineContent Code::_inlineContent() const {
  return InlineContent{{Inline::code(text)}};
}

Emphasis::Emphasis(std::string_view text) : content(literal(text)) {}
Emphasis::Emphasis(std::initializer_list<InlineComponent> content)
    : content(InlineContent::build(content)) {}
InlineContent Emphasis::_inlineContent() const {
  return InlineContent{{Inline::emphasis(content.inlines)}};
}

Strong::Strong(std::string_view text) : content(literal(text)) {}
Strong::Strong(std::initializer_list<InlineComponent> content)
    : content(InlineContent::build(content)) {}
InlineContent Strong::_inlineContent() const {
  return InlineContent{{Inline::strong(content.inlines)}};
}

Strikethrough::Strikethrough(std::string_view text) : content(literal(text)) {}
Strikethrough::Strikethrough(std::initializer_list<InlineComponent> content)
    : content(InlineContent::build(content)) {}
InlineContent Strikethrough::_inlineContent() const {
  return InlineContent{{Inline::strikethrough(content.inlines)}};
}

InlineLink::InlineLink(std::string_view text, const foundation::URL& destination)
    : destination(destination.absoluteString()), content(literal(text)) {}
InlineLink::InlineLink(const foundation::URL& destination,
                       std::initializer_list<InlineComponent> content)
    : destination(destination.absoluteString()), content(InlineContent::build(content)) {}
InlineContent InlineLink::_inlineContent() const {
  return InlineContent{{Inline::link(destination, content.inlines)}};
}

InlineImage::InlineImage(const foundation::URL& source) : source(source.absoluteString()) {}
InlineImage::InlineImage(std::string_view label, const foundation::URL& source)
    : source(source.absoluteString()), content(literal(label)) {}
InlineContent InlineImage::_inlineContent() const {
  return InlineContent{{Inline::image(source, content.inlines)}};
}

}  // namespace markdown
