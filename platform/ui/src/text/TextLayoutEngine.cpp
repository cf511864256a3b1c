#include "ui/TextLayoutEngine.h"

#include <algorithm>
#include <cmath>

#include "foundation/UTF8.h"

namespace ui {

namespace {

// Sums of advances carry rounding error; a word that fits exactly must still fit.
constexpr double kTolerance = 1e-9;

enum class TokenKind { word, space, lineBreak, image };

struct Token {
  TokenKind kind = TokenKind::word;
  std::size_t run = 0;
  std::size_t begin = 0, end = 0;
  double width = 0;
  double ascent = 0, descent = 0;  // after the run's baseline offset
};

struct RunStyle {
  ResolvedFont font;
  FontMetrics metrics;
  double spacing = 0;  // kern + tracking, after every character
  double baselineOffset = 0;
};

struct PendingLine {
  std::size_t begin = 0, end = 0;
  double contentWidth = 0;
  double ascent = 0, descent = 0;
  std::vector<Token> pieces;
  std::size_t contentPieces = 0;  // pieces before the hanging spaces
};

bool isSpace(char c) {
  return c == ' ' || c == '\t';
}

// Bytes of the line break at `i`, or 0.
std::size_t lineBreakLength(std::string_view s, std::size_t i) {
  if (s[i] == '\n') return 1;
  if (s[i] == '\r') return i + 1 < s.size() && s[i + 1] == '\n' ? 2 : 1;
  if (s.substr(i, 3) == "\xE2\x80\xA8" || s.substr(i, 3) == "\xE2\x80\xA9") return 3;
  return 0;
}

class Layouter {
 public:
  Layouter(const Text& text, const TextLayoutDefaults& defaults, std::optional<double> width,
           const GlyphMetrics& metrics)
      : defaults_(defaults), metrics_(metrics), plain_(text.plainText()), runs_(text.runs()) {
    if (width && std::isfinite(*width)) limit_ = std::max(0.0, *width);
  }

  TextLayout run() {
    styleRuns();
    tokenize();
    breakLines();
    return place();
  }

 private:
  void styleRuns() {
    for (const Text::Run& run : runs_) {
      RunStyle style;
      style.font = run.attributes.font.value_or(defaults_.font).resolved();
      style.spacing = run.attributes.kern.value_or(0) + run.attributes.tracking.value_or(0);
      style.baselineOffset = run.attributes.baselineOffset.value_or(0);
      if (run.image) {
        const Size size = run.image->naturalSize(style.font.size, defaults_.imageScale);
        style.metrics = {size.height, 0};
      } else {
        style.metrics = metrics_.metrics(style.font);
      }
      styles_.push_back(style);
    }
  }

  Token makeToken(TokenKind kind, std::size_t run, std::size_t begin, std::size_t end) const {
    const RunStyle& style = styles_[run];
    Token t{kind,
            run,
            begin,
            end,
            0,
            style.metrics.ascent + style.baselineOffset,
            style.metrics.descent - style.baselineOffset};
    if (kind == TokenKind::image) {
      t.width = runs_[run].image->naturalSize(style.font.size, defaults_.imageScale).width;
    } else if (kind != TokenKind::lineBreak) {
      t.width = measure(run, begin, end);
    }
    return t;
  }

  double measure(std::size_t run, std::size_t begin, std::size_t end) const {
    const std::string_view piece = std::string_view(plain_).substr(begin, end - begin);
    const RunStyle& style = styles_[run];
    return metrics_.advance(piece, style.font) +
           style.spacing * static_cast<double>(foundation::utf8::characterCount(piece));
  }

  void tokenize() {
    for (std::size_t r = 0; r < runs_.size(); ++r) {
      const Text::Run& run = runs_[r];
      if (run.image) {
        tokens_.push_back(makeToken(TokenKind::image, r, run.begin, run.end));
        continue;
      }
      std::size_t i = run.begin;
      while (i < run.end) {
        const std::string_view s = std::string_view(plain_).substr(0, run.end);
        if (const std::size_t n = lineBreakLength(s, i)) {
          tokens_.push_back(makeToken(TokenKind::lineBreak, r, i, i + n));
          i += n;
          continue;
        }
        const bool space = isSpace(s[i]);
        std::size_t j = i;
        while (j < run.end && lineBreakLength(s, j) == 0 && isSpace(s[j]) == space) {
          j += foundation::utf8::decode(s, j).length;
        }
        tokens_.push_back(makeToken(space ? TokenKind::space : TokenKind::word, r, i, j));
        i = j;
      }
    }
  }

  bool fits(double width) const { return !limit_ || line_.width + width <= *limit_ + kTolerance; }

  void put(const Token& t) {
    Token* last = line_.pieces.empty() ? nullptr : &line_.pieces.back();
    if (last && last->kind == t.kind && t.kind != TokenKind::image && last->run == t.run &&
        last->end == t.begin) {
      last->end = t.end;
      last->width += t.width;
    } else {
      line_.pieces.push_back(t);
    }
    line_.width += t.width;
    if (t.kind != TokenKind::space) {
      line_.contentWidth = line_.width;
      line_.end = t.end;
      line_.contentPieces = line_.pieces.size();
    }
  }

  void finishLine(const Token* lineBreak, std::size_t nextBegin) {
    PendingLine done;
    done.begin = line_.begin;
    done.end = std::max(line_.begin, line_.end);
    done.contentWidth = line_.contentWidth;
    done.contentPieces = line_.contentPieces;
    if (line_.pieces.empty()) {
      const Token* model = lineBreak ? lineBreak : lastBreak_;
      if (model) {
        done.ascent = std::max(0.0, model->ascent);
        done.descent = std::max(0.0, model->descent);
      }
    }
    for (const Token& t : line_.pieces) {
      done.ascent = std::max(done.ascent, t.ascent);
      done.descent = std::max(done.descent, t.descent);
    }
    done.pieces = std::move(line_.pieces);
    lines_.push_back(std::move(done));
    line_ = Line{};
    line_.begin = nextBegin;
    line_.end = nextBegin;
  }

  // A word wider than the whole line goes character by character.
  void putBroken(std::size_t first, std::size_t last) {
    for (std::size_t k = first; k < last; ++k) {
      const Token& word = tokens_[k];
      for (std::size_t i = word.begin; i < word.end;) {
        const std::size_t n =
            foundation::utf8::decode(std::string_view(plain_).substr(0, word.end), i).length;
        Token c = word;
        c.begin = i;
        c.end = i + n;
        c.width = measure(word.run, i, i + n);
        if (!line_.pieces.empty() && !fits(c.width)) finishLine(nullptr, i);
        put(c);
        i += n;
      }
    }
  }

  void breakLines() {
    bool endsWithBreak = false;
    for (std::size_t i = 0; i < tokens_.size();) {
      const Token& t = tokens_[i];
      endsWithBreak = false;
      if (t.kind == TokenKind::lineBreak) {
        finishLine(&t, t.end);
        lastBreak_ = &t;
        endsWithBreak = true;
        ++i;
        continue;
      }
      if (t.kind == TokenKind::space) {
        put(t);  // spaces never wrap; at a line's end they hang
        ++i;
        continue;
      }
      std::size_t end = i + 1;
      if (t.kind == TokenKind::word) {
        while (end < tokens_.size() && tokens_[end].kind == TokenKind::word) ++end;
      }
      double width = 0;
      for (std::size_t k = i; k < end; ++k) width += tokens_[k].width;
      if (!fits(width) && !line_.pieces.empty()) finishLine(nullptr, t.begin);
      if (fits(width) || t.kind == TokenKind::image) {
        for (std::size_t k = i; k < end; ++k) put(tokens_[k]);
      } else {
        putBroken(i, end);
      }
      i = end;
    }
    if (!line_.pieces.empty() || endsWithBreak) finishLine(nullptr, plain_.size());
  }

  TextLayout place() const {
    TextLayout layout;
    if (lines_.empty()) return layout;
    double widest = 0;
    for (const PendingLine& line : lines_) widest = std::max(widest, line.contentWidth);
    layout.size.width = limit_ ? std::min(*limit_, widest) : widest;

    double y = 0;
    for (std::size_t index = 0; index < lines_.size(); ++index) {
      const PendingLine& pending = lines_[index];
      if (index > 0) y += defaults_.lineSpacing;
      const double height = pending.ascent + pending.descent;
      double x = 0;
      switch (defaults_.alignment) {
        case TextAlignment::leading:
          break;
        case TextAlignment::center:
          x = (layout.size.width - pending.contentWidth) / 2;
          break;
        case TextAlignment::trailing:
          x = layout.size.width - pending.contentWidth;
          break;
      }
      TextLayout::Line line;
      line.begin = pending.begin;
      line.end = pending.end;
      line.frame = {x, y, pending.contentWidth, height};
      line.ascent = pending.ascent;
      line.descent = pending.descent;
      line.baseline = y + pending.ascent;
      layout.lines.push_back(line);

      for (std::size_t k = 0; k < pending.contentPieces; ++k) {
        const Token& piece = pending.pieces[k];
        const RunStyle& style = styles_[piece.run];
        TextLayout::Fragment fragment;
        fragment.run = piece.run;
        fragment.line = index;
        fragment.begin = piece.begin;
        fragment.end = piece.end;
        fragment.baseline = line.baseline - style.baselineOffset;
        fragment.font = style.font;
        if (piece.kind == TokenKind::image) {
          fragment.frame = {x, fragment.baseline - style.metrics.ascent, piece.width,
                            style.metrics.ascent};
        } else {
          fragment.frame = {x, y, piece.width, height};
        }
        auto& fragments = layout.fragments;
        if (!fragments.empty() && piece.kind != TokenKind::image &&
            fragments.back().line == index && fragments.back().run == piece.run &&
            fragments.back().end == piece.begin && !runs_[piece.run].image) {
          fragments.back().end = piece.end;
          fragments.back().frame.width += piece.width;
        } else {
          fragments.push_back(fragment);
        }
        x += piece.width;
      }
      y += height;
    }
    layout.size.height = y;
    layout.firstBaseline = layout.lines.front().baseline;
    layout.lastBaseline = layout.lines.back().baseline;
    layout.firstLineHeight = layout.lines.front().frame.height;
    return layout;
  }

  struct Line {
    std::size_t begin = 0, end = 0;
    double width = 0, contentWidth = 0;
    std::vector<Token> pieces;
    std::size_t contentPieces = 0;
  };

  const TextLayoutDefaults& defaults_;
  const GlyphMetrics& metrics_;
  const std::string plain_;
  const std::vector<Text::Run> runs_;
  std::optional<double> limit_;
  std::vector<RunStyle> styles_;
  std::vector<Token> tokens_;
  std::vector<PendingLine> lines_;
  Line line_;
  const Token* lastBreak_ = nullptr;
};

}  // namespace

TextLayout layOutText(const Text& text, const TextLayoutDefaults& defaults,
                      std::optional<double> width, const GlyphMetrics& metrics) {
  return Layouter(text, defaults, width, metrics).run();
}

std::vector<Rect> TextLayout::rectsOfRun(std::size_t run) const {
  std::vector<Rect> rects;
  for (const Fragment& f : fragments) {
    if (f.run == run) rects.push_back(f.frame);
  }
  return rects;
}

std::optional<std::size_t> TextLayout::runAt(Point p) const {
  for (const Fragment& f : fragments) {
    if (f.frame.contains(p)) return f.run;
  }
  return std::nullopt;
}

}  // namespace ui
