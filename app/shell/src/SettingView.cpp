#include "shell/SettingView.h"

#include <cstdio>
#include <vector>

#include "HotKeys/Recorder.h"
#include "core/AssistantSettings.h"
#include "foundation/DebugLog.h"
#include "loginitem/Toggle.h"
#include "shell/AppDelegate.h"
#include "shell/AppVersion.h"
#include "shell/AppWindow.h"
#include "shell/CheckForUpdatesViewModel.h"
#include "shell/ProductSite.h"
#include "shell/SettingsRules.h"
#include "ui/ReadableColor.h"
#include "ui/Views.h"

namespace shell {
namespace {

using Keys = core::AssistantSettings;

// The three stored settings of the window; its views rebuild when any of them changes,
// whoever wrote it.
class StoredSettings : public foundation::ObservableObject {
 public:
  explicit StoredSettings(foundation::UserDefaults& defaults)
      : defaults_(defaults), lastKey_(core::AssistantSettings(defaults).apiKey()) {
    for (const char* key : {Keys::kAPIKeyKey, Keys::kModelKey, Keys::kUseCopyHackKey})
      subscriptions_.push_back(defaults_.observe(key, [this, key] { changed(key); }));
  }

  foundation::UserDefaults& defaults() const { return defaults_; }
  core::AssistantSettings values() const { return core::AssistantSettings(defaults_); }

 private:
  void changed(std::string_view key) {
    sendWillChange();
    if (key != Keys::kAPIKeyKey) return;
    const std::string previous = std::exchange(lastKey_, values().apiKey());
    applyModelRule(defaults_, previous);
  }

  foundation::UserDefaults& defaults_;
  std::string lastKey_;
  std::vector<foundation::Cancellable> subscriptions_;
};

ui::AnyView Line(std::string text, ui::Color color) {
  return ui::AnyView(ui::Text::verbatim(std::move(text))).foregroundColor(color);
}

// Web pages open in the browser; only a page that opened is logged.
void openPage(URLOpener* opener, const std::string& url) {
  if (opener && opener->open(url)) foundation::debugLog("Successfully opened");
}

ui::AnyView DoubleShortcut() {
  return ui::AnyView(HotKeys::Recorder("Open Quillcast Hotkey:", showFloatingPanelName()))
      .frame(ui::FrameBounds{.maxWidth = 300})
      .accessibilityIdentifier(settingIds::kRecorderRow);
}

ui::AnyView ServiceSection(const std::shared_ptr<StoredSettings>& stored, URLOpener* opener) {
  const auto values = stored->values();
  const std::string apiKey = values.apiKey();
  const std::string model = values.modelName();
  foundation::UserDefaults* defaults = &stored->defaults();

  // Rows that come and go leave an empty place, so the key field keeps its place in the
  // stack, and with it its widget and the keyboard, when the notice appears as the user types.
  std::vector<ui::AnyView> rows;
  rows.push_back(ui::Button("Open Prompt Editor",
                            [opener] {
                              if (opener) openWindow(AppWindow::promptEditor, *opener);
                            })
                     .focusable(settingIds::kPromptEditor)
                     .accessibilityIdentifier(settingIds::kPromptEditor));
  // The notice's place is kept while the key is empty, so that the first keystroke moves
  // neither the field nor the picker under the pointer.
  ui::AnyView notice = ui::VStack(
      ui::HAlign::center, 2,
      {Line("You are using your own key", ui::readableText(ui::Color::green())),
       Line("Make sure you fill in your key correctly.", ui::readableText(ui::Color::green()))});
  rows.push_back(std::move(notice)
                     .opacity(apiKey.empty() ? 0 : 1)
                     .accessibilityIdentifier(apiKey.empty() ? "" : settingIds::kOwnKeyNotice));
  rows.push_back(
      ui::TextField(settingIds::kAPIKeyField, "OpenAI API Key:",
                    ui::Binding<std::string>(
                        [defaults] { return core::AssistantSettings(*defaults).apiKey(); },
                        [defaults](std::string key) { defaults->set(Keys::kAPIKeyKey, key); }))
          .accessibilityIdentifier(settingIds::kAPIKeyField));
  rows.push_back(!showsGPT4Warning(model)
                     ? ui::AnyView()
                     : Line("Ensure that you're eligible to use GPT-4, otherwise, you will "
                            "encounter a 404 error.",
                            ui::readableText(ui::Color::red()))
                           .multilineTextAlignment(ui::TextAlignment::center)
                           .accessibilityIdentifier(settingIds::kGPT4Warning));
  // The combo box writes only what the user chooses: a stored model it does not offer stays.
  ui::ComboBoxWidget picker{
      modelPickerEntries(apiKey),
      ui::Binding<std::string>(
          [defaults] { return core::AssistantSettings(*defaults).modelName(); },
          [defaults](std::string chosen) { defaults->set(Keys::kModelKey, chosen); })};
  rows.push_back(ui::HStack(ui::VAlign::center, 8,
                            {ui::AnyView(ui::Text::verbatim("Model")),
                             ui::Representable(settingIds::kModelPicker, std::move(picker),
                                               {.idealWidth = 200, .idealHeight = 24})
                                 .accessibilityLabel("Model")})
                     .accessibilityIdentifier(settingIds::kModelPicker));
  return ui::VStack(ui::HAlign::center, 10, std::move(rows));
}

ui::AnyView SiteLink(URLOpener* opener) {
  ui::AttributeContainer attributes;
  attributes.underlineStyle = ui::LineStyle::single();
  // A plain button, so that the keyboard opens it too.
  return ui::Button([opener] { openPage(opener, productPage("")); },
                    ui::AnyView(ui::Text::attributed(
                                    ui::AttributedString(std::string(kProductSite), attributes)))
                        .foregroundColor(ui::readableText(ui::Color::blue())))
      .buttonStyle(ui::ButtonStyle::plain)
      .focusable(settingIds::kSiteLink)
      .accessibilityRole(ui::AccessibilityRole::link)
      .accessibilityIdentifier(settingIds::kSiteLink);
}

}  // namespace

void applyModelRule(foundation::UserDefaults& defaults, const std::string& previousKey) {
  const std::string key = core::AssistantSettings(defaults).apiKey();
  if (key != previousKey && key.empty()) defaults.set(Keys::kModelKey, std::string(kDefaultModel));
}

SettingView::SettingView(updater::Updater* updater, SettingViewServices services)
    : updater_(updater), services_(std::move(services)) {
  if (services_.version.empty())
    services_.version = appVersionString(shortVersion(), buildNumber());
}

ui::AnyView SettingView::body(ui::BuildContext& context) const {
  foundation::UserDefaults& defaults =
      services_.defaults ? *services_.defaults : foundation::UserDefaults::standard();
  auto stored = context.stateObject<StoredSettings>(
      [&] { return std::make_shared<StoredSettings>(defaults); });
  auto updates = context.stateObject<CheckForUpdatesViewModel>(
      [&] { return std::make_shared<CheckForUpdatesViewModel>(updater_); });
  URLOpener* opener = services_.opener;
  updater::Updater* updater = updater_;

  ui::AnyView mainColumn =
      ui::VStack(ui::HAlign::center, 14,
                 {DoubleShortcut(),
                  ui::AnyView(LoginItem::Toggle("Launch at login \U0001F600"))
                      .focusable(settingIds::kLaunchAtLogin)
                      .accessibilityIdentifier(settingIds::kLaunchAtLogin),
                  ServiceSection(stored, opener),
                  ui::AnyView(ui::Text::verbatim("Version: " + services_.version))
                      .accessibilityIdentifier(settingIds::kVersion),
                  ui::Button("Tutorial: How to Generate Your Own Key",
                             [opener] { openPage(opener, productPage("/tutorial")); })
                      .focusable(settingIds::kTutorial)
                      .accessibilityIdentifier(settingIds::kTutorial),
                  ui::Button("Check for Updates\u2026",
                             [updater] {
                               if (updater) updater->checkForUpdates();
                             })
                      .focusable(settingIds::kCheckForUpdates)
                      .disabled(!updates->canCheckForUpdates.get())
                      .accessibilityIdentifier(settingIds::kCheckForUpdates)});

  foundation::UserDefaults* store = &defaults;
  ui::AnyView copyHack =
      ui::Toggle(
          ui::Binding<bool>([store] { return core::AssistantSettings(*store).useCopyHack(); },
                            [store](bool on) { store->set(Keys::kUseCopyHackKey, on); }),
          ui::AnyView(ui::Text::verbatim("Use an alternative method to obtain the text")))
          .focusable(settingIds::kUseCopyHack)
          .accessibilityIdentifier(settingIds::kUseCopyHack);
  ui::AnyView copyHackNote = ui::AnyView(ui::Text::verbatim(std::string(kCopyHackExplanation)))
                                 .font(ui::Font::callout())
                                 .foregroundColor(ui::readableText(ui::Color::gray()))
                                 .multilineTextAlignment(ui::TextAlignment::center)
                                 .frame(ui::FrameBounds{.maxWidth = 380})
                                 .accessibilityIdentifier(settingIds::kUseCopyHackNote);

  return ui::VStack(ui::HAlign::center, 14,
                    {ui::ZStack(ui::Alignment::center, {mainColumn}),
                     ui::VStack(ui::HAlign::center, 4, {copyHack, copyHackNote}), SiteLink(opener)})
      .padding(70);
}

}  // namespace shell
