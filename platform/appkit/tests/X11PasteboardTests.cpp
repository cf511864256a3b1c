#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <thread>

#include "appkit/X11Pasteboard.h"
#include "appkit/x11/SelectionReader.h"
#include "testsupport/X11TestClient.h"

namespace appkit {
namespace {

using namespace std::chrono_literals;

// Holds the X server for this test's connection alone; every other client's requests wait.
class ServerGrab {
 public:
  explicit ServerGrab(testx11::Connection& connection) : connection_(connection) {
    xcb_grab_server(connection_.get());
  }
  ~ServerGrab() { release(); }
  ServerGrab(const ServerGrab&) = delete;
  ServerGrab& operator=(const ServerGrab&) = delete;
  void release() {
    if (!held_) return;
    held_ = false;
    xcb_ungrab_server(connection_.get());
    connection_.sync();
  }

 private:
  testx11::Connection& connection_;
  bool held_ = true;
};

bool contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// For reading what the test's other programs offer: they answer at once on an idle machine, but
// a loaded one can keep them from running for longer than the pasteboard's own budget, and a
// read that gives up is a wrong result, not a slow one.
X11PasteboardOptions patient() {
  X11PasteboardOptions options;
  options.timeout = 10s;
  options.saveBudget = 60s;
  return options;
}

TEST(X11Pasteboard, OffersItsTextToOtherProgramsAndCountsChanges) {
  QUILL_REQUIRE_DISPLAY();
  testx11::Connection other;
  X11Pasteboard pasteboard;
  ASSERT_TRUE(pasteboard.ok());
  const auto start = pasteboard.changeCount();

  ASSERT_TRUE(pasteboard.setString("Grüße ✓"));
  EXPECT_GT(pasteboard.changeCount(), start);
  EXPECT_EQ(pasteboard.string(), "Grüße ✓");

  auto utf8 = other.readSelection("CLIPBOARD", "UTF8_STRING");
  ASSERT_TRUE(utf8);
  EXPECT_EQ(utf8->type, "UTF8_STRING");
  EXPECT_EQ(utf8->bytes, "Grüße ✓");
  auto latin1 = other.readSelection("CLIPBOARD", "STRING");
  ASSERT_TRUE(latin1);
  EXPECT_EQ(latin1->bytes,
            "Gr\xFC\xDF"
            "e ?");
  auto mime = other.readSelection("CLIPBOARD", "text/plain;charset=utf-8");
  ASSERT_TRUE(mime);
  EXPECT_EQ(mime->bytes, "Grüße ✓");
  EXPECT_FALSE(other.readSelection("CLIPBOARD", "image/png"));
  auto targets = other.readTargets("CLIPBOARD");
  for (auto name : {"TARGETS", "TIMESTAMP", "UTF8_STRING", "STRING", "text/plain;charset=utf-8"})
    EXPECT_TRUE(contains(targets, name)) << name;

  const auto beforeClear = pasteboard.changeCount();
  EXPECT_GT(pasteboard.clearContents(), beforeClear);
  EXPECT_EQ(other.selectionOwner("CLIPBOARD"), XCB_NONE);
  EXPECT_EQ(pasteboard.string(), std::nullopt);
  EXPECT_TRUE(pasteboard.saveAll().empty());
}

TEST(X11Pasteboard, TheGeneralPasteboardIsOneForTheProcess) {
  QUILL_REQUIRE_DISPLAY();
  std::shared_ptr<Pasteboard> elsewhere;
  std::thread other([&] { elsewhere = Pasteboard::general(); });
  const auto here = Pasteboard::general();
  other.join();
  EXPECT_EQ(here, elsewhere);
  ASSERT_NE(dynamic_cast<X11Pasteboard*>(here.get()), nullptr);
  EXPECT_TRUE(here->setString("general"));
  const auto copied = testx11::Connection().readSelection("CLIPBOARD", "UTF8_STRING");
  ASSERT_TRUE(copied);
  EXPECT_EQ(copied->bytes, "general");
}

TEST(X11Pasteboard, ReadsWhatAnotherProgramCopied) {
  QUILL_REQUIRE_DISPLAY();
  X11Pasteboard pasteboard(patient());
  ASSERT_TRUE(pasteboard.setString("mine"));
  const auto before = pasteboard.changeCount();
  {
    testx11::SelectionOwner other("CLIPBOARD", {{"UTF8_STRING", testx11::utf8("theirs ✓")}});
    EXPECT_GT(pasteboard.changeCount(), before);
    EXPECT_EQ(pasteboard.string(), "theirs ✓");
  }
  {
    // An old program that knows only Latin-1.
    testx11::SelectionOwner other("CLIPBOARD", {{"STRING", {"STRING", 8, "caf\xE9"}}});
    EXPECT_EQ(pasteboard.string(), "café");
  }
}

TEST(X11Pasteboard, SavedContentsComeBackInEveryFormTheyHad) {
  QUILL_REQUIRE_DISPLAY();
  X11Pasteboard pasteboard(patient());
  const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
  PasteboardSnapshot snapshot;
  {
    testx11::SelectionOwner other("CLIPBOARD", {{"image/png", {"image/png", 8, png}},
                                                {"UTF8_STRING", testx11::utf8("a picture")}});
    snapshot = pasteboard.saveAll();
  }
  ASSERT_EQ(snapshot.entries.size(), 2u);

  pasteboard.clearContents();
  ASSERT_TRUE(pasteboard.setString("pasted"));
  ASSERT_TRUE(pasteboard.restore(snapshot));

  testx11::Connection reader;
  auto image = reader.readSelection("CLIPBOARD", "image/png");
  ASSERT_TRUE(image);
  EXPECT_EQ(image->type, "image/png");
  EXPECT_EQ(image->bytes, png);
  EXPECT_EQ(pasteboard.string(), "a picture");
  EXPECT_TRUE(contains(reader.readTargets("CLIPBOARD"), "image/png"));

  // Our own contents are saved from memory, exactly.
  EXPECT_EQ(pasteboard.saveAll(), snapshot);
}

TEST(X11Pasteboard, EmptySnapshotLeavesTheClipboardEmpty) {
  QUILL_REQUIRE_DISPLAY();
  X11Pasteboard pasteboard;
  pasteboard.clearContents();
  auto nothing = pasteboard.saveAll();
  ASSERT_TRUE(pasteboard.setString("pasted"));
  ASSERT_TRUE(pasteboard.restore(nothing));
  testx11::Connection reader;
  EXPECT_EQ(reader.selectionOwner("CLIPBOARD"), XCB_NONE);
  EXPECT_EQ(pasteboard.string(), std::nullopt);
}

TEST(X11Pasteboard, LargeDataGoesInChunks) {
  QUILL_REQUIRE_DISPLAY();
  X11PasteboardOptions options;
  options.chunkBytes = 4096;
  X11Pasteboard pasteboard(options);
  std::string big(100'003, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 % 251);
  ASSERT_TRUE(
      pasteboard.restore({{{"application/octet-stream", "application/octet-stream", 8, big}}}));

  x11::SelectionReader reader(nullptr, 10s);
  auto data = reader.convert("CLIPBOARD", "application/octet-stream");
  ASSERT_TRUE(data.ok());
  EXPECT_EQ(data.value().bytes.size(), big.size());
  EXPECT_TRUE(data.value().bytes == big);
}

TEST(X11Pasteboard, AWriteThatGaveUpNeverTakesTheClipboardLater) {
  QUILL_REQUIRE_DISPLAY();
  std::optional<X11Pasteboard> pasteboard(std::in_place);
  ASSERT_TRUE(pasteboard->ok());
  const std::string big(4 * 1024 * 1024 + 1, 'q');
  ASSERT_TRUE(
      pasteboard->restore({{{"application/octet-stream", "application/octet-stream", 8, big}}}));

  // Another program starts a large read, which goes in chunks...
  testx11::Connection reader;
  const xcb_window_t window = reader.createWindow(XCB_EVENT_MASK_PROPERTY_CHANGE, false);
  const xcb_atom_t property = reader.atom("TEST_READ");
  xcb_convert_selection(reader.get(), window, reader.atom("CLIPBOARD"),
                        reader.atom("application/octet-stream"), property, XCB_CURRENT_TIME);
  xcb_flush(reader.get());
  ASSERT_TRUE(reader.waitForEvent([&](const xcb_generic_event_t& e) {
    return (e.response_type & 0x7f) == XCB_SELECTION_NOTIFY &&
           reinterpret_cast<const xcb_selection_notify_event_t&>(e).property == property;
  }));
  // ...then the user copies elsewhere: this is the clipboard that must stay.
  testx11::SelectionOwner theirs("CLIPBOARD", {{"UTF8_STRING", testx11::utf8("theirs")}});

  {
    // Asking for the first chunk while the server reads nobody else leaves the clipboard thread
    // stuck writing it, so the writes below give up waiting for that thread.
    ServerGrab grab(reader);
    xcb_delete_property(reader.get(), window, property);
    reader.sync();
    // The first may still run at once and fail on its own; the second surely waits behind.
    EXPECT_FALSE(pasteboard->setString("late"));
    EXPECT_FALSE(pasteboard->setString("later"));
  }
  // Once the thread is free it does what was left for it, in order; going away is the last.
  pasteboard.reset();
  EXPECT_EQ(reader.selectionOwner("CLIPBOARD"), theirs.window());
  EXPECT_FALSE(theirs.lost());
}

}  // namespace
}  // namespace appkit
