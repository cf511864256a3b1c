#pragma once

#include <memory>
#include <optional>
#include <string>

#include "markdown/BlockMargin.h"
#include "markdown/FontProperties.h"
#include "markdown/TextStyleAttributesReader.h"
#include "ui/FakeTextMeasurer.h"
#include "ui/SystemEnvironment.h"
#include "ui/TextValue.h"
#include "ui/ViewHost.h"

namespace markdown::testing {

// What a view saw where it stood: the collected attributes and the line spacing in force.
struct Seen {
  ui::AttributeContainer attributes;
  double lineSpacing = 0;
  ui::Environment environment;
  bool evaluated = false;

  FontProperties font() const {
    const FontProperties* p = attributes.get<FontPropertiesAttribute>();
    return p ? *p : FontProperties{};
  }
  double size() const { return font().scaledSize(); }
  ui::Font::Weight weight() const { return font().weight; }
};

// A one-line text marked "probe" that records what it saw.
inline ui::AnyView probe(const std::shared_ptr<Seen>& seen, std::string text = "probe text") {
  return TextStyleAttributesReader([seen, text](const ui::AttributeContainer& attributes) {
    seen->attributes = attributes;
    return ui::EnvironmentReader([seen, text](const ui::Environment& env) {
      seen->lineSpacing = env.get<ui::LineSpacingKey>();
      seen->environment = env;
      seen->evaluated = true;
      return ui::AnyView(ui::Text::verbatim(text)).accessibilityIdentifier("probe");
    });
  });
}

// Lays a view out at a fixed width with fixed text metrics, recording the margins it reports.
class Layout {
 public:
  explicit Layout(ui::AnyView view, double width = 600,
                  ui::ColorScheme scheme = ui::ColorScheme::light)
      : margin_(std::make_shared<BlockMargin>()) {
    auto margin = margin_;
    host_ = std::make_unique<ui::ViewHost>(
        view.backgroundPreferenceValue<BlockMarginsPreference>([margin](const BlockMargin& m) {
              *margin = m;
              return ui::AnyView();
            })
            .accessibilityIdentifier("root"),
        std::make_shared<ui::FakeTextMeasurer>());
    host_->setEnvironment(ui::Environment().with<ui::ColorSchemeKey>(scheme));
    host_->setProposal({width, std::nullopt});
    host_->update(true);
  }

  const BlockMargin& margin() const { return *margin_; }
  ui::Rect frameOf(std::string_view id) const { return host_->frameOf(id).value_or(ui::Rect{}); }
  // Space around the probe inside the root.
  ui::EdgeInsets insetsOfProbe() const {
    const ui::Rect root = frameOf("root"), p = frameOf("probe");
    return {p.y - root.y, p.x - root.x, root.maxY() - p.maxY(), root.maxX() - p.maxX()};
  }
  ui::DisplayList render() const { return host_->render(); }
  ui::ViewHost& host() { return *host_; }

 private:
  std::shared_ptr<BlockMargin> margin_;
  std::unique_ptr<ui::ViewHost> host_;
};

}  // namespace markdown::testing
