// Clicks a spot of a widget and picks a command, by its id, from the popup menu
// that the click opens. A menu that does not offer the command is closed.
#pragma once

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>

// True when a menu named `menuId` opened and the command was picked from it.
inline bool ClickAndPick(QWidget& target, const QPoint& spot, Qt::MouseButton button, int menuId, int command)
{
    bool picked = false;
    QTimer::singleShot(50, [&picked, menuId, command] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        const bool expected = menu->objectName() == QString::number(menuId);
        for (QAction* action : menu->actions()) {
            if (expected && action->data().toInt() == command) {
                menu->setActiveAction(action);
                QTest::keyClick(menu, Qt::Key_Return);
                picked = true;
                return;
            }
        }
        menu->close();
    });
    QTest::mouseClick(&target, button, {}, spot);
    return picked;
}
