#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <variant>

#include "ui/HostedWidget.h"

namespace panel::testing {

// Hosted widgets that only keep their latest description, so a test can type into them
// through their bindings as a real widget would.
class FakeWidgetFactory : public ui::WidgetFactory {
 public:
  class Widget : public ui::HostedWidget {
   public:
    Widget(FakeWidgetFactory& factory, ui::Identity id, ui::WidgetDescription description)
        : factory_(factory), id_(std::move(id)), description(std::move(description)) {
      factory_.live_[id_] = this;
    }
    ~Widget() override {
      auto it = factory_.live_.find(id_);
      if (it != factory_.live_.end() && it->second == this) factory_.live_.erase(it);
    }
    void update(const ui::WidgetDescription& d) override {
      description = d;
      ++updates;
    }
    void setFocused(bool f) override { focused = f; }

   private:
    FakeWidgetFactory& factory_;
    ui::Identity id_;

   public:
    ui::WidgetDescription description;
    bool focused = false;
    int updates = 0;
  };

  std::unique_ptr<ui::HostedWidget> make(const ui::Identity& id,
                                         const ui::WidgetDescription& description,
                                         ui::HostedWidgetEvents) override {
    return std::make_unique<Widget>(*this, id, description);
  }

  Widget* find(const ui::Identity& id) const {
    auto it = live_.find(id);
    return it == live_.end() ? nullptr : it->second;
  }
  template <class D>
  D* description(const ui::Identity& id) const {
    Widget* w = find(id);
    return w ? std::get_if<D>(&w->description) : nullptr;
  }

 private:
  std::unordered_map<ui::Identity, Widget*> live_;
};

}  // namespace panel::testing
