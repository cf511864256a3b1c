#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace shell {

// Where the single-instance socket lives, or why there is no safe place for it.
struct SocketPlace {
  std::filesystem::path socket;  // empty when there is no safe place
  std::string problem;           // why not, in words for the user
};

// $XDG_RUNTIME_DIR/quillcast.socket; without that folder, quillcast.socket in a folder of this
// user's own, "quillcast-<uid>" in the temporary folder, made 0700 on first use. In a folder
// that every user may write to, anyone could make that name first: it must be a real folder
// (not a link), owned by `user` and closed to everyone else, or there is no place.
SocketPlace socketPlace(const char* runtimeFolder, const std::filesystem::path& temporaryFolder,
                        uid_t user);

// The same for this process's environment and user.
SocketPlace defaultSocketPlace();

}  // namespace shell
