#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "HotKeys/HotKeys.h"
#include "ui/Environment.h"
#include "ui/View.h"

namespace HotKeys {

// What the recorder needs of the desktop: the beep and the modal warning of a refusal, and the
// program's menus to check for conflicts. Set by the program through RecorderServicesKey.
struct RecorderServices {
  std::function<void()> beep;
  std::function<void(const std::string& message, const std::string& informativeText)> alert;
  std::function<std::optional<std::string>(const Shortcut&)> menuItemTitleUsing;
};

struct RecorderServicesKey {
  using Value = std::shared_ptr<const RecorderServices>;
  static Value defaultValue() { return nullptr; }
};

// The field in which the user records a name's shortcut, optionally after a label. Clicking it
// (or tabbing into it) starts recording; a warning below tells when the desktop would not give
// the stored shortcut to the program.
class Recorder final : public ui::View {
 public:
  using OnChange = std::function<void(std::optional<Shortcut>)>;

  explicit Recorder(Name name, OnChange onChange = {});
  Recorder(std::string title, Name name, OnChange onChange = {});
  Recorder(Name name, OnChange onChange, std::function<ui::AnyView()> label);

  ui::AnyView body(ui::BuildContext& context) const override;

  // The text of the warning shown when the hot key is not registered.
  static const char* const kNotRegisteredWarning;

 private:
  Name name_;
  OnChange onChange_;
  bool hasLabel_ = false;
  std::function<ui::AnyView()> label_;
};

}  // namespace HotKeys
