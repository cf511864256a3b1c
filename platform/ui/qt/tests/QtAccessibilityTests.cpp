#include <gtest/gtest.h>

#include <QAccessible>
#include <QLineEdit>

#include "QtTestSupport.h"
#include "ui/Views.h"
#include "ui/qt/ViewAccessibility.h"
#include "ui/qt/ViewWidget.h"

namespace ui::qt {
namespace {

QAccessibleInterface* childNamed(QAccessibleInterface* parent, const QString& name) {
  for (int i = 0; i < parent->childCount(); ++i) {
    QAccessibleInterface* c = parent->child(i);
    if (!c) continue;
    if (c->text(QAccessible::Name) == name) return c;
    if (QAccessibleInterface* inside = childNamed(c, name)) return inside;
  }
  return nullptr;
}

// The interfaces Qt hands a screen reader, read without a bus.
TEST(QtAccessibility, ElementsAreInterfacesWithRolesStatesActionsAndTheWholeText) {
  testing::app();
  bool on = false;
  int pressed = 0;
  std::string field = "sk";
  auto message = std::make_shared<const std::string>("The whole answer, longer than drawn.");
  auto content = [&] {
    return VStack(
        {Button([&] { ++pressed; }, Text::verbatim("Open Prompt Editor")).focusable("open"),
         Toggle(Binding<bool>([&] { return on; }, [&](bool v) { on = v; }), Text::verbatim("Wrap")),
         TextField("key", "OpenAI API Key:",
                   Binding<std::string>([&] { return field; },
                                        [&](std::string v) { field = std::move(v); })),
         AnyView(Text::verbatim("The whole")).accessibilityText([message] { return *message; })});
  };
  ViewWidget view(content());
  view.resize(400, 300);
  view.show();
  view.settle();

  QAccessibleInterface* root = QAccessible::queryAccessibleInterface(&view);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->role(), QAccessible::Pane);
  ASSERT_EQ(root->childCount(), 4);

  QAccessibleInterface* button = root->child(0);
  EXPECT_EQ(button->role(), QAccessible::PushButton);
  EXPECT_EQ(button->text(QAccessible::Name), "Open Prompt Editor");
  EXPECT_TRUE(button->state().focusable);
  EXPECT_EQ(root->indexOfChild(button), 0);
  EXPECT_EQ(button->parent(), root);
  ASSERT_NE(button->actionInterface(), nullptr);
  EXPECT_EQ(button->actionInterface()->actionNames(),
            (QStringList{QAccessibleActionInterface::pressAction(),
                         QAccessibleActionInterface::setFocusAction()}));
  button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(pressed, 1);
  const QRect r = button->rect();
  EXPECT_EQ(r.topLeft(), view.mapToGlobal(QPoint(0, 0)) + r.topLeft() - view.mapToGlobal(QPoint()));
  EXPECT_GT(r.width(), 0);

  QAccessibleInterface* box = root->child(1);
  EXPECT_EQ(box->role(), QAccessible::CheckBox);
  EXPECT_TRUE(box->state().checkable);
  EXPECT_FALSE(box->state().checked);
  box->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
  EXPECT_TRUE(on);
  view.setRoot(content());
  view.settle();
  EXPECT_TRUE(box->state().checked);  // the same interface, reading the new tree

  // A hosted field is Qt's own, named by its title.
  QAccessibleInterface* key = root->child(2);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->object(), view.findChild<QLineEdit*>());
  EXPECT_EQ(key->text(QAccessible::Name), "OpenAI API Key:");

  QAccessibleInterface* text = root->child(3);
  EXPECT_EQ(text->role(), QAccessible::EditableText);
  EXPECT_TRUE(text->state().readOnly);
  ASSERT_NE(text->textInterface(), nullptr);
  EXPECT_EQ(text->textInterface()->text(0, -1), QString::fromStdString(*message));
  EXPECT_EQ(text->textInterface()->characterCount(), int(message->size()));
  EXPECT_EQ(childNamed(root, "The whole"), text->child(0));
}

TEST(QtAccessibility, AnElementsInterfaceGoesWithItsView) {
  testing::app();
  bool shown = true;
  auto content = [&] {
    return VStack({If(shown, Button("Stop", [] {})), Text::verbatim("Answer")});
  };
  ViewWidget view(content());
  view.resize(200, 100);
  view.settle();
  QAccessibleInterface* root = QAccessible::queryAccessibleInterface(&view);
  QAccessibleInterface* stop = root->child(0);
  ASSERT_NE(stop, nullptr);
  const QAccessible::Id id = QAccessible::uniqueId(stop);
  shown = false;
  view.setRoot(content());
  view.settle();
  EXPECT_FALSE(stop->isValid());
  EXPECT_EQ(root->childCount(), 1);
  EXPECT_EQ(root->child(0)->text(QAccessible::Name), "Answer");
  (void)id;
}

}  // namespace
}  // namespace ui::qt
