#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "markdown/Block.h"
#include "markdown/Inline.h"
#include "markdown/InlineContent.h"
#include "markdown/MarkdownContent.h"

// Readable failure output and short spellings for expected documents.
namespace markdown {

std::string describe(const Inline& inline_);
std::string describe(const Block& block);
std::string describe(const std::vector<Inline>& inlines);
std::string describe(const std::vector<Block>& blocks);

inline void PrintTo(const Inline& value, std::ostream* out) {
  *out << describe(value);
}
inline void PrintTo(const Block& value, std::ostream* out) {
  *out << describe(value);
}
inline void PrintTo(const std::vector<Inline>& value, std::ostream* out) {
  *out << describe(value);
}
inline void PrintTo(const std::vector<Block>& value, std::ostream* out) {
  *out << describe(value);
}
inline void PrintTo(const MarkdownContent& value, std::ostream* out) {
  *out << describe(value.blocks);
}
inline void PrintTo(const InlineContent& value, std::ostream* out) {
  *out << describe(value.inlines);
}

namespace spell {

inline Inline text(std::string s) {
  return Inline::text(std::move(s));
}
inline Inline emph(std::vector<Inline> c) {
  return Inline::emphasis(std::move(c));
}
inline Inline strong(std::vector<Inline> c) {
  return Inline::strong(std::move(c));
}
inline Inline strike(std::vector<Inline> c) {
  return Inline::strikethrough(std::move(c));
}
inline Inline link(std::string d, std::vector<Inline> c) {
  return Inline::link(d, std::move(c));
}
inline Inline image(std::string s, std::vector<Inline> c) {
  return Inline::image(s, std::move(c));
}
inline Block para(std::vector<Inline> i) {
  return Block::paragraph(std::move(i));
}
inline Block para(std::string s) {
  return para({text(std::move(s))});
}
inline ListItem item(std::vector<Block> b) {
  return ListItem{std::move(b)};
}
inline ListItem item(std::string s) {
  return item({para(std::move(s))});
}
inline TaskListItem task(bool done, std::vector<Block> b) {
  return TaskListItem{done, std::move(b)};
}
inline TaskListItem task(bool done, std::string s) {
  return task(done, {para(std::move(s))});
}

}  // namespace spell
}  // namespace markdown
