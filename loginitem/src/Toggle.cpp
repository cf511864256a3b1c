#include "loginitem/Toggle.h"

#include <ui/Controls.h>
#include <ui/State.h>
#include <ui/TextValue.h>

namespace LoginItem {

Toggle::Toggle() : Toggle(std::string("Launch at login")) {}

Toggle::Toggle(std::string label) : Toggle(ui::AnyView(ui::Text::verbatim(std::move(label)))) {}

Toggle::Toggle(ui::AnyView label) : Toggle(std::move(label), sharedObservable()) {}

Toggle::Toggle(ui::AnyView label, std::shared_ptr<Observable> observable)
    : label_(std::move(label)), observable_(std::move(observable)) {}

ui::AnyView Toggle::body(ui::BuildContext& context) const {
  context.observe(*observable_);
  auto observable = observable_;
  return ui::Toggle(ui::Binding<bool>([observable] { return observable->isEnabled(); },
                                      [observable](bool on) { observable->requestEnabled(on); }),
                    label_)
      .onAppear([observable] { observable->refresh(); });
}

}  // namespace LoginItem
