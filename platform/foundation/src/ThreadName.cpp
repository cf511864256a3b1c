#include "foundation/ThreadName.h"

#include <pthread.h>

namespace foundation {
namespace {

constexpr std::size_t kLongestName = 15;

bool isContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

void setCurrentThreadName(std::string_view name) {
  std::string kept(name.substr(0, kLongestName));
  if (name.size() > kLongestName)
    while (!kept.empty() && isContinuationByte(name[kept.size()])) kept.pop_back();
  ::pthread_setname_np(::pthread_self(), kept.c_str());
}

std::string currentThreadName() {
  char name[kLongestName + 1] = {};
  if (::pthread_getname_np(::pthread_self(), name, sizeof name) != 0) return {};
  return name;
}

}  // namespace foundation
