#include <cstdio>

#include "foundation/DispatchQueue.h"

// Stands in for the desktop program until its shell is built.
int main() {
  std::puts("Quillcast (work in progress)");
  std::puts("Built so far: the platform foundation (queues, URL loading, user defaults, files),");
  std::puts(
      "the server-sent events client, the assistant core (chats, presets, history, capture),");
  std::puts("the X11 selection, clipboard and key-event layers, the declarative view layer, and");
  std::puts("the Markdown model and styling.");
  std::puts("The tray icon, the floating panel and the global hot key are not built yet.");
  bool done = false;
  foundation::DispatchQueue::main().async([&] { done = true; });
  foundation::MainRunLoop::runUntil([&] { return done; }, std::chrono::milliseconds(1000));
  return done ? 0 : 1;
}
