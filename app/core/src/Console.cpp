#include "core/Console.h"

#include <cstdlib>
#include <iostream>

#include "foundation/DebugLog.h"

namespace core {

void printLine(std::string_view line) {
  foundation::debugLog(line);
}

void printErrorLine(std::string_view line) {
  std::cerr << line << std::endl;
}

[[noreturn]] void fatalError(std::string_view message) {
  std::cerr << "Fatal error: " << message << std::endl;
  std::abort();
}

}  // namespace core
