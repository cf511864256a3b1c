#pragma once

#include <string>

namespace shell {

// The version the program was built as ("0.1.0") and its build number.
std::string shortVersion();
std::string buildNumber();

}  // namespace shell
