#pragma once

#include <string_view>

#include <string>

#include "foundation/UserDefaults.h"
#include "shell/URLOpener.h"
#include "ui/View.h"
#include "updater/Updater.h"

namespace shell {

// Identifiers of the settings window's parts, for tests and accessibility.
// Under the capture-method toggle: what the alternative method does to the user's desktop.
inline constexpr std::string_view kCopyHackExplanation =
    "Sends Ctrl+C to the window in front and reads the copy from the clipboard, then puts back "
    "what the clipboard held. Terminals never get it (there Ctrl+C stops the running program): "
    "their selection is read directly.";

namespace settingIds {
inline constexpr const char* kRecorderRow = "settings.recorder";
inline constexpr const char* kLaunchAtLogin = "settings.launchAtLogin";
inline constexpr const char* kOwnKeyNotice = "settings.ownKeyNotice";
inline constexpr const char* kAPIKeyField = "settings.apiKey";
inline constexpr const char* kGPT4Warning = "settings.gpt4Warning";
inline constexpr const char* kModelPicker = "settings.model";
inline constexpr const char* kVersion = "settings.version";
inline constexpr const char* kPromptEditor = "settings.promptEditor";
inline constexpr const char* kTutorial = "settings.tutorial";
inline constexpr const char* kCheckForUpdates = "settings.checkForUpdates";
inline constexpr const char* kUseCopyHack = "settings.useCopyHack";
inline constexpr const char* kUseCopyHackNote = "settings.useCopyHackNote";
inline constexpr const char* kSiteLink = "settings.site";
}  // namespace settingIds

// What the settings window works with besides the updater.
struct SettingViewServices {
  URLOpener* opener = nullptr;                   // the program's own URLs and web pages
  foundation::UserDefaults* defaults = nullptr;  // the standard store when absent
  std::string version;                           // "0.1.0 build 1"; the program's own when empty
};

// The settings window: the hot key, launch at login, the chat service's key and model, the
// update check and the capture method. Every value is stored in the user defaults as it is
// edited. Recorder services come from the environment (HotKeys::RecorderServicesKey).
class SettingView final : public ui::View {
 public:
  SettingView(updater::Updater* updater, SettingViewServices services);

  ui::AnyView body(ui::BuildContext& context) const override;

 private:
  updater::Updater* updater_;
  SettingViewServices services_;
};

// Clearing the key falls back to the one model offered without a key; nothing else rewrites
// the stored model.
void applyModelRule(foundation::UserDefaults& defaults, const std::string& previousKey);

}  // namespace shell
