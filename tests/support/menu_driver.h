#pragma once
// Opens menus the way a user does: a click on the menu bar title, then a
// click on the submenu's item. Returns false when the menu did not come up
// or does not take input.

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

inline bool IsOpen(const QMenu* menu) {
    return QTest::qWaitFor([menu] { return menu->isVisible(); }, 1000) && menu->isEnabled();
}

inline bool OpenFromMenuBar(QMenuBar* bar, QMenu* menu) {
    const QRect title = bar->actionGeometry(menu->menuAction());
    if (title.isEmpty())
        return false;
    QTest::mouseClick(bar, Qt::LeftButton, {}, title.center());
    return IsOpen(menu);
}

inline bool OpenSubmenu(QMenu* parent, QMenu* submenu) {
    const QRect item = parent->actionGeometry(submenu->menuAction());
    if (item.isEmpty())
        return false;
    QTest::mouseMove(parent, item.center());
    QTest::mouseClick(parent, Qt::LeftButton, {}, item.center());
    return IsOpen(submenu);
}

// Clicks item `index` of an open menu; false when it is out of range or
// disabled.
inline bool ClickItem(QMenu* menu, int index) {
    if (index < 0 || index >= menu->actions().size() || !menu->actions()[index]->isEnabled())
        return false;
    const QRect item = menu->actionGeometry(menu->actions()[index]);
    QTest::mouseMove(menu, item.center());
    QTest::mouseClick(menu, Qt::LeftButton, {}, item.center());
    return true;
}

// Closes every open popup.
inline void CloseMenus() {
    while (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
}
