#include "shell/AccessibilityOffer.h"

namespace shell {

appkit::Alert accessibilityOfferAlert() {
  appkit::Alert alert;
  alert.messageText = "Turn on accessibility so that Quillcast can read your selection?";
  alert.informativeText =
      "Quillcast reads the text you select in other applications through the desktop's "
      "accessibility bus, which is turned off. Without it, Quillcast sees only a selection that "
      "an application offers as the primary selection.\n\n"
      "This is a setting of your desktop: applications then show their text to assistive "
      "technologies such as screen readers, and to Quillcast. Applications that are running now "
      "show their text only after you restart them.";
  alert.buttons = {"Turn On", "Not Now"};
  alert.style = appkit::AlertStyle::informational;
  return alert;
}

appkit::Alert accessibilityNotEnabledAlert() {
  appkit::Alert alert;
  alert.messageText = "Accessibility could not be turned on";
  alert.informativeText =
      "The desktop's accessibility bus did not take the change. Turn on assistive technologies "
      "in your desktop's accessibility settings (or run: gsettings set "
      "org.gnome.desktop.interface toolkit-accessibility true), then restart the applications "
      "you write in.";
  return alert;
}

}  // namespace shell
