#include <gtest/gtest.h>

#include <thread>

#include "foundation/OperationQueue.h"
#include "foundation/ThreadName.h"

namespace foundation {
namespace {

// What `ps -T` shows for a thread that names itself `name`.
std::string shownNameOf(const std::string& name) {
  std::string shown;
  std::thread([&] {
    setCurrentThreadName(name);
    shown = currentThreadName();
  }).join();
  return shown;
}

TEST(ThreadName, NamesAreKeptUpToWhatTheSystemShowsAndCutBetweenCharacters) {
  EXPECT_EQ(shownNameOf("quill-hotkeys"), "quill-hotkeys");
  EXPECT_EQ(shownNameOf("quill-fifteen-b"), "quill-fifteen-b");
  EXPECT_EQ(shownNameOf("quill-sixteen-by"), "quill-sixteen-b") << "cut, not refused";
  // "é" takes bytes 15 and 16: the whole character goes.
  EXPECT_EQ(shownNameOf("quill-fourteen\u00e9"), "quill-fourteen");
  EXPECT_EQ(shownNameOf(""), "");
}

TEST(ThreadName, AnOperationQueuesWorkerCarriesItsName) {
  std::string named, unnamed;
  {
    OperationQueue queue("quill-writeback");
    queue.addOperation([&] { named = currentThreadName(); });
    OperationQueue other;
    other.addOperation([&] { unnamed = currentThreadName(); });
  }
  EXPECT_EQ(named, "quill-writeback");
  EXPECT_EQ(unnamed, "quill-queue") << "never the test program's own name";
}

}  // namespace
}  // namespace foundation
