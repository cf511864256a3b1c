#include "ui/qt/QtFonts.h"

#include <fontconfig/fontconfig.h>

#include <QFontDatabase>
#include <QStringList>
#include <cmath>

namespace ui::qt {
namespace {

// The family fontconfig picks for a generic name ("sans-serif"), as the desktop configured it.
QString fontconfigFamily(const char* generic) {
  QString out;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(generic));
  if (!pattern) return out;
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
    FcChar8* family = nullptr;
    if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch)
      out = QString::fromUtf8(reinterpret_cast<const char*>(family));
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return out;
}

QString roundedFamily(const QString& fallback) {
  static const char* const kKnown[] = {"Nunito", "Varela Round", "M PLUS Rounded 1c", "Comfortaa",
                                       "Quicksand"};
  const QStringList installed = QFontDatabase::families();
  for (const char* name : kKnown)
    if (installed.contains(QString::fromUtf8(name), Qt::CaseInsensitive)) return name;
  for (const QString& f : installed)
    if (f.contains(QStringLiteral("Rounded"), Qt::CaseInsensitive)) return f;
  return fallback;
}

QFont::Weight qtWeight(Font::Weight w) {
  switch (w) {
    case Font::Weight::ultraLight:
      return QFont::ExtraLight;
    case Font::Weight::thin:
      return QFont::Thin;
    case Font::Weight::light:
      return QFont::Light;
    case Font::Weight::regular:
      return QFont::Normal;
    case Font::Weight::medium:
      return QFont::Medium;
    case Font::Weight::semibold:
      return QFont::DemiBold;
    case Font::Weight::bold:
      return QFont::Bold;
    case Font::Weight::heavy:
      return QFont::ExtraBold;
    case Font::Weight::black:
      return QFont::Black;
  }
  return QFont::Normal;
}

}  // namespace

QtFonts& QtFonts::shared() {
  static QtFonts fonts;
  return fonts;
}

QtFonts::QtFonts() {
  // Tests pin the DejaVu faces so that metrics are the same on every machine.
  const bool pinned = qEnvironmentVariable("QUILL_PIN_FONTS") == QStringLiteral("DejaVu");
  auto pick = [&](const char* generic, const char* dejavu) {
    QString f = pinned ? QString::fromUtf8(dejavu) : fontconfigFamily(generic);
    return f.isEmpty() ? QString::fromUtf8(dejavu) : f;
  };
  families_[int(Font::Design::standard)] = pick("sans-serif", "DejaVu Sans");
  families_[int(Font::Design::serif)] = pick("serif", "DejaVu Serif");
  families_[int(Font::Design::monospaced)] = pick("monospace", "DejaVu Sans Mono");
  families_[int(Font::Design::rounded)] =
      pinned ? families_[0] : roundedFamily(families_[int(Font::Design::standard)]);
}

QString QtFonts::family(Font::Design design) {
  return families_[int(design)];
}

QFont QtFonts::font(const ResolvedFont& f) {
  QFont q;
  if (f.isSystem()) {
    q.setFamily(family(f.design));
  } else {
    // A named family, with the design's family behind it when it is not installed.
    q.setFamilies({QString::fromStdString(f.family), family(f.design)});
  }
  double size = std::isfinite(f.size) ? f.size : Font::kDefaultSize;
  size = std::clamp(size, ResolvedFont::kMinimumSize, ResolvedFont::kMaximumSize);
  // Layer points are device-independent pixels; QFont's points follow the logical DPI.
  q.setPixelSize(1);  // resets a point size inherited from the application font
  q.setPointSizeF(size * 72.0 / 96.0);
  q.setWeight(qtWeight(f.weight));
  q.setItalic(f.italic);
  // Qt draws lower-case letters as small capitals; capitals stay full size (no feature for
  // them before 6.6).
  if (f.lowercaseSmallCaps) q.setCapitalization(QFont::SmallCaps);
  if (f.design == Font::Design::monospaced) q.setStyleHint(QFont::Monospace);
  q.setHintingPreference(QFont::PreferNoHinting);
  q.setKerning(true);
  return q;
}

}  // namespace ui::qt
