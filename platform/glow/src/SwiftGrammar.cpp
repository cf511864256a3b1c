#include "glow/SwiftGrammar.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "SwiftKeywords.h"

namespace glow {

namespace {

enum CharClass : std::uint8_t {
  kSpace = 1,
  kIdentifierStart = 2,  // non-ASCII bytes too, so a UTF-8 character is never cut
  kDigit = 4,
  kOperator = 8,
  kHexDigit = 16,
};

constexpr std::array<std::uint8_t, 256> makeClasses() {
  std::array<std::uint8_t, 256> classes{};
  for (unsigned char c : std::string_view(" \t\n\r\v\f")) classes[c] |= kSpace;
  for (int c = 'a'; c <= 'z'; ++c) classes[c] |= kIdentifierStart;
  for (int c = 'A'; c <= 'Z'; ++c) classes[c] |= kIdentifierStart;
  classes['_'] |= kIdentifierStart;
  classes['$'] |= kIdentifierStart;
  for (int c = 0x80; c <= 0xFF; ++c) classes[c] |= kIdentifierStart;
  for (int c = '0'; c <= '9'; ++c) classes[c] |= kDigit | kHexDigit;
  for (int c = 'a'; c <= 'f'; ++c) classes[c] |= kHexDigit;
  for (int c = 'A'; c <= 'F'; ++c) classes[c] |= kHexDigit;
  for (unsigned char c : std::string_view("+-*/%=<>!&|^~?")) classes[c] |= kOperator;
  return classes;
}

constexpr std::array<std::uint8_t, 256> kClasses = makeClasses();

bool is(char c, std::uint8_t mask) {
  return (kClasses[static_cast<unsigned char>(c)] & mask) != 0;
}
bool isIdentifierCharacter(char c) {
  return is(c, kIdentifierStart | kDigit);
}
bool isLineBreak(char c) {
  return c == '\n' || c == '\r';
}
bool isUpper(char c) {
  return c >= 'A' && c <= 'Z';
}

enum class PieceKind { none, token, plain, whitespace };

// Hands pieces to the sink, joining neighbours of one kind. Each piece runs from where the last
// one ended, so the pieces cover the code exactly.
class Emitter {
 public:
  Emitter(std::string_view code, PieceSink& sink) : code_(code), sink_(sink) {}

  void emit(std::size_t end, PieceKind kind, TokenType type = TokenType::keyword) {
    if (end <= end_) return;
    if (kind != kind_ || (kind == PieceKind::token && type != type_)) {
      flush();
      start_ = end_;
      kind_ = kind;
      type_ = type;
    }
    end_ = end;
  }

  void finish() {
    emit(code_.size(), PieceKind::plain);
    flush();
  }

 private:
  void flush() {
    const std::string_view piece = code_.substr(start_, end_ - start_);
    switch (kind_) {
      case PieceKind::none:
        break;
      case PieceKind::token:
        sink_.addToken(piece, type_);
        break;
      case PieceKind::plain:
        sink_.addPlainText(piece);
        break;
      case PieceKind::whitespace:
        sink_.addWhitespace(piece);
        break;
    }
    kind_ = PieceKind::none;
  }

  std::string_view code_;
  PieceSink& sink_;
  std::size_t start_ = 0, end_ = 0;
  PieceKind kind_ = PieceKind::none;
  TokenType type_ = TokenType::keyword;
};

// A string literal being read, or an interpolation `\( … )` inside one. The stack of these is
// the only nesting state, so depth costs memory, never recursion.
struct Frame {
  bool isString = true;
  bool multiline = false;
  std::size_t hashes = 0;  // raw string delimiter #…#
  std::size_t parens = 0;  // open parentheses inside an interpolation
};

class Scanner {
 public:
  Scanner(std::string_view code, PieceSink& sink) : code_(code), out_(code, sink) {}

  void run() {
    while (pos_ < code_.size()) {
      if (!frames_.empty() && frames_.back().isString) {
        stringBody();
      } else {
        codePiece();
      }
    }
    out_.finish();
  }

 private:
  char at(std::size_t i) const { return i < code_.size() ? code_[i] : '\0'; }
  bool has(std::size_t i, char c) const { return i < code_.size() && code_[i] == c; }

  std::size_t skip(std::size_t i, std::uint8_t mask) const {
    while (i < code_.size() && is(code_[i], mask)) ++i;
    return i;
  }
  std::size_t skipIdentifier(std::size_t i) const {
    while (i < code_.size() && isIdentifierCharacter(code_[i])) ++i;
    return i;
  }
  // How many `c` follow from i, counting no further than `limit`: a long run of quotes or
  // signs is then looked at once, not once for each of its characters.
  std::size_t count(std::size_t i, char c, std::size_t limit = SIZE_MAX) const {
    std::size_t n = 0;
    while (n < limit && i + n < code_.size() && code_[i + n] == c) ++n;
    return n;
  }

  // A significant piece ending at `end`; `endsExpression` tells whether a `.` right after it
  // reaches a member (`a.b`) rather than starting an implicit one (`.b`).
  void significant(std::size_t end, PieceKind kind, TokenType type, bool endsExpression) {
    out_.emit(end, kind, type);
    pos_ = end;
    lastEnd_ = end;
    endsExpression_ = endsExpression;
  }
  void plain(std::size_t end, bool endsExpression) {
    significant(end, PieceKind::plain, TokenType::keyword, endsExpression);
  }
  void token(std::size_t end, TokenType type, bool endsExpression) {
    significant(end, PieceKind::token, type, endsExpression);
  }

  void codePiece() {
    const std::size_t start = pos_;
    const char c = code_[start];
    const char next = at(start + 1);
    if (is(c, kSpace)) return whitespace(start);
    if (c == '/' && next == '/') return lineComment(start);
    if (c == '/' && next == '*') return blockComment(start);
    if (c == '"') return openString(start, 0);
    if (c == '#') return hash(start);
    if (c == '@' && is(next, kIdentifierStart)) {
      return token(skipIdentifier(start + 1), TokenType::preprocessing, false);
    }
    if (is(c, kDigit)) return token(number(start), TokenType::number, true);
    if (is(c, kIdentifierStart)) return identifier(start);
    if (c == '`') return backquoted(start);
    if (c == '.') return dot(start);
    if (c == '(') {
      if (inInterpolation()) ++frames_.back().parens;
      return plain(start + 1, false);
    }
    if (c == ')') return closeParenthesis(start);
    if (c == ']' || c == '}') return plain(start + 1, true);
    if (is(c, kOperator)) return operators(start);
    plain(start + 1, false);
  }

  void whitespace(std::size_t start) {
    const std::size_t end = skip(start, kSpace);
    bool lineBreak = false;
    for (std::size_t i = start; i < end && !lineBreak; ++i) lineBreak = isLineBreak(code_[i]);
    out_.emit(end, PieceKind::whitespace);
    pos_ = end;
    // A one-line string cannot go on past its line, nor can an interpolation inside it.
    while (lineBreak && frames_.size() >= 2 && !frames_.back().isString &&
           !frames_[frames_.size() - 2].multiline) {
      frames_.resize(frames_.size() - 2);
      endsExpression_ = false;
    }
  }

  void lineComment(std::size_t start) {
    std::size_t end = start + 2;
    while (end < code_.size() && !isLineBreak(code_[end])) ++end;
    out_.emit(end, PieceKind::token, TokenType::comment);
    pos_ = end;
  }

  void blockComment(std::size_t start) {
    std::size_t depth = 1;
    std::size_t i = start + 2;
    while (i < code_.size() && depth > 0) {
      if (code_[i] == '/' && has(i + 1, '*')) {
        ++depth;
        i += 2;
      } else if (code_[i] == '*' && has(i + 1, '/')) {
        --depth;
        i += 2;
      } else {
        ++i;
      }
    }
    out_.emit(i, PieceKind::token, TokenType::comment);
    pos_ = i;
  }

  // `"`, `"""`, or either after `hashes` number signs for a raw string.
  void openString(std::size_t start, std::size_t hashes) {
    const std::size_t quote = start + hashes;
    const bool multiline = count(quote, '"', 3) == 3;
    out_.emit(quote + (multiline ? 3 : 1), PieceKind::token, TokenType::string);
    pos_ = quote + (multiline ? 3 : 1);
    frames_.push_back(Frame{true, multiline, hashes, 0});
    endsExpression_ = false;
  }

  void stringBody() {
    const Frame frame = frames_.back();
    std::size_t i = pos_;
    while (i < code_.size()) {
      const char c = code_[i];
      if (c == '\\') {
        const std::size_t afterHashes = i + 1 + count(i + 1, '#', frame.hashes);
        if (afterHashes - (i + 1) < frame.hashes) {  // not an escape in this raw string
          i = afterHashes;
        } else if (has(afterHashes, '(')) {
          out_.emit(afterHashes + 1, PieceKind::token, TokenType::string);
          pos_ = afterHashes + 1;
          frames_.push_back(Frame{false, frame.multiline, 0, 0});
          endsExpression_ = false;
          return;
        } else if (afterHashes < code_.size() &&
                   (frame.multiline || !isLineBreak(code_[afterHashes]))) {
          i = afterHashes + 1;  // the escaped character cannot close the string
        } else {
          i = afterHashes;
        }
      } else if (c == '"') {
        const std::size_t quotes = frame.multiline ? 3 : 1;
        if (count(i, '"', quotes) == quotes &&
            count(i + quotes, '#', frame.hashes) == frame.hashes) {
          frames_.pop_back();
          return token(i + quotes + frame.hashes, TokenType::string, true);
        }
        ++i;
      } else if (!frame.multiline && isLineBreak(c)) {
        break;  // unterminated: the string ends with its line
      } else {
        ++i;
      }
    }
    out_.emit(i, PieceKind::token, TokenType::string);
    pos_ = i;
    if (i < code_.size()) frames_.pop_back();
    endsExpression_ = true;
  }

  bool inInterpolation() const { return !frames_.empty() && !frames_.back().isString; }

  void closeParenthesis(std::size_t start) {
    if (inInterpolation()) {
      if (frames_.back().parens == 0) {
        frames_.pop_back();  // back into the string
        out_.emit(start + 1, PieceKind::token, TokenType::string);
        pos_ = start + 1;
        return;
      }
      --frames_.back().parens;
    }
    plain(start + 1, true);
  }

  // `#"raw"#`, `#if`, `#selector`, or plain number signs.
  void hash(std::size_t start) {
    const std::size_t hashes = count(start, '#');
    const std::size_t after = start + hashes;
    if (has(after, '"')) return openString(start, hashes);
    if (hashes == 1 && is(at(after), kIdentifierStart)) {
      return token(skipIdentifier(after), TokenType::preprocessing, true);
    }
    plain(after, false);
  }

  std::size_t digits(std::size_t i, std::uint8_t mask) const {
    while (i < code_.size() && (is(code_[i], mask) || code_[i] == '_')) ++i;
    return i;
  }
  std::size_t exponent(std::size_t i, char lower) const {
    if (i >= code_.size() || (code_[i] | 0x20) != lower) return i;
    std::size_t j = i + 1;
    if (has(j, '+') || has(j, '-')) ++j;
    return is(at(j), kDigit) ? digits(j, kDigit) : i;
  }

  // 42, 1_000, 3.14e-2, 0xFF_FF, 0x1.8p3, 0o17, 0b1010.
  std::size_t number(std::size_t start) const {
    const char base = at(start + 1);
    if (code_[start] == '0' && (base == 'x' || base == 'X')) {
      std::size_t i = digits(start + 2, kHexDigit);
      if (has(i, '.') && is(at(i + 1), kHexDigit)) i = digits(i + 1, kHexDigit);
      return exponent(i, 'p');
    }
    if (code_[start] == '0' && (base == 'o' || base == 'b')) {
      std::size_t i = start + 2;
      const char last = base == 'o' ? '7' : '1';
      while (i < code_.size() && ((code_[i] >= '0' && code_[i] <= last) || code_[i] == '_')) ++i;
      return i;
    }
    std::size_t i = digits(start, kDigit);
    if (has(i, '.') && is(at(i + 1), kDigit)) i = digits(i + 1, kDigit);
    return exponent(i, 'e');
  }

  void identifier(std::size_t start) {
    const std::size_t end = skipIdentifier(start);
    const std::string_view word = code_.substr(start, end - start);
    if (isSwiftKeyword(word)) return token(end, TokenType::keyword, isSwiftValueKeyword(word));
    if (isUpper(word[0])) return token(end, TokenType::type, true);
    if (has(end, '(')) return token(end, TokenType::call, true);
    plain(end, true);
  }

  // `name` lets a keyword serve as a name.
  void backquoted(std::size_t start) {
    const std::size_t end = skipIdentifier(start + 1);
    if (end == start + 1 || !has(end, '`')) return plain(start + 1, false);
    if (has(end + 1, '(')) return token(end + 1, TokenType::call, true);
    plain(end + 1, true);
  }

  // `a.b` reaches a member of an expression; `.b` after an operator, keyword or delimiter is
  // an implicit member; `..<` and `...` are operators.
  void dot(std::size_t start) {
    if (has(start + 1, '.')) {
      std::size_t end = start + count(start, '.');
      if (has(end, '<')) ++end;
      return plain(end, false);
    }
    const bool member = endsExpression_;
    plain(start + 1, false);
    if (!is(at(start + 1), kIdentifierStart)) return;
    const std::size_t end = skipIdentifier(start + 1);
    const std::string_view word = code_.substr(start + 1, end - start - 1);
    if (word == "self") return token(end, TokenType::keyword, true);
    if (!member) return token(end, TokenType::dotAccess, true);
    if (isUpper(word[0])) return token(end, TokenType::type, true);
    if (has(end, '(')) return token(end, TokenType::call, true);
    token(end, TokenType::property, true);
  }

  // A run of operator characters; a `?`, `!` or `>` right after an expression is postfix
  // (`a?.b`, `a!.b`, `Array<Int>.self`) and keeps the expression going.
  void operators(std::size_t start) {
    std::size_t end = start;
    while (end < code_.size() && is(code_[end], kOperator) &&
           !(code_[end] == '/' && (has(end + 1, '/') || has(end + 1, '*')))) {
      ++end;
    }
    const bool postfix = endsExpression_ && lastEnd_ == start && end == start + 1 &&
                         (code_[start] == '?' || code_[start] == '!' || code_[start] == '>');
    plain(end, postfix);
  }

  std::string_view code_;
  Emitter out_;
  std::size_t pos_ = 0;
  std::vector<Frame> frames_;
  std::size_t lastEnd_ = 0;  // end of the last piece that was not whitespace or comment
  bool endsExpression_ = false;
};

}  // namespace

void SwiftGrammar::tokenize(std::string_view code, PieceSink& sink) const {
  Scanner(code, sink).run();
}

}  // namespace glow
