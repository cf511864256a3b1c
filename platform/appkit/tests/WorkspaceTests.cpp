#include <gtest/gtest.h>

#include "appkit/FakeWorkspace.h"

namespace appkit {
namespace {

TEST(Workspace, OnlyWebPagesAndMailAddressesAreOpenable) {
  const std::pair<std::string_view, bool> cases[] = {
      {"https://platform.openai.com/account/usage", true},
      {"HTTP://example.com", true},
      {"http://example.com/a?b=c#d", true},
      {"mailto:someone@example.com", true},
      {"https://", false},
      {"https:///etc/passwd", false},
      {"http:example.com", false},
      {"mailto:", false},
      {"file:///etc/passwd", false},
      {"javascript:alert(1)", false},
      {"/usr/bin/xterm", false},
      {"", false},
      {"https://example.com/a b", false},
      {"https://example.com/\n--help", false},
      {"https://example.com/\x7f", false},
      {"https://例え.jp/パス", true},
  };
  for (auto [url, openable] : cases) EXPECT_EQ(isOpenableURL(url), openable) << url;
}

TEST(FakeWorkspace, RemembersActivatesAndOpens) {
  FakeWorkspace workspace;
  EXPECT_EQ(workspace.rememberFrontmostApplication(), std::nullopt);

  const RunningApplication editor{4242, 0x600001};
  workspace.setFrontmostApplication(editor);
  EXPECT_EQ(workspace.rememberFrontmostApplication(), editor);
  workspace.setFrontmostApplication(RunningApplication{7, 0x700001});
  EXPECT_EQ(workspace.rememberedApplication(), editor);

  EXPECT_TRUE(workspace.activate(editor));
  EXPECT_EQ(workspace.frontmostApplication(), editor);
  workspace.setActivationSucceeds(false);
  EXPECT_FALSE(workspace.activate(RunningApplication{7, 0x700001}));
  EXPECT_EQ(workspace.frontmostApplication(), editor);
  EXPECT_EQ(workspace.activated().size(), 2u);

  EXPECT_TRUE(workspace.openURL("https://example.com"));
  EXPECT_FALSE(workspace.openURL("file:///etc/passwd"));
  EXPECT_EQ(workspace.openedURLs(), std::vector<std::string>{"https://example.com"});
}

}  // namespace
}  // namespace appkit
