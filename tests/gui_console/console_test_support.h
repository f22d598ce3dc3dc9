#pragma once
// Shared helpers of the console's GUI tests: finding controls by id,
// snapshots of the enabled controls, a shown and active dialog.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QWidget>
#include <set>
#include <string>

#include "widgets/dialog_support.h"

/// The control `id` of `root` as T; fails the test when it is missing.
template <class T = QWidget>
T* Ctl(QWidget* root, int id) {
    T* w = FindControlAs<T>(root, id);
    EXPECT_NE(w, nullptr) << "no control " << id;
    return w;
}

/// Shows `dialog` without a modal loop and makes it the active window, so
/// focus moves behave as for a user.
inline void ShowActive(QWidget* dialog) {
    dialog->show();
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
}

/// Ids of the controls among `ids` that are enabled now.
inline std::set<int> EnabledAmong(QWidget* root, const std::set<int>& ids) {
    std::set<int> enabled;
    for (int id : ids) {
        QWidget* w = FindControl(root, id);
        if (w && w->isEnabled()) enabled.insert(id);
    }
    return enabled;
}

inline std::string IdsText(const std::set<int>& ids) {
    std::string s;
    for (int id : ids) s += std::to_string(id) + " ";
    return s;
}

/// Replaces the text of an edit as typing would (select all, then keys).
inline void TypeInto(QLineEdit* edit, const QString& text) {
    edit->setFocus(Qt::TabFocusReason);
    edit->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(edit, Qt::Key_Delete);
    } else {
        QTest::keyClicks(edit, text);
    }
}
