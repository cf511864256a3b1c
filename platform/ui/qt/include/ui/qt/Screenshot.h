#pragma once

#include <QImage>
#include <functional>
#include <optional>
#include <string>

#include "ui/Color.h"
#include "ui/Environment.h"
#include "ui/Geometry.h"
#include "ui/View.h"
#include "ui/ViewHost.h"

namespace ui::qt {

struct ScreenshotOptions {
  ColorScheme scheme = ColorScheme::light;
  double scale = 1;                // device pixels a point
  std::optional<Rgba> background;  // the scheme's window colour when absent
  Environment environment;
  // Runs on the laid-out tree before the picture: clicks and keys that reach a state.
  std::function<void(ViewHost&)> prepare;
};

// Renders a view tree as a window would show it, hosted widgets included, into an image of
// `size` points (the tree's ideal size where a dimension is absent). Needs a QApplication;
// works offscreen (QT_QPA_PLATFORM=offscreen), so any test can look at what it built.
QImage renderView(AnyView root, ProposedSize size, const ScreenshotOptions& options = {});
bool renderViewToPNG(AnyView root, ProposedSize size, const std::string& path,
                     const ScreenshotOptions& options = {});

}  // namespace ui::qt
