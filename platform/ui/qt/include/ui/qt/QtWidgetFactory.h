#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <set>

#include "ui/HostedWidget.h"
#include "ui/Input.h"

namespace ui::qt {

class QtHostedWidget;

// Makes the Qt widgets of the hosted kinds, as children of `parent`: QLineEdit for text
// fields (password echo for secure ones, a clear button for search fields), QTextEdit in
// plain-text mode for editors (a growing one without scroll bars, reporting its content
// height) and QComboBox for combo boxes. Keys typed into them are offered to `keyFilter`
// first (the view layer's claim); a true result keeps them from the widget.
class QtWidgetFactory final : public WidgetFactory {
 public:
  QtWidgetFactory(QWidget* parent, std::function<bool(const KeyEvent&)> keyFilter);
  ~QtWidgetFactory() override;

  std::unique_ptr<HostedWidget> make(const Identity& id, const WidgetDescription& description,
                                     HostedWidgetEvents events) override;

  // The live widgets, to place and hide after a frame.
  const std::set<QtHostedWidget*>& widgets() const { return widgets_; }

 private:
  friend class QtHostedWidget;
  QWidget* parent_;
  std::function<bool(const KeyEvent&)> keyFilter_;
  std::set<QtHostedWidget*> widgets_;
};

class QtHostedWidget : public HostedWidget {
 public:
  ~QtHostedWidget() override;
  virtual QWidget* widget() const = 0;
  // Qt's keyboard focus follows the layer's: into the widget, or back to its parent. Tab
  // and Shift+Tab reach Qt as such, so the style draws the widget's focus ring.
  void setFocused(bool focused) final { focusMoved(focused, FocusMove::other); }
  void focusMoved(bool focused, FocusMove move) final;
  // The layer's focus is on this widget (Qt's may not be yet: a widget not placed yet, a
  // window not active yet).
  bool hasLayerFocus() const { return layerFocus_; }
  // Follows the window's palette when the schemes agree, else takes the scheme's own.
  void setColorScheme(ColorScheme scheme) override;

 protected:
  explicit QtHostedWidget(QtWidgetFactory& factory) : factory_(&factory) {
    factory.widgets_.insert(this);
  }
  // A kind's own changes to the palette of its scheme.
  virtual void adjustPalette(QPalette&) const {}
  void refreshPalette();
  QtWidgetFactory* factory_;

 private:
  bool layerFocus_ = false;
  std::optional<ColorScheme> scheme_;
};

// A Qt key event as the view layer sees it.
KeyEvent toKeyEvent(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text, bool isRepeat);
// The same, with the physical key and AltGr that only the whole event tells.
KeyEvent toKeyEvent(const QKeyEvent& event);

}  // namespace ui::qt
