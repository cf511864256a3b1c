#include "ui/qt/ViewAccessibility.h"

#include <QAccessibleWidget>
#include <QLineEdit>
#include <QTextEdit>
#include <QWidget>
#include <QWindow>

#include "ui/qt/QtWidgetFactory.h"
#include "ui/qt/ViewWidget.h"

namespace ui::qt {
namespace {

QAccessible::Role qtRole(AccessibilityRole role) {
  switch (role) {
    case AccessibilityRole::button:
      return QAccessible::PushButton;
    case AccessibilityRole::checkBox:
      return QAccessible::CheckBox;
    case AccessibilityRole::radioButton:
      return QAccessible::RadioButton;
    case AccessibilityRole::staticText:
      return QAccessible::StaticText;
    case AccessibilityRole::heading:
      return QAccessible::Heading;
    case AccessibilityRole::list:
      return QAccessible::List;
    case AccessibilityRole::listItem:
      return QAccessible::ListItem;
    case AccessibilityRole::link:
      return QAccessible::Link;
    case AccessibilityRole::image:
      return QAccessible::Graphic;
    // Read-only text a reader reads with its caret: "text" on the bus.
    case AccessibilityRole::text:
      return QAccessible::EditableText;
    case AccessibilityRole::group:
    case AccessibilityRole::none:
    case AccessibilityRole::hostedWidget:
      break;
  }
  return QAccessible::Grouping;
}

QAccessible::State qtState(const AccessibilityDescription& d) {
  QAccessible::State s;
  s.focusable = d.focusable;
  s.focused = d.focused;
  s.disabled = !d.enabled;
  if (d.checked) {
    s.checkable = true;
    s.checked = *d.checked;
  }
  if (d.selected) {
    s.selectable = true;
    s.selected = *d.selected;
  }
  if (d.role == AccessibilityRole::text) {
    s.readOnly = true;
    s.multiLine = true;
  }
  if (d.role == AccessibilityRole::link) s.linked = true;
  return s;
}

// The interface of one element. Its children and description are asked of the element every
// time (a frame may have changed them); the tree keeps what it last told the reader.
class ElementInterface final : public QAccessibleInterface,
                               public QAccessibleActionInterface,
                               public QAccessibleTextInterface {
 public:
  ElementInterface(AccessibleTree& tree, AccessibleElement element)
      : tree_(tree), element_(std::move(element)) {}

  const AccessibleElement& element() const { return element_; }
  AccessibilityDescription told;

  bool isValid() const override { return element_.isValid(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return tree_.view().window()->windowHandle(); }
  QAccessibleInterface* parent() const override {
    const AccessibleElement p = element_.parent();
    if (!p.isValid()) return nullptr;
    if (p.isRoot()) return tree_.viewInterface();
    return tree_.interfaceFor(p);
  }
  QAccessibleInterface* child(int index) const override {
    const auto& children = tree_.childrenOf(element_);
    if (index < 0 || index >= int(children.size())) return nullptr;
    return tree_.interfaceFor(children[std::size_t(index)]);
  }
  int childCount() const override { return int(tree_.childrenOf(element_).size()); }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto& children = tree_.childrenOf(element_);
    for (std::size_t i = 0; i < children.size(); ++i)
      if (tree_.interfaceFor(children[i]) == child) return int(i);
    return -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const auto& children = tree_.childrenOf(element_);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      QAccessibleInterface* c = tree_.interfaceFor(*it);
      if (c && c->rect().contains(x, y)) return c;
    }
    return nullptr;
  }
  QString text(QAccessible::Text t) const override {
    const AccessibilityDescription d = element_.describe();
    switch (t) {
      case QAccessible::Name:
        return QString::fromStdString(d.name);
      case QAccessible::Description:
      case QAccessible::Value:
        return QString::fromStdString(d.value);
      default:
        return {};
    }
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    const auto frame = element_.frame();
    if (!frame) return {};
    const QRect local = QRectF(frame->x, frame->y, frame->width, frame->height).toAlignedRect();
    return QRect(tree_.view().mapToGlobal(local.topLeft()), local.size());
  }
  QAccessible::Role role() const override { return qtRole(element_.describe().role); }
  QAccessible::State state() const override {
    QAccessible::State s = qtState(element_.describe());
    if (!tree_.view().isVisible()) s.invisible = true;
    return s;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ActionInterface) return static_cast<QAccessibleActionInterface*>(this);
    if (type == QAccessible::TextInterface && element_.describe().hasText)
      return static_cast<QAccessibleTextInterface*>(this);
    return nullptr;
  }

  // Pressing, toggling and taking the focus.
  QStringList actionNames() const override {
    const AccessibilityDescription d = element_.describe();
    QStringList names;
    if (d.actionable && d.enabled)
      names << (d.role == AccessibilityRole::checkBox ? toggleAction() : pressAction());
    if (d.focusable && d.enabled) names << setFocusAction();
    return names;
  }
  void doAction(const QString& name) override {
    if (name == pressAction() || name == toggleAction())
      element_.perform();
    else if (name == setFocusAction())
      element_.focus();
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

  // The whole text of a message, made once a frame however often the reader asks; nothing of
  // it is selected or has a caret.
  QString wholeText() const {
    const std::uint64_t frame = tree_.view().host().frameCount();
    if (!textRead_ || textFrame_ != frame) {
      toldText = element_.text();
      text_ = QString::fromStdString(toldText);
      textFrame_ = frame;
      textRead_ = true;
    }
    return text_;
  }
  bool textRead() const { return textRead_; }
  // The text as the reader last read it.
  mutable std::string toldText;
  void selection(int, int* start, int* end) const override { *start = *end = 0; }
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  QString text(int start, int end) const override {
    const QString all = wholeText();
    start = std::clamp(start, 0, int(all.size()));
    end = end < 0 ? int(all.size()) : std::clamp(end, start, int(all.size()));
    return all.mid(start, end - start);
  }
  int characterCount() const override { return int(wholeText().size()); }
  QRect characterRect(int) const override { return {}; }
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int, int) override {}
  QString attributes(int offset, int* start, int* end) const override {
    *start = *end = offset;
    return {};
  }

 private:
  AccessibleTree& tree_;
  AccessibleElement element_;
  mutable bool textRead_ = false;
  mutable std::uint64_t textFrame_ = 0;
  mutable QString text_;
};

// The view widget: its children are the tree's top elements, not its Qt children.
class ViewWidgetInterface final : public QAccessibleWidget {
 public:
  explicit ViewWidgetInterface(ViewWidget* view) : QAccessibleWidget(view, QAccessible::Pane) {}
  ViewWidget* view() const { return static_cast<ViewWidget*>(widget()); }
  AccessibleElement root() const { return view()->host().accessibleRoot(); }
  QAccessibleInterface* child(int index) const override {
    const auto& children = view()->accessibleTree().childrenOf(root());
    if (index < 0 || index >= int(children.size())) return nullptr;
    return view()->accessibleTree().interfaceFor(children[std::size_t(index)]);
  }
  int childCount() const override {
    return int(view()->accessibleTree().childrenOf(root()).size());
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto& children = view()->accessibleTree().childrenOf(root());
    for (std::size_t i = 0; i < children.size(); ++i)
      if (view()->accessibleTree().interfaceFor(children[i]) == child) return int(i);
    return -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const auto& children = view()->accessibleTree().childrenOf(root());
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      QAccessibleInterface* c = view()->accessibleTree().interfaceFor(*it);
      if (c && c->rect().contains(x, y)) return c;
    }
    return nullptr;
  }
};

QAccessibleInterface* factory(const QString&, QObject* object) {
  if (!object || !object->isWidgetType()) return nullptr;
  auto* widget = static_cast<QWidget*>(object);
  if (auto* view = dynamic_cast<ViewWidget*>(widget)) return new ViewWidgetInterface(view);
  // A window of ours is a plain QWidget, which Qt would call a filler: a window, named by its
  // title.
  if (widget->isWindow() && std::string_view(widget->metaObject()->className()) == "QWidget" &&
      widget->findChild<ViewWidget*>())
    return new QAccessibleWidget(widget, QAccessible::Window);
  return nullptr;
}

}  // namespace

void installViewAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(factory);
    return true;
  }();
  (void)installed;
}

AccessibleTree::AccessibleTree(ViewWidget& view) : view_(view) {}

AccessibleTree::~AccessibleTree() {
  for (const auto& [key, id] : made_) QAccessible::deleteAccessibleInterface(id);
}

QAccessibleInterface* AccessibleTree::viewInterface() const {
  return QAccessible::queryAccessibleInterface(&view_);
}

QAccessibleInterface* AccessibleTree::interfaceFor(const AccessibleElement& element) {
  if (!element.isValid()) return nullptr;
  if (element.isRoot()) return viewInterface();
  if (HostedWidget* hosted = element.hostedWidget()) {
    auto* w = dynamic_cast<QtHostedWidget*>(hosted);
    QWidget* widget = w ? w->widget() : nullptr;
    if (!widget) return nullptr;
    // Named by the view's label, else (a field) by its placeholder, as its title.
    QString name = QString::fromStdString(element.describe().name);
    if (auto* line = qobject_cast<QLineEdit*>(widget); line && name.isEmpty())
      name = line->placeholderText();
    if (auto* editor = qobject_cast<QTextEdit*>(widget); editor && name.isEmpty())
      name = editor->placeholderText();
    if (widget->accessibleName() != name) widget->setAccessibleName(name);
    return QAccessible::queryAccessibleInterface(widget);
  }
  const Key key = keyOf(element);
  if (auto it = made_.find(key); it != made_.end())
    if (QAccessibleInterface* iface = QAccessible::accessibleInterface(it->second)) return iface;
  auto* iface = new ElementInterface(*this, element);
  // What the reader will read from it now: changes are told against this.
  iface->told = element.describe();
  made_[key] = QAccessible::registerAccessibleInterface(iface);
  return iface;
}

const std::vector<AccessibleElement>& AccessibleTree::childrenOf(const AccessibleElement& element) {
  Listed& listed = listed_[keyOf(element)];
  const std::uint64_t frame = view_.host().frameCount();
  if (listed.frame != frame || listed.children.empty()) {
    listed.children = element.children();
    listed.frame = frame;
  }
  return listed.children;
}

void AccessibleTree::focusMoved() {
  if (!QAccessible::isActive()) return;
  const AccessibleElement focused = view_.host().focusedAccessibleElement();
  // A hosted widget's own focus is told by Qt.
  if (!focused.isValid() || focused.hostedWidget()) return;
  if (QAccessibleInterface* iface = interfaceFor(focused)) {
    if (auto* element = dynamic_cast<ElementInterface*>(iface)) element->told = focused.describe();
    QAccessibleEvent event(iface, QAccessible::Focus);
    QAccessible::updateAccessibility(&event);
  }
}

void AccessibleTree::frameSettled() {
  if (!QAccessible::isActive()) return;
  std::vector<std::pair<QAccessibleInterface*, QAccessible::Event>> events;
  std::vector<std::unique_ptr<QAccessibleEvent>> stateEvents;
  // Lists the reader has read and that changed: once for each, whatever changed inside.
  for (auto it = listed_.begin(); it != listed_.end();) {
    auto& [key, listed] = *it;
    QAccessibleInterface* owner = nullptr;
    if (key.first == view_.host().accessibleRoot().key() && key.second < 0)
      owner = viewInterface();
    else if (auto made = made_.find(key); made != made_.end())
      owner = QAccessible::accessibleInterface(made->second);
    if (!owner || !owner->isValid()) {
      it = listed_.erase(it);
      continue;
    }
    const AccessibleElement element = owner == viewInterface()
                                          ? view_.host().accessibleRoot()
                                          : static_cast<ElementInterface*>(owner)->element();
    std::vector<AccessibleElement> now = element.children();
    if (now != listed.children) {
      listed.children = std::move(now);
      events.emplace_back(owner, QAccessible::ObjectReorder);
    }
    listed.frame = view_.host().frameCount();
    ++it;
  }
  // What the reader was told of each element, against what it is now.
  std::vector<QAccessible::Id> gone;
  for (const auto& [key, id] : made_) {
    auto* iface = static_cast<ElementInterface*>(QAccessible::accessibleInterface(id));
    if (!iface || !iface->isValid()) {
      gone.push_back(id);
      continue;
    }
    const AccessibilityDescription now = iface->element().describe();
    const AccessibilityDescription before = std::exchange(iface->told, now);
    if (now.name != before.name) events.emplace_back(iface, QAccessible::NameChanged);
    if (now.value != before.value) events.emplace_back(iface, QAccessible::DescriptionChanged);
    QAccessible::State changed;
    changed.checked = now.checked != before.checked;
    changed.selected = now.selected != before.selected;
    changed.disabled = now.enabled != before.enabled;
    changed.focused = now.focused != before.focused;
    if (changed.checked || changed.selected || changed.disabled || changed.focused)
      stateEvents.push_back(std::make_unique<QAccessibleStateChangeEvent>(iface, changed));
    // A text the reader read: what changed in it since.
    if (!now.hasText || !iface->textRead()) continue;
    const std::string earlier = iface->toldText;
    const std::string after = iface->wholeText().toStdString();
    if (after != earlier) {
      // A streamed answer grows at its end: only what came is new.
      if (after.size() > earlier.size() && after.compare(0, earlier.size(), earlier) == 0) {
        const QString added = QString::fromStdString(after.substr(earlier.size()));
        stateEvents.push_back(std::make_unique<QAccessibleTextInsertEvent>(
            iface, int(QString::fromStdString(earlier).size()), added));
      } else {
        stateEvents.push_back(std::make_unique<QAccessibleTextUpdateEvent>(
            iface, 0, QString::fromStdString(earlier), QString::fromStdString(after)));
      }
    }
  }
  for (QAccessible::Id id : gone) {
    for (auto it = made_.begin(); it != made_.end(); ++it)
      if (it->second == id) {
        listed_.erase(it->first);
        made_.erase(it);
        break;
      }
    QAccessible::deleteAccessibleInterface(id);
  }
  for (auto& [iface, type] : events) {
    QAccessibleEvent event(iface, type);
    QAccessible::updateAccessibility(&event);
  }
  for (auto& event : stateEvents) QAccessible::updateAccessibility(event.get());
}

}  // namespace ui::qt
