#pragma once

#include <QAccessible>
#include <QAccessibleInterface>
#include <QStringList>
#include <QWidget>
#include <algorithm>

// What a screen reader finds in a window: every control the user can operate (buttons, boxes,
// sliders, fields, lists) that the window shows, walked through the accessibility tree as an
// assistive technology walks it. A control "reads with a name" when its accessible name holds
// at least one letter or digit: "▶" or "+" alone say nothing.

namespace AccessibleNames {

inline bool IsControl(QAccessible::Role role) {
    switch (role) {
    case QAccessible::Button:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::ScrollBar:
    case QAccessible::EditableText:
    case QAccessible::Table:
    case QAccessible::List:
    case QAccessible::Dial:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
        return true;
    default:
        return false;
    }
}

inline bool SaysSomething(const QString& name) {
    return std::any_of(name.begin(), name.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

// Shown as part of `window`: hidden panels and a scroll area's unneeded scroll bars are not.
inline bool ShownIn(const QAccessibleInterface& control, const QWidget& window) {
    const auto* widget = qobject_cast<const QWidget*>(control.object());
    return !widget || widget == &window || widget->isVisibleTo(&window);
}

inline void CollectUnnamed(QAccessibleInterface* node, const QWidget& window, QStringList& out,
                           int depth = 0) {
    if (!node || depth > 30 || !ShownIn(*node, window))
        return;
    if (IsControl(node->role()) && !SaysSomething(node->text(QAccessible::Name))) {
        const QObject* object = node->object();
        QString where = object ? object->objectName() : QString();
        for (const QObject* up = object ? object->parent() : nullptr; up && where.isEmpty();
             up = up->parent())
            where = up->objectName() + "/?";
        out << QString("%1 %2 '%3'").arg(window.objectName(), where, node->text(QAccessible::Name));
    }
    for (int i = 0; i < node->childCount(); ++i)
        CollectUnnamed(node->child(i), window, out, depth + 1);
}

// The controls of `window` that a screen reader could not name, as "window control 'name'".
inline QStringList ControlsWithoutName(QWidget& window) {
    QStringList unnamed;
    CollectUnnamed(QAccessible::queryAccessibleInterface(&window), window, unnamed);
    return unnamed;
}

} // namespace AccessibleNames
