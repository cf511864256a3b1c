#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "shell/OnboardingView.h"
#include "ui/FakeTextMeasurer.h"
#include "ui/SymbolRegistry.h"
#include "ui/ViewHost.h"

namespace shell {
namespace {

struct OnboardingHost {
  explicit OnboardingHost(OnboardingActions actions)
      : host(OnboardingView(std::move(actions)), std::make_shared<ui::FakeTextMeasurer>()) {
    host.setProposal(ui::ProposedSize::of({720, 640}));
    host.update();
  }
  bool has(const std::string& id) const { return host.frameOf(id).has_value(); }
  ui::Point centreOf(const std::string& id) const {
    const ui::Rect r = host.frameOf(id).value();
    return {r.midX(), r.midY()};
  }
  void pressContinue() {
    host.pointerPressed(ui::PointerEvent::at(centreOf("onboarding.continue")));
  }
  void releaseContinue() {
    host.pointerReleased(ui::PointerEvent::at(centreOf("onboarding.continue")));
    host.update();
  }
  void clickContinue() {
    pressContinue();
    releaseContinue();
  }
  std::string label(const std::string& id) const {
    return host.accessibilityLabelOf(id).value_or("<none>");
  }
  // Text runs drawn, with their colours.
  std::vector<ui::DisplayItem::TextRun> runs() const {
    return host.render().itemsOf<ui::DisplayItem::TextRun>();
  }
  std::optional<ui::Rgba> colourOf(const std::string& text) const {
    for (const auto& run : runs())
      if (run.text == text) return run.color;
    return std::nullopt;
  }
  ui::ViewHost host;
};

TEST(Onboarding, FirstPageShowsItsHeadingAndThreeRows) {
  OnboardingHost onboarding({});
  const auto indigo = ui::Color::indigo().resolve(ui::ColorScheme::light);
  EXPECT_NE(onboarding.colourOf("Welcome to"), indigo);
  EXPECT_EQ(onboarding.colourOf(kOnboardingProductLine), indigo);

  const HotKeys::Shortcut altSpace(HotKeys::Key::space,
                                   HotKeys::ModifierFlags(HotKeys::ModifierFlags::option));
  const auto rows = OnboardingView::firstPageRows({altSpace, true, true});
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].title, "Any App");
  EXPECT_EQ(rows[0].subTitle,
            "The only AI app you need. Use ChatGPT in any app.\nHit Alt + Space to open "
            "Quillcast (You can set this in the settings).");
  EXPECT_EQ(rows[1].subTitle,
            "Quillcast places a high value on your privacy.\nWhen this app is running, and you "
            "are using your own API key,\nit will only connect to the OpenAI server.");
  EXPECT_EQ(rows[2].subTitle, "All of your chat history is saved locally.");
  const std::vector<std::pair<std::string, std::string>> shown{
      {"Any App", "app.badge.checkmark"}, {"Privacy", "hand.raised"}, {"History", "clock"}};
  for (const auto& [title, symbol] : shown) {
    EXPECT_TRUE(onboarding.has("onboarding.row." + title)) << title;
    EXPECT_EQ(onboarding.label("onboarding.symbol." + title + ".0"), symbol);
    EXPECT_NE(ui::SymbolRegistry::shared().find(symbol), nullptr) << symbol << " is drawn";
    EXPECT_EQ(onboarding.host.accessibilityDump().find(symbol), std::string::npos)
        << symbol << " is not read out: the row's texts say what it means";
  }
  EXPECT_FALSE(onboarding.has("onboarding.row.Copy All"));
}

TEST(Onboarding, TheFirstPageTellsTheWayInThisDesktopOffers) {
  const HotKeys::Shortcut ctrlShiftK(
      HotKeys::Key::k,
      HotKeys::ModifierFlags(HotKeys::ModifierFlags::control | HotKeys::ModifierFlags::shift));
  const std::string intro = "The only AI app you need. Use ChatGPT in any app.\n";
  auto said = [&](const PanelAccess& access) {
    return OnboardingView::firstPageRows(access)[0].subTitle;
  };
  EXPECT_EQ(said({ctrlShiftK, true, false}),
            intro + "Hit Ctrl + Shift + K to open Quillcast (You can set this in the settings).");
  EXPECT_EQ(said({ctrlShiftK, false, false}),
            intro +
                "Ctrl + Shift + K is taken by another program: start Quillcast again to open "
                "it (You can set another key in the settings).");
  EXPECT_EQ(said({ctrlShiftK, false, true}),
            intro +
                "Ctrl + Shift + K is taken by another program: open Quillcast from its tray "
                "menu or by starting it again (You can set another key in the settings).");
  EXPECT_EQ(said({std::nullopt, false, false}),
            intro +
                "No hot key is set: start Quillcast again to open it (You can set one in the "
                "settings).");
  // The plus key itself stays one key.
  EXPECT_EQ(spokenKeys(HotKeys::Shortcut(HotKeys::Key::keypadPlus,
                                         HotKeys::ModifierFlags(HotKeys::ModifierFlags::control))),
            "Ctrl + +");

  // The open page follows the ways in as they change.
  auto access = std::make_shared<PanelAccessModel>();
  access->update({ctrlShiftK, true, true});
  ui::ViewHost host(OnboardingView({}, 1, access), std::make_shared<ui::FakeTextMeasurer>());
  host.setProposal(ui::ProposedSize::of({1080, 640}));
  host.update();
  auto drawn = [&] {
    std::string text;
    for (const auto& run : host.render().itemsOf<ui::DisplayItem::TextRun>()) text += run.text;
    return text;
  };
  EXPECT_NE(drawn().find("Hit Ctrl + Shift + K to open"), std::string::npos) << drawn();
  access->update({ctrlShiftK, false, false});
  host.update();
  EXPECT_NE(drawn().find("start Quillcast again"), std::string::npos) << drawn();
}

TEST(Onboarding, ContinueTurnsToTheKeysThenClosesItsOwnWindowAndOpensSettings) {
  std::vector<std::string> calls;
  OnboardingActions actions{[&] { calls.push_back("close onboarding"); },
                            [&] { calls.push_back("open settings"); }};
  OnboardingHost onboarding(actions);
  onboarding.clickContinue();
  EXPECT_TRUE(calls.empty());

  // Page 2: the product line now plain, "Shortcuts" indigo, four key rows.
  const auto indigo = ui::Color::indigo().resolve(ui::ColorScheme::light);
  EXPECT_EQ(onboarding.colourOf("Shortcuts"), indigo);
  EXPECT_NE(onboarding.colourOf(kOnboardingProductLine), indigo);
  EXPECT_FALSE(onboarding.colourOf("Welcome to"));
  const auto rows = OnboardingView::keyPageRows();
  ASSERT_EQ(rows.size(), 4u);
  const std::vector<std::vector<std::string>> keys{
      {"command.square.fill", "shift.fill", "c.square.fill"},
      {"command.square.fill", "r.square.fill"},
      {"command.square.fill", "m.square.fill"},
      {"command.square.fill", "h.square.fill"}};
  // A screen reader says the keys' names as printed on them.
  const std::vector<std::vector<std::string>> spoken{
      {"Ctrl", "Shift", "C"}, {"Ctrl", "R"}, {"Ctrl", "M"}, {"Ctrl", "H"}};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].shownImageNames(), keys[i]) << rows[i].title;
    EXPECT_TRUE(onboarding.has("onboarding.row." + rows[i].title));
    for (std::size_t k = 0; k < keys[i].size(); ++k)
      EXPECT_EQ(onboarding.label("onboarding.symbol." + rows[i].title + "." + std::to_string(k)),
                spoken[i][k]);
    EXPECT_FALSE(
        onboarding.has("onboarding.symbol." + rows[i].title + "." + std::to_string(keys[i].size())))
        << "\"car\" shows nothing";
    for (const auto& key : keys[i]) {
      if (key != kCommandKeySymbol) {
        EXPECT_NE(ui::SymbolRegistry::shared().find(key), nullptr);
      }
    }
  }
  EXPECT_EQ(rows[1].title, "Resend the Last Prompt");
  EXPECT_EQ(rows[3].subTitle, "Revise your old chat history, or continue from where you left off.");
  // The command key reads "Ctrl" on Linux.
  EXPECT_TRUE(onboarding.colourOf("Ctrl"));

  onboarding.clickContinue();
  EXPECT_EQ(calls, (std::vector<std::string>{"close onboarding", "open settings"}));
}

TEST(Onboarding, TheKeyPageTextsStartAtOneEdgeHoweverManyKeysARowHas) {
  OnboardingHost onboarding({});
  onboarding.clickContinue();
  const auto rows = OnboardingView::keyPageRows();
  const double edge = onboarding.host.frameOf("onboarding.texts." + rows[0].title).value().x;
  for (const auto& row : rows) {
    EXPECT_DOUBLE_EQ(onboarding.host.frameOf("onboarding.texts." + row.title).value().x, edge)
        << row.title;
    // The keys keep their own size; the column only adds room after them.
    const ui::Rect last = onboarding.host
                              .frameOf("onboarding.symbol." + row.title + "." +
                                       std::to_string(row.shownImageNames().size() - 1))
                              .value();
    EXPECT_LT(last.maxX(), edge) << row.title;
  }
  // Three keys make the widest row: its texts sit right after them.
  const ui::Rect thirdKey =
      onboarding.host.frameOf("onboarding.symbol." + rows[0].title + ".2").value();
  EXPECT_NEAR(edge - thirdKey.maxX(), 8, 1e-9) << "the row's spacing, as before";
}

TEST(Onboarding, AReopenedWindowStartsAtTheFirstPage) {
  OnboardingHost first({});
  first.clickContinue();
  ASSERT_TRUE(first.colourOf("Shortcuts"));
  OnboardingHost reopened({});
  EXPECT_TRUE(reopened.colourOf("Welcome to"));
  EXPECT_FALSE(reopened.colourOf("Shortcuts"));
}

TEST(Onboarding, ContinueShrinksWhilePressedAndKeepsItsWhiteLabel) {
  RoundedRectangleButtonStyle style;
  EXPECT_EQ(style.scale(true), 0.95);
  EXPECT_EQ(style.scale(false), 1.0);

  OnboardingHost onboarding({});
  EXPECT_EQ(onboarding.colourOf("Continue"), ui::Color::white().resolve(ui::ColorScheme::light));
  auto fills = [&] { return onboarding.host.render().itemsOf<ui::DisplayItem::FillPath>(); };
  auto buttonFill = [&]() -> ui::Rect {
    const auto indigo = ui::Color::indigo().resolve(ui::ColorScheme::light);
    for (const auto& fill : fills())
      if (fill.color == indigo && fill.path.boundingRect().width > 100)
        return fill.path.boundingRect();
    ADD_FAILURE() << "no indigo button";
    return {};
  };
  const ui::Rect released = buttonFill();
  onboarding.pressContinue();
  onboarding.host.update();
  EXPECT_NE(onboarding.host.dump().find("rounded pressed"), std::string::npos);
  const ui::Rect pressed = buttonFill();
  EXPECT_NEAR(pressed.width, released.width * 0.95, 0.01);
  EXPECT_NEAR(pressed.midX(), released.midX(), 0.01);
  EXPECT_NEAR(pressed.midY(), released.midY(), 0.01);
  onboarding.releaseContinue();
  EXPECT_EQ(onboarding.host.dump().find("rounded pressed"), std::string::npos);
}

}  // namespace
}  // namespace shell
