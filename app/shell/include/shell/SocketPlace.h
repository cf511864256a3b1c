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

// $XDG_RUNTIME_DIR/quillcast.socket when that folder is this user's own and closed to others;
// otherwise quillcast.socket in "quillcast" of `stateFolder` (the user's $XDG_STATE_HOME, or
// ~/.local/state), made 0700 with any missing parents. Only a real folder (not a link) owned
// by `user` and closed to everyone else holds it; else there is no place, and no second
// program may start.
SocketPlace socketPlace(const char* runtimeFolder, const std::filesystem::path& stateFolder,
                        uid_t user);

// The user's state folder: $XDG_STATE_HOME when absolute, else ~/.local/state.
std::filesystem::path stateHome();

// The same for this process's environment and user.
SocketPlace defaultSocketPlace();

}  // namespace shell
