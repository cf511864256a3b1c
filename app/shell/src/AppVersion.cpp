#include "shell/AppVersion.h"

namespace shell {

std::string shortVersion() {
  return QUILL_SHORT_VERSION;
}

std::string buildNumber() {
  return QUILL_BUILD_NUMBER;
}

}  // namespace shell
