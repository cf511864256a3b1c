#pragma once

#include <functional>
#include <string>
#include <vector>

#include "shell/PanelAccess.h"
#include "ui/Views.h"

namespace shell {

// The product's line in the onboarding heading: its name and its mark.
inline constexpr const char* kOnboardingProductLine = "Quillcast \U0001FAB6";
// An image name that stands for no image in the key rows.
inline constexpr const char* kNoImage = "car";
// The key symbol drawn as a "Ctrl" key cap: Linux keyboards have no command key.
inline constexpr const char* kCommandKeySymbol = "command.square.fill";

// One row of the first page: a symbol, a title and what it means.
class InformationDetailView : public ui::EquatableView<InformationDetailView> {
 public:
  InformationDetailView(std::string title, std::string subTitle, std::string imageName);
  ui::AnyView body(ui::BuildContext& context) const override;
  bool operator==(const InformationDetailView& o) const {
    return title == o.title && subTitle == o.subTitle && imageName == o.imageName;
  }

  std::string title, subTitle, imageName;
};

// One row of the key page: up to three key symbols, a title and what the keys do.
class InformationDetailView2 : public ui::EquatableView<InformationDetailView2> {
 public:
  InformationDetailView2(std::string title, std::string subTitle, std::string imageName,
                         std::string imageName2, std::string imageName3);
  ui::AnyView body(ui::BuildContext& context) const override;
  bool operator==(const InformationDetailView2& o) const {
    return title == o.title && subTitle == o.subTitle && shownImageNames() == o.shownImageNames();
  }

  // The key symbols shown, in order, without the "car" places.
  std::vector<std::string> shownImageNames() const;

  std::string title, subTitle, imageName, imageName2, imageName3;
};

// The onboarding's button: the label centred on an indigo rounded rectangle, shrunk about
// its centre while pressed.
class RoundedRectangleButtonStyle {
 public:
  static constexpr double kCornerRadius = 8;
  static constexpr double kPressedScale = 0.95;

  double scale(bool isPressed) const { return isPressed ? kPressedScale : 1.0; }
  // The label in black unless it sets its own colour, padded, on the indigo rectangle.
  ui::AnyView makeBody(ui::AnyView label) const;
};
// A button drawn by `style`; its dump reads "pressed" while it is held down.
ui::AnyView StyledButton(RoundedRectangleButtonStyle style, std::function<void()> action,
                         ui::AnyView label);

// What finishing the onboarding does: close the onboarding's own window, then open settings.
struct OnboardingActions {
  std::function<void()> closeOnboardingWindow;
  std::function<void()> openSettings;
};

// The two onboarding pages: what the program is for, then its keys. Continue turns to the key
// page, and there closes the onboarding and opens the settings. The first page tells the ways
// in that `access` holds as they change; without it, the default hot key's.
class OnboardingView : public ui::View {
 public:
  explicit OnboardingView(OnboardingActions actions, int page = 1,
                          std::shared_ptr<PanelAccessModel> access = nullptr);
  ui::AnyView body(ui::BuildContext& context) const override;

  static std::vector<InformationDetailView> firstPageRows(const PanelAccess& access);
  static std::vector<InformationDetailView2> keyPageRows();
  // The two heading lines of a page (the second one indigo); none for another page.
  static std::vector<std::string> headingLines(int page);

 private:
  OnboardingActions actions_;
  int initialPage_;
  std::shared_ptr<PanelAccessModel> access_;
};

}  // namespace shell
