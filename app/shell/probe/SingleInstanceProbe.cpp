// One start of the program as far as the single instance goes, for its tests.
//   quill_instance_probe <socket> <url>
// Waits for a byte on descriptor 3, so that several starts can be let go at once, then
// starts with the URL (none when it is empty) and says on standard output what became of it:
// "listening", "handed" or "unanswered". The instance then writes "received <url>" for each
// URL handed to it, "received panel" for a start without one, and ends when standard input
// closes.
#include <unistd.h>

#include <cstdio>
#include <thread>

#include "foundation/DispatchQueue.h"
#include "shell/SingleInstance.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  char go = 0;
  if (::read(3, &go, 1) != 1) return 2;
  ::close(3);
  std::vector<std::string> urls;
  if (*argv[2]) urls.push_back(argv[2]);
  auto start = shell::SingleInstance::acquire({argv[1], {}}, shell::requestFor(urls),
                                              [](shell::InstanceRequest request) {
                                                if (request.openPanel)
                                                  std::printf("received panel\n");
                                                for (const auto& url : request.urls)
                                                  std::printf("received %s\n", url.c_str());
                                                std::fflush(stdout);
                                              });
  if (!start.instance) {
    std::printf("%s\n", start.handedOver ? "handed" : "unanswered");
    return start.handedOver ? 0 : 1;
  }
  std::printf("listening\n");
  std::fflush(stdout);
  bool closed = false;
  std::thread watcher([&closed] {
    char byte = 0;
    while (::read(STDIN_FILENO, &byte, 1) > 0) {
    }
    foundation::DispatchQueue::main().async([&closed] { closed = true; });
  });
  foundation::MainRunLoop::runUntil([&closed] { return closed; }, std::chrono::minutes(2));
  watcher.join();
  return 0;
}
