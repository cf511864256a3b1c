#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "ChatModelFixture.h"
#include "accessibility/FakeAccessibility.h"
#include "accessibility/FakeKeyEventPoster.h"
#include "appkit/FakePasteboard.h"
#include "appkit/FakeWorkspace.h"
#include "foundation/DispatchQueue.h"
#include "foundation/MainThread.h"

namespace core {
namespace {

namespace attribute = accessibility::attribute;
using accessibility::AttributedString;
using accessibility::Element;
using accessibility::KeyEvent;
using accessibility::TextMarkerRange;
using appkit::PasteboardEntry;

constexpr const char* kFound = "Context found press esc to remove context";
const std::vector<int> kContextPresets = {1, 2, 4};
const std::vector<int> kNonContextPresets = {0, 3};

// An application that does not answer on the accessibility bus until it is let go.
class HangingAccessibility : public accessibility::FakeAccessibility {
 public:
  accessibility::Result<accessibility::Value> copyAttributeValue(
      const Element& element, std::string_view attribute) override {
    if (attribute == attribute::kFocusedUIElement) {
      std::unique_lock lock(mutex_);
      answered_.wait_for(lock, std::chrono::seconds(5), [this] { return letGo_; });
    }
    return FakeAccessibility::copyAttributeValue(element, attribute);
  }
  void letGo() {
    const std::lock_guard lock(mutex_);
    letGo_ = true;
    answered_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable answered_;
  bool letGo_ = false;
};

// Tells whether trust was asked off the main thread, where the desktop's buses are reached.
class TrustAskedAccessibility : public accessibility::FakeAccessibility {
 public:
  bool isProcessTrusted() override {
    if (!foundation::isMainThread()) {
      askedOffMain = true;
      foundation::DispatchQueue::main().async([] {});  // wakes the test's run loop
    }
    return FakeAccessibility::isProcessTrusted();
  }
  std::atomic<bool> askedOffMain = false;
};

class SelectedTextCaptureTest : public testing::ChatModelTest {
 protected:
  void SetUp() override {
    workspace->setFrontmostApplication(appkit::RunningApplication{42, 7});
    field = ax->addElement(42);
    ax->setFocusedElement(field);
    makeModel({.captureServices = {ax, pasteboard, workspace, keys}});
  }

  void capture() {
    model->openHistory = true;
    model->captureSelectedText();
    EXPECT_FALSE(model->openHistory);
    EXPECT_EQ(model->status.get(), "");
    ASSERT_TRUE(waitFor([&] { return model->capturesInFlight() == 0; }));
    EXPECT_FALSE(model->openHistory);
  }
  void useCopy() { model->userDefaults().set("useCopyHack", true); }
  // The application in front answers the copy keystroke with `selection`, if any.
  void copyGives(std::optional<std::string> selection) {
    keys->setOnPost([this, selection](const KeyEvent& event) {
      if (selection && !event.keyDown) pasteboard->setString(*selection);
    });
  }

  std::shared_ptr<accessibility::FakeAccessibility> ax =
      std::make_shared<accessibility::FakeAccessibility>();
  std::shared_ptr<appkit::FakePasteboard> pasteboard = std::make_shared<appkit::FakePasteboard>();
  std::shared_ptr<appkit::FakeWorkspace> workspace = std::make_shared<appkit::FakeWorkspace>();
  std::shared_ptr<accessibility::FakeKeyEventPoster> keys =
      std::make_shared<accessibility::FakeKeyEventPoster>();
  Element field = Element::systemWide();
};

TEST_F(SelectedTextCaptureTest, TheSelectedTextBecomesTheContext) {
  ax->setAttribute(field, attribute::kSelectedText, std::string("Bonjour"));
  model->selectedIndex = 2;
  capture();
  EXPECT_EQ(model->status.get(), kFound);
  EXPECT_EQ(model->selectedValue.get(), "Bonjour");
  EXPECT_TRUE(model->isContext);
  EXPECT_EQ(model->filteredData.get(), kContextPresets);
  EXPECT_EQ(model->selectedIndex, -1);
  EXPECT_EQ(model->error.get(), "");
  EXPECT_EQ(model->captureTarget(), field);
  // The front application was asked to expose its text.
  const auto writes = ax->writes();
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0],
            (accessibility::FakeAccessibility::Write{
                Element::application(42), std::string(attribute::kEnhancedUserInterface), true}));
  EXPECT_EQ(writes[1].attribute, attribute::kManualAccessibility);
}

// The bus shows an application's focused element only while its window is active: the panel
// takes the keyboard once the selection was read, or after a bound when the application hangs.
TEST_F(SelectedTextCaptureTest, ThePanelShowsOnceTheSelectionWasReadOrAfterABound) {
  ax->setAttribute(field, attribute::kSelectedText, std::string("Bonjour"));
  std::vector<std::string> shown;
  model->captureSelectedText([&] { shown.push_back("panel over " + model->selectedValue.get()); });
  ASSERT_TRUE(waitFor([&] { return model->capturesInFlight() == 0 && !shown.empty(); }));
  EXPECT_EQ(shown, (std::vector<std::string>{"panel over Bonjour"}));

  const auto hanging = std::make_shared<HangingAccessibility>();
  const Element hangingField = hanging->addElement(42);
  hanging->setFocusedElement(hangingField);
  hanging->setAttribute(hangingField, attribute::kSelectedText, std::string("late"));
  makeModel({.captureServices = {hanging, pasteboard, workspace, keys}});
  bool panelShown = false;
  model->captureSelectedText([&] { panelShown = true; });
  ASSERT_TRUE(waitFor([&] { return panelShown; }));
  EXPECT_EQ(model->capturesInFlight(), 1);
  EXPECT_EQ(model->status.get(), "Reading the selection…");
  // A command typed meanwhile waits for the selection it is about.
  model->command = "Translate";
  model->selectedIndex = -1;
  model->sendPrompt();
  EXPECT_TRUE(model->messages->empty());
  hanging->letGo();
  ASSERT_TRUE(waitFor([&] { return model->capturesInFlight() == 0; }));
  EXPECT_EQ(model->selectedValue.get(), "late");
  EXPECT_EQ(model->status.get(), kFound);
  const auto& sent = model->messages.get();
  EXPECT_TRUE(std::any_of(sent.begin(), sent.end(), [](const ChatMessage& message) {
    return message.role == "user" && message.content.find("late") != std::string::npos;
  })) << "the command went without the selection";
}

// A preset picked while the capture runs goes once it has landed, if the list of the kind found
// still holds it; one of the other kind is not sent in its place.
TEST_F(SelectedTextCaptureTest, APresetPickedDuringTheCaptureGoesOnlyIfStillListed) {
  for (const int picked : {2, 0}) {
    const auto hanging = std::make_shared<HangingAccessibility>();
    const Element hangingField = hanging->addElement(42);
    hanging->setFocusedElement(hangingField);
    hanging->setAttribute(hangingField, attribute::kSelectedText, std::string("late"));
    makeModel({.captureServices = {hanging, pasteboard, workspace, keys}});
    model->captureSelectedText();
    model->selectedIndex = picked;
    model->sendPrompt();
    EXPECT_TRUE(model->messages->empty());
    hanging->letGo();
    ASSERT_TRUE(waitFor([&] { return model->capturesInFlight() == 0; }));
    const auto& sent = model->messages.get();
    const bool summarized = std::any_of(sent.begin(), sent.end(), [](const ChatMessage& message) {
      return message.content.find("Summarize: late") != std::string::npos;
    });
    EXPECT_EQ(summarized, picked == 2) << "picked " << picked;
    if (picked == 0) {
      EXPECT_TRUE(sent.empty());
    }
  }
}

// Readying the capture at start reaches the desktop off the main thread, reads nothing, sends
// no copy keystroke and changes nothing the panel shows; a capture afterwards reads as usual.
TEST_F(SelectedTextCaptureTest, PreparingReadsNothingAndTheNextCaptureReadsAsBefore) {
  const auto asked = std::make_shared<TrustAskedAccessibility>();
  const Element askedField = asked->addElement(42);
  asked->setFocusedElement(askedField);
  asked->setAttribute(askedField, attribute::kSelectedText, std::string("Bonjour"));
  makeModel({.captureServices = {asked, pasteboard, workspace, keys}});
  useCopy();
  copyGives("copied");
  model->prepareCapture();
  ASSERT_TRUE(waitFor([&] { return asked->askedOffMain.load(); }));
  EXPECT_TRUE(keys->posted().empty());
  EXPECT_TRUE(asked->writes().empty());
  EXPECT_EQ(model->capturesInFlight(), 0);
  EXPECT_EQ(model->selectedValue.get(), "");
  EXPECT_EQ(model->status.get(), "");
  EXPECT_FALSE(pasteboard->string().has_value());

  model->userDefaults().set("useCopyHack", false);
  capture();
  EXPECT_EQ(model->selectedValue.get(), "Bonjour");
  EXPECT_EQ(model->captureTarget(), askedField);
}

TEST_F(SelectedTextCaptureTest, AnEmptyOrNonTextSelectionIsNoSelection) {
  for (const accessibility::Value& value :
       {accessibility::Value(std::string()), accessibility::Value(3.0)}) {
    model->selectedValue = "earlier";
    model->isContext = true;
    ax->setAttribute(field, attribute::kSelectedText, value);
    capture();
    EXPECT_EQ(model->status.get(), "No selection");
    EXPECT_EQ(model->selectedValue.get(), "");
    EXPECT_FALSE(model->isContext);
    EXPECT_EQ(model->filteredData.get(), kNonContextPresets);
  }
}

TEST_F(SelectedTextCaptureTest, AnUnreadableSelectionTriesTheTextMarkers) {
  ax->setAttributeError(field, attribute::kSelectedText, accessibility::kAXErrorCannotComplete);
  model->selectedValue = "earlier";
  model->isContext = true;
  capture();
  EXPECT_EQ(model->status.get(), "No focus found");
  EXPECT_EQ(model->selectedValue.get(), "earlier");
  EXPECT_FALSE(model->isContext);
  EXPECT_EQ(model->filteredData.get(), kNonContextPresets);
  EXPECT_TRUE(ax->parameterizedReads().empty());  // no marker range: stops there

  ax->setAttribute(field, attribute::kSelectedTextMarkerRange, TextMarkerRange{"m1"});
  ax->setParameterizedAttribute(field, attribute::kAttributedStringForTextMarkerRange,
                                AttributedString{""});
  capture();
  EXPECT_EQ(model->status.get(), "No focus found");  // empty text by markers is nothing

  ax->setParameterizedAttribute(field, attribute::kAttributedStringForTextMarkerRange,
                                AttributedString{"from markers"});
  capture();
  EXPECT_EQ(model->status.get(), kFound);
  EXPECT_EQ(model->selectedValue.get(), "from markers");
  EXPECT_TRUE(model->isContext);
  EXPECT_EQ(model->filteredData.get(), kContextPresets);
  EXPECT_EQ(ax->parameterizedReads().back().parameter, accessibility::Value(TextMarkerRange{"m1"}));
}

TEST_F(SelectedTextCaptureTest, NoFocusedElementOnlyPrintsTheCode) {
  ax->setFocusedElementError(accessibility::kAXErrorNoValue);
  model->selectedValue = "earlier";
  model->isContext = true;
  model->filteredData = std::vector<int>{2};
  ::testing::internal::CaptureStdout();
  capture();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Error: kAXErrorNoValue\n");
  EXPECT_EQ(model->captureTarget(), std::nullopt);  // an accepted answer has nowhere to go
  EXPECT_EQ(model->status.get(), "");
  EXPECT_EQ(model->selectedValue.get(), "earlier");
  EXPECT_TRUE(model->isContext);
  EXPECT_EQ(model->filteredData.get(), (std::vector<int>{2}));
}

// Without the accessibility bus the message shows only when nothing could be read; a selection
// found on the other road takes it away.
TEST_F(SelectedTextCaptureTest, WithoutTrustTheMessageShowsOnlyWhenNothingWasFound) {
  ax->setTrusted(false);
  ax->setAttribute(field, attribute::kSelectedText, std::string(""));
  capture();
  const std::string message = model->error.get();
  EXPECT_TRUE(message.starts_with("You have not enabled accessibility access. Quillcast requires"));
  // It tells how to switch the desktop's accessibility on, and nothing of another system's menus.
  EXPECT_NE(message.find("toolkit-accessibility true"), std::string::npos);
  EXPECT_EQ(message.find("Mac"), std::string::npos);
  EXPECT_EQ(message.find("System Preferences"), std::string::npos);
  EXPECT_EQ(model->status.get(), "No selection");

  ax->setAttribute(field, attribute::kSelectedText, std::string("text"));
  capture();
  EXPECT_EQ(model->status.get(), kFound);
  EXPECT_EQ(model->error.get(), "");

  // Another error is not the capture's to take away.
  model->error = "The service failed";
  capture();
  EXPECT_EQ(model->error.get(), "The service failed");

  // With no application in front nothing is read at all.
  workspace->setFrontmostApplication(std::nullopt);
  model->selectedValue = "kept";
  model->error = "";
  capture();
  EXPECT_EQ(model->status.get(), "");
  EXPECT_EQ(model->selectedValue.get(), "kept");
  EXPECT_EQ(model->error.get(), message);
}

TEST_F(SelectedTextCaptureTest, WithoutThePiecesItNeedsNothingIsCapturedAndWhySaidOnce) {
  ax->setAttribute(field, attribute::kSelectedText, std::string("text"));
  pasteboard->setString("old");
  copyGives("picked");
  makeModel({.captureServices = {.pasteboard = pasteboard}});
  model->selectedValue = "kept";
  ::testing::internal::CaptureStderr();
  capture();
  capture();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "The selected text cannot be captured: no accessibility service, no workspace.\n");
  EXPECT_EQ(model->status.get(), "");
  EXPECT_EQ(model->selectedValue.get(), "kept");
  EXPECT_EQ(model->error.get(), "");
  EXPECT_TRUE(ax->writes().empty());

  useCopy();
  ::testing::internal::CaptureStderr();
  capture();
  capture();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "The selected text cannot be captured: no key event poster.\n");
  EXPECT_EQ(model->status.get(), "");
  EXPECT_EQ(model->selectedValue.get(), "kept");
  EXPECT_EQ(pasteboard->string(), "old");
  EXPECT_TRUE(keys->posted().empty());
}

TEST_F(SelectedTextCaptureTest, ByCopyTheSelectionIsTakenAndThePasteboardPutBackInFull) {
  useCopy();
  const std::vector<PasteboardEntry> before = {{"UTF8_STRING", "UTF8_STRING", 8, "old"},
                                               {"image/png", "image/png", 8, "PNG"}};
  pasteboard->setEntries(before);
  copyGives("picked");
  capture();
  EXPECT_EQ(model->selectedValue.get(), "picked");
  EXPECT_TRUE(model->isContext);
  EXPECT_EQ(model->status.get(), kFound);
  EXPECT_EQ(model->filteredData.get(), kContextPresets);
  EXPECT_EQ(pasteboard->entries(), before);
  EXPECT_EQ(keys->posted(), (std::vector<KeyEvent>{{8, true, 0x100000}, {8, false, 0x100000}}));
  EXPECT_TRUE(ax->writes().empty());  // the element operations are not used

  // A selection equal to what was on the pasteboard is still the selection.
  copyGives("old");
  model->selectedValue = "";
  capture();
  EXPECT_EQ(model->selectedValue.get(), "old");
  EXPECT_EQ(model->status.get(), kFound);

  // Nothing copied.
  copyGives(std::nullopt);
  capture();
  EXPECT_EQ(model->status.get(), "No selection");
  EXPECT_EQ(model->selectedValue.get(), "");
  EXPECT_FALSE(model->isContext);
  EXPECT_EQ(model->filteredData.get(), kNonContextPresets);
  EXPECT_EQ(pasteboard->entries(), before);
}

TEST_F(SelectedTextCaptureTest, ByCopyNothingIsWrittenBackWhereNothingWas) {
  useCopy();
  copyGives("picked");
  capture();
  EXPECT_EQ(model->selectedValue.get(), "picked");
  EXPECT_TRUE(pasteboard->entries().empty());
  EXPECT_EQ(pasteboard->string(), std::nullopt);
}

TEST_F(SelectedTextCaptureTest, ByCopyAFailedKeystrokeChangesNothing) {
  useCopy();
  pasteboard->setString("old");
  keys->setFails(true);
  model->selectedValue = "kept";
  capture();
  EXPECT_EQ(model->status.get(), "");
  EXPECT_EQ(model->selectedValue.get(), "kept");
  EXPECT_EQ(pasteboard->string(), "old");
}

TEST_F(SelectedTextCaptureTest, ByCopyCapturesInARowEachPutBackWhatTheyFound) {
  useCopy();
  pasteboard->setString("old");
  int presses = 0;
  keys->setOnPost([&](const KeyEvent& event) {
    if (!event.keyDown) pasteboard->setString(++presses == 1 ? "one" : "two");
  });
  model->captureSelectedText();
  model->captureSelectedText();
  EXPECT_EQ(model->capturesInFlight(), 2);
  ASSERT_TRUE(waitFor([&] { return model->capturesInFlight() == 0; }));
  EXPECT_EQ(model->selectedValue.get(), "two");
  EXPECT_EQ(pasteboard->string(), "old");
  EXPECT_EQ(keys->posted().size(), 4u);
}

TEST_F(SelectedTextCaptureTest, ByCopyTheKeystrokeGoesToTheWindowInFrontBeforeThePanelShows) {
  useCopy();
  std::vector<std::string> order;
  keys->setOnPost([&](const KeyEvent& event) {
    if (event.keyDown) return;
    order.push_back("keystroke");
    pasteboard->setString("picked");
  });
  model->captureSelectedText([&] { order.push_back("panel"); });
  ASSERT_TRUE(waitFor([&] { return model->capturesInFlight() == 0; }));
  EXPECT_EQ(order, (std::vector<std::string>{"keystroke", "panel"}));
  EXPECT_EQ(workspace->activated(),
            (std::vector<appkit::RunningApplication>{appkit::RunningApplication{42, 7}}));
  EXPECT_EQ(model->selectedValue.get(), "picked");
  EXPECT_EQ(model->captureTarget(), field);

  // The window in front cannot get the keyboard back: no keystroke goes anywhere else.
  workspace->setActivationSucceeds(false);
  order.clear();
  model->captureSelectedText([&] { order.push_back("panel"); });
  ASSERT_TRUE(waitFor([&] { return model->capturesInFlight() == 0; }));
  EXPECT_EQ(order, (std::vector<std::string>{"panel"}));
  EXPECT_EQ(keys->posted().size(), 2u);
}

TEST_F(SelectedTextCaptureTest, ByCopyATerminalGetsNoKeystrokeAndItsSelectionIsRead) {
  useCopy();
  ax->setAttribute(field, attribute::kRole, std::string(accessibility::role::kTerminal));
  ax->setAttribute(field, attribute::kSelectedText, std::string("ls -la"));
  copyGives("must not be copied");
  bool panelShown = false;
  model->captureSelectedText([&] { panelShown = true; });
  ASSERT_TRUE(waitFor([&] { return model->capturesInFlight() == 0; }));
  EXPECT_TRUE(panelShown);
  EXPECT_TRUE(keys->posted().empty());
  EXPECT_EQ(model->selectedValue.get(), "ls -la");
  EXPECT_EQ(model->status.get(), kFound);
  EXPECT_EQ(model->captureTarget(), field);
}

TEST_F(SelectedTextCaptureTest, ByCopyNothingCopiedEndsInNoSelectionWithoutAFixedWait) {
  useCopy();
  pasteboard->setString("old");
  // An application that answers late, but within the bound, is still heard.
  keys->setOnPost([&](const KeyEvent& event) {
    if (event.keyDown) return;
    std::thread([pb = pasteboard] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      pb->setString("late");
    }).detach();
  });
  capture();
  EXPECT_EQ(model->selectedValue.get(), "late");
  EXPECT_EQ(pasteboard->string(), "old");
}

}  // namespace
}  // namespace core
