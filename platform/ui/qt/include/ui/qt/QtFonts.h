#pragma once

#include <QFont>
#include <QString>

#include "ui/Font.h"

namespace ui::qt {

// Turns our font descriptions into Qt fonts. The design families resolve through fontconfig
// once: standard → "sans-serif", serif → "serif", monospaced → "monospace", rounded → an
// installed rounded family, else the sans one. Sizes are in points of the view layer (one
// point a device-independent pixel). Small capitals use QFont's capitalisation; tabular
// digits need OpenType features that QFont gains only in Qt 6.6, so they are ignored here.
class QtFonts {
 public:
  static QtFonts& shared();  // main thread only

  QFont font(const ResolvedFont& font);
  QString family(Font::Design design);

 private:
  QtFonts();
  QString families_[4];
};

}  // namespace ui::qt
