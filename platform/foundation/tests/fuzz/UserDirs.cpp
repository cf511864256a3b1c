// user-dirs.dirs as any program or person may have written it: a documents folder found there
// is an absolute, normalised path that the system can open as it stands.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "foundation/UserDirs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::filesystem::path home = "/home/someone";
  const auto folder = foundation::files::userDirFromText(text, "DOCUMENTS", home);
  if (!folder) return 0;
  const std::string& name = folder->native();
  // A NUL would cut the name short when it reaches the system.
  if (!folder->is_absolute() || name.find('\0') != std::string::npos ||
      *folder != folder->lexically_normal())
    std::abort();
  return 0;
}
