#include "ui/qt/QtWidgetFactory.h"

#include <QAbstractTextDocumentLayout>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTextEdit>
#include <cmath>

#include "ui/qt/QtFonts.h"
#include "ui/qt/SchemePalette.h"

namespace ui::qt {

KeyEvent toKeyEvent(int key, Qt::KeyboardModifiers m, const QString& text, bool isRepeat) {
  KeyEvent e;
  e.modifiers = {bool(m & Qt::ShiftModifier), bool(m & Qt::ControlModifier),
                 bool(m & Qt::AltModifier), bool(m & Qt::MetaModifier)};
  e.isRepeat = isRepeat;
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      e.key = Key::enter;
      return e;
    case Qt::Key_Tab:
      e.key = Key::tab;
      return e;
    case Qt::Key_Backtab:
      e.key = Key::tab;
      e.modifiers.shift = true;
      return e;
    case Qt::Key_Escape:
      e.key = Key::escape;
      return e;
    case Qt::Key_Space:
      e.key = Key::space;
      e.text = " ";
      return e;
    case Qt::Key_Backspace:
      e.key = Key::backspace;
      return e;
    case Qt::Key_Delete:
      e.key = Key::forwardDelete;
      return e;
    case Qt::Key_Up:
      e.key = Key::up;
      return e;
    case Qt::Key_Down:
      e.key = Key::down;
      return e;
    case Qt::Key_Left:
      e.key = Key::left;
      return e;
    case Qt::Key_Right:
      e.key = Key::right;
      return e;
    case Qt::Key_Home:
      e.key = Key::home;
      return e;
    case Qt::Key_End:
      e.key = Key::end;
      return e;
    case Qt::Key_PageUp:
      e.key = Key::pageUp;
      return e;
    case Qt::Key_PageDown:
      e.key = Key::pageDown;
      return e;
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_Mode_switch:
      e.key = Key::modifier;
      return e;
    default:
      break;
  }
  if (key >= Qt::Key_F1 && key <= Qt::Key_F35) {
    e.key = Key::function;
    e.text = "F" + std::to_string(key - Qt::Key_F1 + 1);
    return e;
  }
  // With Control the text is a control character; shortcuts want the letter.
  if (key >= Qt::Key_A && key <= Qt::Key_Z) {
    e.key = Key::character;
    const char letter = char('a' + (key - Qt::Key_A));
    e.text = (e.modifiers.shift && !e.modifiers.control) ? std::string(1, char(letter - 32))
                                                         : std::string(1, letter);
    if (!text.isEmpty() && !e.modifiers.control && !e.modifiers.alt) e.text = text.toStdString();
    return e;
  }
  if (!text.isEmpty() && text.at(0).isPrint()) {
    e.key = Key::character;
    e.text = text.toStdString();
    return e;
  }
  if (key >= 0x20 && key < 0x7f) {
    e.key = Key::character;
    e.text = std::string(1, char(key));
    return e;
  }
  e.key = Key::other;
  return e;
}

KeyEvent toKeyEvent(const QKeyEvent& k) {
  KeyEvent e = toKeyEvent(k.key(), k.modifiers(), k.text(), k.isAutoRepeat());
  // On xcb the native scan code is the X key code, the evdev code plus 8.
  const auto code = k.nativeScanCode();
  if (code > 8 && code < 264) e.physicalKey = int(code - 8);
  e.levelThree = k.modifiers().testFlag(Qt::GroupSwitchModifier);
  return e;
}

namespace {

// Offers keys to the view layer before the widget sees them; reports focus taken.
class KeyClaim final : public QObject {
 public:
  KeyClaim(QObject* parent, std::function<bool(const KeyEvent&)> filter,
           std::function<void()> focusTaken)
      : QObject(parent), filter_(std::move(filter)), focusTaken_(std::move(focusTaken)) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && filter_) {
      auto* k = static_cast<QKeyEvent*>(event);
      return filter_(toKeyEvent(*k));
    }
    if (event->type() == QEvent::FocusIn && focusTaken_) {
      auto* f = static_cast<QFocusEvent*>(event);
      if (f->reason() != Qt::OtherFocusReason) focusTaken_();
    }
    return false;
  }

 private:
  std::function<bool(const KeyEvent&)> filter_;
  std::function<void()> focusTaken_;
};

void claimKeys(QWidget* w, QtWidgetFactory* f, const std::function<bool(const KeyEvent&)>& filter,
               const HostedWidgetEvents& events) {
  auto* claim = new KeyClaim(w, filter, events.focusTaken);
  w->installEventFilter(claim);
  (void)f;
}

std::string utf8(const QString& s) {
  return s.toStdString();
}

class LineEditWidget final : public QtHostedWidget {
 public:
  LineEditWidget(QtWidgetFactory& f, QWidget* parent, const TextFieldWidget& d,
                 HostedWidgetEvents events)
      : QtHostedWidget(f), edit_(new QLineEdit(parent)), desc_(d) {
    edit_->hide();
    QObject::connect(edit_, &QLineEdit::textEdited,
                     [this](const QString& text) { desc_.text.set(utf8(text)); });
    QObject::connect(edit_, &QLineEdit::returnPressed, [this] {
      if (desc_.onSubmit) desc_.onSubmit();
    });
    update(d);
    (void)events;
  }
  ~LineEditWidget() override { delete edit_.data(); }
  QWidget* widget() const override { return edit_; }
  void update(const WidgetDescription& description) override {
    desc_ = std::get<TextFieldWidget>(description);
    // Only a different text is set, so the caret and a composition stay where they are.
    const QString text = QString::fromStdString(desc_.text.get());
    if (edit_->text() != text) edit_->setText(text);
    edit_->setPlaceholderText(QString::fromStdString(desc_.placeholder));
    edit_->setEchoMode(desc_.secure ? QLineEdit::Password : QLineEdit::Normal);
    edit_->setFrame(desc_.style != TextFieldStyle::plain);
    edit_->setClearButtonEnabled(desc_.style == TextFieldStyle::search);
    if (desc_.font) edit_->setFont(QtFonts::shared().font(desc_.font->resolved()));
  }
  std::optional<Size> sizeThatFits(ProposedSize p) const override {
    const QSize hint = edit_->sizeHint();
    return Size{p.width.value_or(hint.width()), double(hint.height())};
  }

 private:
  QPointer<QLineEdit> edit_;
  TextFieldWidget desc_;
};

class TextEditWidget final : public QtHostedWidget {
 public:
  TextEditWidget(QtWidgetFactory& f, QWidget* parent, const TextEditorWidget& d,
                 HostedWidgetEvents events)
      : QtHostedWidget(f), edit_(new QTextEdit(parent)), desc_(d), events_(std::move(events)) {
    edit_->hide();
    edit_->setAcceptRichText(false);
    edit_->setTabChangesFocus(true);
    QObject::connect(edit_, &QTextEdit::textChanged, [this] {
      if (setting_) return;
      desc_.text.set(utf8(edit_->toPlainText()));
      if (desc_.growsWithContent && events_.sizeChanged) events_.sizeChanged();
    });
    update(d);
  }
  ~TextEditWidget() override { delete edit_.data(); }
  QWidget* widget() const override { return edit_; }
  // Without a border the editor shows what lies behind it.
  void adjustPalette(QPalette& palette) const override {
    if (!desc_.bordered) palette.setColor(QPalette::Base, Qt::transparent);
  }
  void update(const WidgetDescription& description) override {
    desc_ = std::get<TextEditorWidget>(description);
    const QString text = QString::fromStdString(desc_.text.get());
    if (edit_->toPlainText() != text) {
      setting_ = true;
      // Keep the caret where it was, as far as the new text reaches.
      const int caret = edit_->textCursor().position();
      edit_->setPlainText(text);
      QTextCursor c = edit_->textCursor();
      c.setPosition(std::min(caret, int(edit_->document()->characterCount()) - 1));
      edit_->setTextCursor(c);
      setting_ = false;
      if (desc_.growsWithContent && events_.sizeChanged) events_.sizeChanged();
    }
    edit_->setPlaceholderText(QString::fromStdString(desc_.placeholder));
    edit_->setReadOnly(!desc_.editable);
    edit_->setFrameShape(desc_.bordered ? QFrame::StyledPanel : QFrame::NoFrame);
    const auto policy = desc_.growsWithContent ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
    edit_->setVerticalScrollBarPolicy(policy);
    edit_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    if (!desc_.bordered) {
      edit_->setAutoFillBackground(false);
      edit_->viewport()->setAutoFillBackground(false);
      refreshPalette();
    }
    if (desc_.font) {
      const QFont font = QtFonts::shared().font(desc_.font->resolved());
      if (edit_->font() != font) {
        edit_->setFont(font);
        edit_->document()->setDefaultFont(font);
        if (desc_.growsWithContent && events_.sizeChanged) events_.sizeChanged();
      }
    }
  }
  std::optional<Size> sizeThatFits(ProposedSize p) const override {
    if (!desc_.growsWithContent) return std::nullopt;
    const double width = p.width.value_or(200);
    const int frame = edit_->frameWidth() * 2;
    QTextDocument* doc = edit_->document();
    const double before = doc->textWidth();
    doc->setTextWidth(std::max(1.0, width - frame));
    double height = std::ceil(doc->size().height()) + frame;
    doc->setTextWidth(before);
    height = std::max(height, desc_.minHeight);
    if (desc_.maxHeight) height = std::min(height, *desc_.maxHeight);
    return Size{width, height};
  }

 private:
  QPointer<QTextEdit> edit_;
  TextEditorWidget desc_;
  HostedWidgetEvents events_;
  bool setting_ = false;
};

class ComboWidget final : public QtHostedWidget {
 public:
  ComboWidget(QtWidgetFactory& f, QWidget* parent, const ComboBoxWidget& d)
      : QtHostedWidget(f), combo_(new QComboBox(parent)), desc_(d) {
    combo_->hide();
    // `activated` is the user's choice only; filling the list never writes the value.
    QObject::connect(combo_, &QComboBox::activated, [this](int index) {
      if (index >= 0 && index < int(desc_.items.size())) desc_.selection.set(desc_.items[index]);
    });
    update(d);
  }
  ~ComboWidget() override { delete combo_.data(); }
  QWidget* widget() const override { return combo_; }
  void update(const WidgetDescription& description) override {
    const auto& next = std::get<ComboBoxWidget>(description);
    const bool itemsChanged =
        next.items != desc_.items || combo_->count() != int(next.items.size());
    desc_ = next;
    QSignalBlocker block(combo_);
    if (itemsChanged) {
      combo_->clear();
      for (const auto& item : desc_.items) combo_->addItem(QString::fromStdString(item));
    }
    const std::string selected = desc_.selection.get();
    const auto it = std::find(desc_.items.begin(), desc_.items.end(), selected);
    if (it != desc_.items.end()) {
      combo_->setCurrentIndex(int(it - desc_.items.begin()));
    } else {
      combo_->setPlaceholderText(QString::fromStdString(selected));
      combo_->setCurrentIndex(-1);
    }
  }
  std::optional<Size> sizeThatFits(ProposedSize p) const override {
    const QSize hint = combo_->sizeHint();
    return Size{
        p.width ? std::max(double(hint.width()), std::min(*p.width, 1e6)) : double(hint.width()),
        double(hint.height())};
  }

 private:
  QPointer<QComboBox> combo_;
  ComboBoxWidget desc_;
};

}  // namespace

QtHostedWidget::~QtHostedWidget() {
  factory_->widgets_.erase(this);
}

void QtHostedWidget::focusMoved(bool focused, FocusMove move) {
  layerFocus_ = focused;
  QWidget* w = widget();
  if (!w) return;
  // The window's focus child, not hasFocus(): the window may not be active yet, and what it
  // holds is what gets the keyboard once it is.
  QWidget* current = w->window()->focusWidget();
  const bool holds = current && (current == w || w->isAncestorOf(current));
  if (focused && move != FocusMove::other) {
    // Styles draw the focus frame only after a focus change by keyboard.
    w->window()->setAttribute(Qt::WA_KeyboardFocusChange);
    w->setFocus(move == FocusMove::forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return;
  }
  if (focused && !holds) w->setFocus(Qt::OtherFocusReason);
  if (!focused && holds) w->parentWidget()->setFocus(Qt::OtherFocusReason);
}

void QtHostedWidget::setColorScheme(ColorScheme scheme) {
  scheme_ = scheme;
  refreshPalette();
}

void QtHostedWidget::refreshPalette() {
  QWidget* w = widget();
  if (!w || !scheme_) return;
  const QWidget* parent = w->parentWidget();
  QPalette palette = parent && schemeOf(parent->palette()) == *scheme_
                         ? parent->palette()
                         : schemePalette(*scheme_, *w->style());
  adjustPalette(palette);
  makePlaceholdersReadable(palette);
  if (!w->testAttribute(Qt::WA_SetPalette) || w->palette() != palette) w->setPalette(palette);
}

QtWidgetFactory::QtWidgetFactory(QWidget* parent, std::function<bool(const KeyEvent&)> keyFilter)
    : parent_(parent), keyFilter_(std::move(keyFilter)) {}

QtWidgetFactory::~QtWidgetFactory() = default;

std::unique_ptr<HostedWidget> QtWidgetFactory::make(const Identity&,
                                                    const WidgetDescription& description,
                                                    HostedWidgetEvents events) {
  std::unique_ptr<QtHostedWidget> made;
  if (auto* field = std::get_if<TextFieldWidget>(&description))
    made = std::make_unique<LineEditWidget>(*this, parent_, *field, events);
  else if (auto* editor = std::get_if<TextEditorWidget>(&description))
    made = std::make_unique<TextEditWidget>(*this, parent_, *editor, events);
  else
    made = std::make_unique<ComboWidget>(*this, parent_, std::get<ComboBoxWidget>(description));
  claimKeys(made->widget(), this, keyFilter_, events);
  return made;
}

}  // namespace ui::qt
