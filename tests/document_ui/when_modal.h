#pragma once
// Answers the next modal dialog once it is up: `answer` runs inside its event
// loop. Waits for it, since the clicks that open it let events run first.

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>

inline void WhenModal(std::function<void(QWidget*)> answer, int triesLeft = 100) {
    QTimer::singleShot(triesLeft == 100 ? 0 : 10, [answer = std::move(answer), triesLeft]() mutable {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && triesLeft > 0)
            return WhenModal(std::move(answer), triesLeft - 1);
        ASSERT_NE(modal, nullptr);
        answer(modal);
    });
}
