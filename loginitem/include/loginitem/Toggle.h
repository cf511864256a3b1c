#pragma once

#include <ui/View.h>

#include <memory>
#include <string>

#include "loginitem/LoginItem.h"

namespace LoginItem {

// A check box bound to launch at login. Clicking it changes the registration off the UI
// thread; the box follows the state read back from the system.
class Toggle final : public ui::View {
 public:
  Toggle();  // labelled "Launch at login"
  explicit Toggle(std::string label);
  explicit Toggle(ui::AnyView label);
  // Bound to a given observable instead of the shared one.
  Toggle(ui::AnyView label, std::shared_ptr<Observable> observable);

  ui::AnyView body(ui::BuildContext& context) const override;

 private:
  ui::AnyView label_;
  std::shared_ptr<Observable> observable_;
};

}  // namespace LoginItem
