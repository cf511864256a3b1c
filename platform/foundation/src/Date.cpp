#include "foundation/Date.h"

#include <chrono>

namespace foundation {

Date Date::now() {
  const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
  return Date{std::chrono::duration<double>(sinceEpoch).count()};
}

}  // namespace foundation
