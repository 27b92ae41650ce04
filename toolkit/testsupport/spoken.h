#pragma once
// What a screen reader reads from a control, for the tests of every program.

#include <QAccessible>
#include <QWidget>

// The control's name as assistive technology receives it.
inline QString spokenName(const QWidget *control)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(const_cast<QWidget *>(control));
    return a ? a->text(QAccessible::Name) : QString();
}
