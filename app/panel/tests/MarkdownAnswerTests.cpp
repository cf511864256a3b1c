#include <gtest/gtest.h>

#include <algorithm>

#include "PanelTestSupport.h"
#include "glow/Theme.h"
#include "markdown/ImageLoader.h"

namespace panel::testing {
namespace {

class MarkdownAnswerView : public PanelTest {};

// The text runs drawn for `text`.
std::vector<ui::DisplayItem::TextRun> runsOf(const ui::DisplayList& list, std::string_view text) {
  std::vector<ui::DisplayItem::TextRun> found;
  for (auto& run : list.itemsOf<ui::DisplayItem::TextRun>())
    if (run.text.find(text) != std::string::npos) found.push_back(run);
  return found;
}

TEST_F(MarkdownAnswerView, FinishedAnswerIsMarkdownAtThePanelSizeWithColouredCode) {
  makeContent();
  const std::string answer =
      "Some **bold** words.\n\n| Name | Age |\n|---|---|\n| Ann | 31 |\n\n"
      "```python\nlet total = 42\n```\n";
  model->messages = {core::ChatMessage::make("user", "Hi"),
                     core::ChatMessage::make("assistant", answer)};
  model->isLoading = true;
  model->responseValue = answer;
  settle();
  // Streaming: the raw text, table pipes and fences included.
  EXPECT_FALSE(runsOf(view().host().render(), "| Name | Age |").empty());

  model->isLoading = false;
  settle();
  const auto list = view().host().render();
  EXPECT_TRUE(runsOf(list, "| Name").empty());
  auto words = runsOf(list, "words");
  ASSERT_FALSE(words.empty());
  EXPECT_EQ(words.front().font.size, 16);
  EXPECT_FALSE(runsOf(list, "Ann").empty());
  // The code keeps its characters; its keyword and number take the theme's colours.
  auto keyword = runsOf(list, "let");
  auto number = runsOf(list, "42");
  ASSERT_FALSE(keyword.empty());
  ASSERT_FALSE(number.empty());
  EXPECT_NE(keyword.front().color, number.front().color);

  ctrl("=");
  words = runsOf(view().host().render(), "words");
  ASSERT_FALSE(words.empty());
  EXPECT_EQ(words.front().font.size, 18);
}

// Answers' images, decoded by a stand-in for the toolkit: "IMG" is a 40 x 20 picture.
class AnswerImages : public PanelTest {
 protected:
  AnswerImages() {
    loader().removeAllCachedImages();
    loader().setDecoder([](std::string_view bytes, std::size_t) -> std::optional<ui::Image> {
      if (bytes != "IMG") return std::nullopt;
      return ui::Image::bitmap(ui::PixelBuffer::make(40, 20, std::vector<std::uint8_t>(3200)));
    });
    server.reply("/leak.png", {200, "IMG", "image/png", {}});
    server.reply("/inline.png", {200, "IMG", "image/png", {}});
  }
  ~AnswerImages() override {
    loader().setDecoder({});
    loader().removeAllCachedImages();
  }
  static markdown::DefaultImageLoader& loader() { return markdown::DefaultImageLoader::shared(); }

  void showAnswer(const std::string& answer) {
    model->messages = {core::ChatMessage::make("user", "Hi"),
                       core::ChatMessage::make("assistant", answer)};
    model->responseValue = answer;
    model->isLoading = false;
    settle();
  }
  std::size_t imagesDrawn() {
    return view().host().render().itemsOf<ui::DisplayItem::DrawImage>().size();
  }
};

TEST_F(AnswerImages, NetworkImagesWaitForAClickThenLoadOnce) {
  makeContent();
  const std::string leak = server.url("/leak.png?d=secret");
  showAnswer("Here is the logo:\n\n![logo](" + leak + ")\n\nSee ![dot](" +
             server.url("/inline.png") + ") inline.\n");
  EXPECT_TRUE(server.requests().empty());
  const std::string placeholder = "answer.image " + leak;
  ASSERT_TRUE(has(placeholder));
  const auto list = view().host().render();
  EXPECT_FALSE(runsOf(list, "logo").empty());
  EXPECT_FALSE(runsOf(list, "127.0.0.1 \u00B7 Click to load").empty());
  EXPECT_EQ(imagesDrawn(), 0u);

  // Rebuilding the answer (a new font size) asks for nothing either.
  ctrl("=");
  settle();
  EXPECT_TRUE(server.requests().empty());

  click(placeholder);
  ASSERT_TRUE(waitFor([&] { return imagesDrawn() == 1; }));
  EXPECT_FALSE(has(placeholder));
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].path, "/leak.png");
  const auto drawn = view().host().render().itemsOf<ui::DisplayItem::DrawImage>();
  EXPECT_EQ(drawn.front().frame.width, 40);

  // Shown again later, the loaded image comes from the cache with no new request; the image
  // in running text was never fetched.
  showAnswer("Again:\n\n![logo](" + leak + ")\n");
  ASSERT_TRUE(waitFor([&] { return imagesDrawn() == 1; }));
  EXPECT_EQ(server.requests().size(), 1u);
  EXPECT_TRUE(server.requests("/inline.png").empty());
}

TEST_F(AnswerImages, AFailedLoadSaysSoAndImagesOffTheNetworkShowNothing) {
  makeContent();
  server.reply("/broken.png", {200, "<html>not an image</html>", "text/html", {}});
  const std::string broken = server.url("/broken.png");
  showAnswer("![](" + broken + ")\n\n![local](file:///etc/hostname)\n");
  ASSERT_TRUE(has("answer.image " + broken));
  EXPECT_FALSE(runsOf(view().host().render(), "Image").empty());  // no alternative text
  EXPECT_FALSE(has("answer.image file:///etc/hostname"));
  click("answer.image " + broken);
  ASSERT_TRUE(waitFor([&] {
    return !runsOf(view().host().render(), "Could not load the image from 127.0.0.1").empty();
  }));
  EXPECT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(imagesDrawn(), 0u);
}

}  // namespace
}  // namespace panel::testing
