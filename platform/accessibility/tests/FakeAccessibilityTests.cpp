#include <gtest/gtest.h>

#include "accessibility/FakeAccessibility.h"
#include "accessibility/FakeKeyEventPoster.h"

namespace accessibility {
namespace {

TEST(AXError, NamesEveryCode) {
  const std::pair<AXError, std::string> cases[] = {
      {kAXErrorSuccess, "kAXErrorSuccess"},
      {kAXErrorFailure, "kAXErrorFailure"},
      {kAXErrorCannotComplete, "kAXErrorCannotComplete"},
      {kAXErrorAttributeUnsupported, "kAXErrorAttributeUnsupported"},
      {kAXErrorAPIDisabled, "kAXErrorAPIDisabled"},
      {kAXErrorNoValue, "kAXErrorNoValue"},
      {kAXErrorNotEnoughPrecision, "kAXErrorNotEnoughPrecision"},
      {static_cast<AXError>(-1), "AXError(-1)"},
  };
  for (const auto& [code, name] : cases) EXPECT_EQ(errorName(code), name);
  EXPECT_EQ(kAXErrorNoValue, -25212);
  EXPECT_EQ(kAXErrorAPIDisabled, -25211);
}

TEST(FakeAccessibility, AnswersWhatTheTestSetUp) {
  FakeAccessibility ax;
  EXPECT_TRUE(ax.isProcessTrusted());
  ax.setTrusted(false);
  EXPECT_FALSE(ax.isProcessTrusted());

  EXPECT_EQ(ax.focusedElement().error(), kAXErrorNoValue);
  ax.setFocusedElementError(kAXErrorCannotComplete);
  EXPECT_EQ(ax.focusedElement().error(), kAXErrorCannotComplete);

  const Element field = ax.addElement(4242);
  ax.setFocusedElement(field);
  ASSERT_TRUE(ax.focusedElement().ok());
  EXPECT_EQ(ax.focusedElement().value(), field);

  ax.setAttribute(field, attribute::kSelectedText, std::string("Grüße"));
  ax.setAttribute(field, attribute::kSelectedTextRange, TextRange{10, 5});
  ax.setAttributeError(field, attribute::kValue, kAXErrorNoValue);
  EXPECT_EQ(ax.copyAttributeValue(field, attribute::kSelectedText).value(), Value("Grüße"));
  EXPECT_EQ(ax.copyAttributeValue(field, attribute::kSelectedTextRange).value(),
            Value(TextRange{10, 5}));
  EXPECT_EQ(ax.copyAttributeValue(field, attribute::kValue).error(), kAXErrorNoValue);
  EXPECT_EQ(ax.copyAttributeValue(field, attribute::kSelectedTextMarkerRange).error(),
            kAXErrorAttributeUnsupported);
  EXPECT_EQ(ax.copyAttributeValue(Element::uiElement(99), attribute::kValue).error(),
            kAXErrorInvalidUIElement);

  // Attributes belong to their element only.
  const Element other = ax.addElement(4242);
  EXPECT_FALSE(ax.copyAttributeValue(other, attribute::kSelectedText).ok());
  EXPECT_FALSE(ax.copyAttributeValue(ax.applicationElement(4242), attribute::kSelectedText).ok());
}

TEST(FakeAccessibility, RecordsMarkerReadsAndWrites) {
  FakeAccessibility ax;
  const Element field = ax.addElement();
  const TextMarkerRange range{"opaque"};
  ax.setAttribute(field, attribute::kSelectedTextMarkerRange, range);
  ax.setParameterizedAttribute(field, attribute::kAttributedStringForTextMarkerRange,
                               AttributedString{"from markers"});
  auto text = ax.copyParameterizedAttributeValue(
      field, attribute::kAttributedStringForTextMarkerRange, range);
  ASSERT_TRUE(text.ok());
  EXPECT_EQ(std::get<AttributedString>(text.value()).string, "from markers");
  EXPECT_EQ(ax.parameterizedReads(),
            (std::vector<FakeAccessibility::ParameterizedRead>{
                {field, std::string(attribute::kAttributedStringForTextMarkerRange), range}}));

  const Element app = ax.applicationElement(4242);
  EXPECT_EQ(ax.setAttributeValue(app, attribute::kEnhancedUserInterface, true), kAXErrorSuccess);
  EXPECT_EQ(ax.setAttributeValue(field, attribute::kValue, std::string("new")), kAXErrorSuccess);
  EXPECT_EQ(ax.copyAttributeValue(field, attribute::kValue).value(), Value("new"));
  ax.setWriteError(app, attribute::kManualAccessibility, kAXErrorAttributeUnsupported);
  EXPECT_EQ(ax.setAttributeValue(app, attribute::kManualAccessibility, true),
            kAXErrorAttributeUnsupported);
  EXPECT_EQ(ax.writes(), (std::vector<FakeAccessibility::Write>{
                             {app, std::string(attribute::kEnhancedUserInterface), true},
                             {field, std::string(attribute::kValue), std::string("new")}}));
}

TEST(FakeKeyEventPoster, RecordsStrokesAndLetsTheTestAct) {
  FakeKeyEventPoster keys;
  int copies = 0;
  keys.setOnPost([&](const KeyEvent& e) {
    if (e.keyCode == kVirtualKeyC && e.keyDown && e.flags == kEventFlagMaskCommand) ++copies;
  });
  EXPECT_TRUE(keys.postKeyStroke(kVirtualKeyC, kEventFlagMaskCommand));
  EXPECT_EQ(keys.posted(), (std::vector<KeyEvent>{{kVirtualKeyC, true, kEventFlagMaskCommand},
                                                  {kVirtualKeyC, false, kEventFlagMaskCommand}}));
  EXPECT_EQ(copies, 1);

  keys.setFails(true);
  EXPECT_FALSE(keys.postKeyStroke(kVirtualKeyV, kEventFlagMaskCommand));
  EXPECT_EQ(keys.posted().size(), 2u);
}

}  // namespace
}  // namespace accessibility
