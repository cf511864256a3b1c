#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "FakePanelWindow.h"
#include "FakeWidgetFactory.h"
#include "core/DataModel.h"
#include "foundation/DispatchQueue.h"
#include "foundation/UserDefaults.h"
#include "panel/FloatingPanel.h"
#include "testsupport/ChatServiceReplies.h"
#include "testsupport/LoopbackServer.h"
#include "testsupport/ScopedHome.h"
#include "ui/FakeTextMeasurer.h"

namespace panel::testing {

using testsupport::deltaEvent;
using testsupport::kChatPath;

// Presets of both kinds: 0 non-context with two parts to fill in, 1 and 2 context, 3 plain
// non-context.
inline const char* kPresetsJSON = R"([
  {"emoji":"📧","name":"Write an email","prompt":"Write [a] about [b].","promptType":"nonContext"},
  {"emoji":"📝","name":"Summarize","prompt":"Summarize: {selected text}","promptType":"context"},
  {"emoji":"🌐","name":"Translate","prompt":"Translate: {selected text}","promptType":"context"},
  {"emoji":"💭","name":"Brainstorm","prompt":"Ideas please","promptType":"nonContext"}
])";

// A model and its panel content in a private HOME, the chat service on a loopback server, text
// measured with fixed metrics.
class PanelTest : public ::testing::Test {
 protected:
  PanelTest() {
    std::filesystem::create_directories(bundleFolder());
    std::ofstream(bundleFolder() / "prompt.json") << kPresetsJSON;
  }
  ~PanelTest() override {
    panel.reset();
    content.reset();
    model.reset();
    settle();
  }

  // Serves streamed answers made of `pieces`, and a title for the title request.
  void serveAnswer(const std::vector<std::string>& pieces) {
    std::string body;
    for (const auto& piece : pieces) body += deltaEvent(piece);
    body += "data: [DONE]\n\n";
    server.replyWith(kChatPath, [body](const testsupport::RecordedRequest& request) {
      if (nlohmann::json::parse(request.body).at("stream") == true)
        return testsupport::LoopbackServer::Reply{200, body, "text/event-stream", {}};
      return testsupport::LoopbackServer::Reply{
          200, testsupport::chatReply("🧪 Topic"), "application/json", {}};
    });
  }

  std::filesystem::path bundleFolder() const { return home.path() / "bundle"; }
  foundation::UserDefaults& defaults() { return foundation::UserDefaults::standard(); }

  std::shared_ptr<core::DataModel> makeModel(core::CaptureServices captureServices = {}) {
    bundle =
        std::make_unique<core::Bundle>(std::vector<std::filesystem::path>{bundleFolder()}, false);
    core::DataModelEnvironment environment;
    environment.captureServices = std::move(captureServices);
    environment.chatServiceBaseURL = server.url("");
    environment.bundle = bundle.get();
    model = std::make_shared<core::DataModel>(std::move(environment));
    return model;
  }
  FloatingViewOptions options() {
    FloatingViewOptions o;
    o.measurer = std::make_shared<ui::FakeTextMeasurer>();
    o.widgetFactory = widgetFactory;
    return o;
  }
  // The content alone, sized like the panel.
  FloatingViewController& makeContent(FloatingViewOptions o) {
    if (!model) makeModel();
    content = std::make_unique<FloatingViewController>(model, std::move(o));
    content->setSize({612, 500});
    settle();
    return *content;
  }
  FloatingViewController& makeContent() { return makeContent(options()); }
  // The whole panel in a fake window.
  FloatingPanel& makePanel(FloatingViewOptions o) {
    if (!model) makeModel();
    window = std::make_shared<FakePanelWindow>();
    panel = createFloatingPanel(model, window, std::move(o));
    // The fake window hosts nothing: the content's own host stands in for it.
    panel->content().setSize(window->currentFrame.size());
    settle();
    return *panel;
  }
  FloatingPanel& makePanel() { return makePanel(options()); }

  FloatingViewController& view() { return panel ? panel->content() : *content; }

  // Runs the main queue a little, then a frame.
  void settle(std::chrono::milliseconds time = std::chrono::milliseconds(20)) {
    foundation::MainRunLoop::runFor(time);
    if (panel || content) view().update();
  }
  // Runs the main queue until nothing is left in it, delayed blocks included, with a frame
  // after: work counted from here on is the next step's alone, however slowly the earlier
  // steps ran.
  void settleFully() {
    auto& queue = foundation::DispatchQueue::main();
    for (int round = 0; round < 100; ++round) {
      ASSERT_TRUE(foundation::MainRunLoop::runUntil([&] { return !queue.timeUntilNextDeadline(); },
                                                    std::chrono::seconds(10)))
          << "the main queue keeps getting work";
      if (panel || content) view().update();
      if (!queue.timeUntilNextDeadline()) return;
    }
    FAIL() << "each frame leaves more work on the main queue";
  }
  bool waitFor(const std::function<bool()>& condition) {
    const bool met = foundation::MainRunLoop::runUntil(condition, std::chrono::seconds(10));
    if (panel || content) view().update();
    return met;
  }

  ui::Rect frame(std::string_view id) {
    auto f = view().host().frameOf(id);
    EXPECT_TRUE(f.has_value()) << "no view " << id << "\n" << view().host().dump();
    return f.value_or(ui::Rect{-1, -1, -1, -1});
  }
  bool has(std::string_view id) { return view().host().frameOf(id).has_value(); }
  void click(std::string_view id, int clicks = 1) {
    const ui::Rect r = frame(id);
    for (int c = 1; c <= clicks; ++c) {
      const auto event = ui::PointerEvent::at({r.midX(), r.midY()}, c);
      view().pointerPressed(event);
      view().pointerReleased(event);
    }
  }
  void hover(std::string_view id) {
    const ui::Rect r = frame(id);
    view().pointerMoved(ui::PointerEvent::at({r.midX(), r.midY()}));
  }
  // Ctrl+<character>, Ctrl+Shift+<character>.
  bool ctrl(std::string character, bool shift = false) {
    return view().keyPressed(
        ui::KeyEvent{ui::Key::character, character, {.shift = shift, .control = true}, false});
  }
  bool press(ui::Key key, ui::Modifiers modifiers = {}) {
    return view().keyPressed(ui::KeyEvent::of(key, modifiers));
  }

  // The input line's editor, as the backend's widget sees it.
  ui::TextEditorWidget* inputLine() {
    return widgetFactory->description<ui::TextEditorWidget>(ui::Identity(kInputLineFocus));
  }
  // Types into the input line as its widget would report it.
  void type(const std::string& text) {
    auto* line = inputLine();
    ASSERT_NE(line, nullptr);
    line->text.set(line->text.get() + text);
    settle(std::chrono::milliseconds(1));
  }

  testsupport::ScopedHome home;
  testsupport::LoopbackServer server;
  std::unique_ptr<core::Bundle> bundle;
  std::shared_ptr<core::DataModel> model;
  std::unique_ptr<FloatingViewController> content;
  std::shared_ptr<FakePanelWindow> window;
  std::unique_ptr<FloatingPanel> panel;
  std::shared_ptr<FakeWidgetFactory> widgetFactory = std::make_shared<FakeWidgetFactory>();
};

}  // namespace panel::testing
