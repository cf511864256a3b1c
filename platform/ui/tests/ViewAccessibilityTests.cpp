#include <gtest/gtest.h>

#include "ViewTestSupport.h"
#include "ui/LazyVStack.h"

namespace ui {
namespace {
using testing::Host;
using testing::T;

// The first element of the tree (depth first) whose name is `name`.
AccessibleElement find(const AccessibleElement& from, const std::string& name) {
  for (const auto& c : from.children()) {
    if (c.describe().name == name) return c;
    if (auto inside = find(c, name); inside.isValid()) return inside;
  }
  return {};
}

TEST(ViewAccessibility, ControlsTextsAndImagesHaveRolesAndNamesWhileLayoutShowsThrough) {
  bool on = false;
  int pressed = 0;
  auto window = [&] {
    return VStack(
        HAlign::leading, 4,
        {HStack({T("Model"), Spacer()}),
         Button([&] { ++pressed; }, HStack({SystemImage("gear"), T("Open Prompt Editor")}))
             .padding(2)
             .focusable("open"),
         Toggle(Binding<bool>([&] { return on; }, [&](bool v) { on = v; }),
                T("Use an alternative method")),
         SystemImage("clock"),  // decoration: no name, not read
         SystemImage("photo").accessibilityLabel("A cat"),
         Button([] {}, T("x")).accessibilityLabel("Clear"), T("hidden").opacity(0),
         T("also hidden").accessibilityHidden()});
  };
  Host h(window());
  EXPECT_EQ(h.host.accessibilityDump(),
            "label \"Model\"\n"
            "button \"Open Prompt Editor\"\n"
            "check box \"Use an alternative method\" unchecked\n"
            "image \"A cat\"\n"
            "button \"Clear\"\n");

  // Pressing and toggling through the elements works the controls.
  const auto root = h.host.accessibleRoot();
  const auto button = find(root, "Open Prompt Editor");
  ASSERT_TRUE(button.isValid());
  EXPECT_TRUE(button.describe().actionable);
  EXPECT_TRUE(button.describe().focusable);
  EXPECT_TRUE(button.perform());
  EXPECT_EQ(pressed, 1);
  EXPECT_TRUE(find(root, "Use an alternative method").perform());
  EXPECT_TRUE(on);
  h.host.setRoot(window());
  h.host.update();
  EXPECT_EQ(find(h.host.accessibleRoot(), "Use an alternative method").describe().checked,
            std::optional<bool>(true));
  EXPECT_FALSE(find(root, "Model").perform());
  EXPECT_EQ(find(root, "Model").parent(), root);
}

TEST(ViewAccessibility, ListsHeadingsAndLinksAndTheWholeTextOfAMessage) {
  AttributeContainer link;
  link.link = foundation::URL::parse("https://example.org/docs");
  AttributedString paragraph("Read ");
  paragraph.append("the docs", link);
  paragraph.append(" first.");
  std::vector<std::string> opened;
  auto message = std::make_shared<const std::string>("# Title\nRead the docs first.\nAnd more");
  Host h(VStack({
                    VStack({HStack({T("⌨️"), T("Use typed command")})
                                .accessibilityRole(AccessibilityRole::listItem),
                            HStack({T("😀"), T("Summarize")})
                                .accessibilityRole(AccessibilityRole::listItem)
                                .accessibilitySelected(true)})
                        .accessibilityRole(AccessibilityRole::list),
                    VStack({T("Title").accessibilityHeading(1),
                            AnyView(Text::attributed(paragraph)).font(Font::system(10))})
                        .accessibilityText([message] { return *message; }),
                })
             .environment<OpenURLKey>(OpenURLAction(
                 [&](const foundation::URL& url) { opened.push_back(url.absoluteString()); })),
         {400, {}});
  EXPECT_EQ(h.host.accessibilityDump(),
            "list\n"
            "  list item \"⌨️ Use typed command\"\n"
            "    label \"⌨️\"\n"
            "    label \"Use typed command\"\n"
            "  list item \"😀 Summarize\" selected\n"
            "    label \"😀\"\n"
            "    label \"Summarize\"\n"
            "text text=\"# Title\nRead the docs first.\nAnd more\"\n"
            "  heading \"Title\" level=1\n"
            "  label \"Read the docs first.\"\n"
            "    link \"the docs\"\n");
  const auto text = h.host.accessibleRoot().children()[1];
  EXPECT_TRUE(text.describe().hasText);
  EXPECT_EQ(text.text(), *message);  // not what is drawn of it
  const auto docs = find(text, "the docs");
  ASSERT_TRUE(docs.isValid());
  EXPECT_EQ(docs.parent(), find(text, "Read the docs first."));
  const auto frame = docs.frame();
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->x - find(text, "Read the docs first.").frame()->x, 30);  // after "Read "
  EXPECT_EQ(frame->width, 48);
  EXPECT_TRUE(docs.perform());
  EXPECT_EQ(opened, std::vector<std::string>{"https://example.org/docs"});
}

TEST(ViewAccessibility, TheFocusedElementAndTheFocusHandler) {
  int moves = 0;
  Host h(VStack({Button([] {}, T("One")).focusable("one"),
                 Toggle(Binding<bool>::constant(true), T("Two")).focusable("two")}));
  h.host.setAccessibilityFocusHandler([&] { ++moves; });
  EXPECT_FALSE(h.host.focusedAccessibleElement().isValid());
  h.host.focusNext();
  EXPECT_EQ(moves, 1);
  EXPECT_EQ(h.host.focusedAccessibleElement().describe().name, "One");
  EXPECT_TRUE(h.host.focusedAccessibleElement().describe().focused);
  // Focusing through the element moves the layer's focus.
  EXPECT_TRUE(find(h.host.accessibleRoot(), "Two").focus());
  EXPECT_EQ(moves, 2);
  EXPECT_EQ(h.host.focusedId(), std::optional<Identity>(Identity("two")));
  EXPECT_EQ(h.host.accessibilityDump(), "button \"One\"\ncheck box \"Two\" checked focused\n");
}

TEST(ViewAccessibility, ElementsGoWithTheirViewsAndALazyStackListsOnlyWhatItMade) {
  auto window = [](bool shown) {
    return ScrollView(LazyVStack(
                          HAlign::leading, 0, 1000,
                          [](std::size_t i) { return Identity(std::int64_t(i)); },
                          [](std::size_t i) { return T("Chat " + std::to_string(i)); }))
        .accessibilityRole(AccessibilityRole::list)
        .overlay(If(shown, Button([] {}, T("Stop"))));
  };
  Host h(window(true), {200, 120});
  const auto list = h.host.accessibleRoot().children().front();
  const auto rows = list.children();
  EXPECT_GT(rows.size(), 5u);
  EXPECT_LT(rows.size(), 50u);  // ten rows fit, and a few around them; not a thousand
  const auto stop = find(h.host.accessibleRoot(), "Stop");
  ASSERT_TRUE(stop.isValid());
  h.host.setRoot(window(false));
  h.host.update();
  EXPECT_FALSE(stop.isValid());
  EXPECT_FALSE(stop.perform());
  EXPECT_TRUE(list.isValid());
}

}  // namespace
}  // namespace ui
