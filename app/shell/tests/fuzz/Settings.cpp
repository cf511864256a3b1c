// A settings file as a person or another program may have left it: loading it and reading
// every key as each kind of value never fails, and what the program makes of its own keys
// stays within bounds (the panel's font size, a saved window frame kept on the screen).
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "appkit/WindowFrame.h"
#include "foundation/UserDefaults.h"
#include "panel/PanelSettings.h"

namespace {

std::filesystem::path folder;

const char* const kKnownKeys[] = {"openapikey",
                                  "model",
                                  "useCopyHack",
                                  "saveFontSize",
                                  "markdownOnStorage",
                                  "firstTime",
                                  "betaCheck",
                                  "betaCheckError",
                                  "savedFrame",
                                  "HotKeys_showFloatingPanel",
                                  "LoginItem__hasMigrated"};

void readEveryWay(const foundation::UserDefaults& defaults, const std::string& key) {
  const auto object = defaults.objectForKey(key);
  if (object.has_value() != defaults.has(key)) std::abort();
  const auto text = defaults.stringForKey(key);
  if (text.has_value() != (object && object->is_string())) std::abort();
  (void)defaults.boolForKey(key);
  const double number = defaults.doubleForKey(key);
  const std::int64_t integer = defaults.integerForKey(key);
  // Whole numbers within range read the same both ways.
  if (object && object->is_number_integer() && std::fabs(number) < 9e15 &&
      static_cast<double>(integer) != number)
    std::abort();
  if (const auto data = defaults.dataForKey(key); data && (!text || data->size() > text->size()))
    std::abort();
}

void readTheProgramsOwn(const foundation::UserDefaults& defaults) {
  const double size = panel::storedFontSize(defaults);
  if (!(size >= panel::kMinimumFontSize && size <= panel::kMaximumFontSize)) std::abort();
  (void)panel::storedMarkdownOn(defaults);
  const auto frame = appkit::savedFrame(defaults, "savedFrame");
  if (!frame) return;
  const std::vector<ui::Rect> screens = {{0, 0, 1280, 800}, {1280, -200, 1920, 1200}};
  const ui::Rect placed = appkit::clampFrameToScreens(*frame, screens, {300, 90});
  const bool onAScreen = std::any_of(screens.begin(), screens.end(), [&](const ui::Rect& s) {
    constexpr double slack = 1e-6;  // of rounding
    return placed.width > 0 && placed.height > 0 && placed.x >= s.x && placed.y >= s.y &&
           placed.x + placed.width <= s.x + s.width + slack &&
           placed.y + placed.height <= s.y + s.height + slack;
  });
  if (!onAScreen) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/quill-fuzz-defaults-XXXXXX";
  if (!::mkdtemp(pattern)) std::abort();
  folder = pattern;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  });
  std::cerr.rdbuf(nullptr);  // the store reports unreadable files; thousands of times here
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto file = folder / "defaults.json";
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  {
    const foundation::UserDefaults defaults(file);
    for (const char* key : kKnownKeys) readEveryWay(defaults, key);
    readTheProgramsOwn(defaults);
    if (const auto whole = nlohmann::json::parse(data, data + size, nullptr, false);
        whole.is_object()) {
      for (const auto& [key, value] : whole.items()) {
        if (defaults.objectForKey(key) != value) std::abort();
        readEveryWay(defaults, key);
      }
    }
  }
  // An unreadable file is moved aside; each run starts from nothing.
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
    std::filesystem::remove(entry.path(), ignored);
  return 0;
}
