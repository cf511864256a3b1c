#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "markdown/Markdown.h"
#include "markdown/MarkdownEnvironment.h"
#include "ui/FakeTextMeasurer.h"
#include "ui/SystemEnvironment.h"
#include "ui/ViewHost.h"

namespace markdown::testing {

// A view laid out at a width with fixed text metrics (13-point text: characters 7.8 wide,
// lines 15.6 high).
struct Rendered {
  explicit Rendered(ui::AnyView view, double width = 600,
                    ui::Environment environment = ui::Environment())
      : host(std::move(view), std::make_shared<ui::FakeTextMeasurer>()) {
    host.setEnvironment(std::move(environment));
    host.setProposal({width, std::nullopt});
    host.update();
  }
  ui::Rect frame(std::string_view id) const {
    auto f = host.frameOf(id);
    EXPECT_TRUE(f.has_value()) << "no view " << id << "\n" << host.dump();
    return f.value_or(ui::Rect{-1, -1, -1, -1});
  }
  bool shows(std::string_view kind) const { return host.dump().find(kind) != std::string::npos; }
  void click(std::string_view id) {
    const ui::Rect r = frame(id);
    host.pointerPressed(ui::PointerEvent::at({r.midX(), r.midY()}));
    host.pointerReleased(ui::PointerEvent::at({r.midX(), r.midY()}));
    host.update();
  }
  ui::ViewHost host;
};

}  // namespace markdown::testing

namespace markdown::testing {

// The basic theme with every block slot marking its label "slot:<name>".
inline Theme taggedTheme() {
  auto tag = [](std::string name) {
    return [name](const BlockConfiguration::Label& label) {
      return label.body.accessibilityIdentifier("slot:" + name);
    };
  };
  Theme theme = Theme::basic()
                    .paragraph(tag("paragraph"))
                    .blockquote(tag("blockquote"))
                    .codeBlock(tag("codeBlock"))
                    .image(tag("image"))
                    .list(tag("list"))
                    .listItem(tag("listItem"))
                    .table(tag("table"));
  for (int level = 1; level <= 6; ++level)
    theme.setHeading(level, Theme::Style(tag("heading" + std::to_string(level))));
  return theme;
}

}  // namespace markdown::testing
