#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

#include <QGuiApplication>

#include "foundation/UserDefaults.h"

// What the panel benchmarks share: a private home, so the model's files and settings stay out
// of the user's, and a Qt application drawing offscreen, so no display is needed.
namespace bench {

inline const std::filesystem::path& benchHome() {
  static const std::filesystem::path home = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "quill-bench-XXXXXX").string();
    const char* made = ::mkdtemp(pattern.data());
    std::filesystem::path path = made ? made : std::filesystem::temp_directory_path();
    ::setenv("HOME", path.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (path / ".config").c_str(), 1);
    ::setenv("XDG_DOCUMENTS_DIR", (path / "Documents").c_str(), 1);
    foundation::UserDefaults::resetStandard();
    return path;
  }();
  return home;
}

struct OffscreenOptions {
  // Pins the fonts to one family, so figures from machines with other fonts compare.
  bool pinFonts = false;
};

// The first call makes the application under `name`; later calls return it.
inline QGuiApplication& offscreenApplication(const char* name, OffscreenOptions options = {}) {
  static std::string program = name;
  static int argc = 1;
  static char* argv[] = {program.data(), nullptr};
  static QGuiApplication* app = [&] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (options.pinFonts) ::setenv("QUILL_PIN_FONTS", "DejaVu", 0);
    return new QGuiApplication(argc, argv);
  }();
  return *app;
}

}  // namespace bench
