#pragma once
// Qt test support, shared by every GUI test (one test main, qt_main.cpp):
//
//  * ModalScript answers the modal windows a test expects, in order:
//        ModalScript script({ExpectBox("素数です"), ExpectDialog<RhoSettingsDlg>("rho", [](auto* d) { d->accept(); })});
//        ...                                  // code that opens them
//        EXPECT_TRUE(script.WaitDone());      // runs the event loop until all are answered
//    A box no step expects fails the test and is dismissed. Without a live
//    script, the test main's watchdog fails the test on any modal window and
//    closes it; past a test's deadline it closes every modal window, so a
//    fault makes a test fail instead of hanging it.
//  * DumpWidgets / MatchesGolden: the texts, ids and states of a window's
//    controls and menus, one line each, against tests/gui/golden/NAME.txt
//    (KALVORA_UPDATE_GOLDEN=1 writes the files).
//  * Ctl<T>(root, id), TypeInto(edit, text), ShowActive(window).

#include <gtest/gtest.h>

#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "widgets/dialog_support.h"

class QMessageBox;

/// One expected modal window and what to do with it (the action must close it).
struct ModalStep {
    std::string what;                       ///< shown in failure messages
    std::function<bool(QWidget*)> matches;  ///< is this the expected window?
    std::function<void(QWidget*)> act;      ///< answer it
};

/// A message box with exactly `text` ("\r" and "\n" both count as a line
/// break) and `caption` (any when empty); `whileOpen` runs while it is open,
/// then OK is pressed.
ModalStep ExpectBox(const std::string& text, std::function<void()> whileOpen = {},
                    const std::string& caption = "");

/// A modal dialog of type T; `act` gets it and must close it.
template <class T>
ModalStep ExpectDialog(std::string what, std::function<void(T*)> act) {
    return ModalStep{std::move(what), [](QWidget* w) { return qobject_cast<T*>(w) != nullptr; },
                     [act](QWidget* w) { act(qobject_cast<T*>(w)); }};
}

class ModalScript : public QObject {
public:
    explicit ModalScript(std::vector<ModalStep> steps = {});
    ~ModalScript() override;

    void Append(ModalStep step) { m_steps.push_back(std::move(step)); }
    bool Done() const { return m_steps.empty(); }
    /// What is still expected.
    std::string Pending() const;
    /// Runs the event loop until every step is answered or `ms` have passed.
    bool WaitDone(int ms = 20000);
    /// Whether a script is answering now (the watchdog stands aside then).
    static bool Active();

private:
    void Poll();

    std::deque<ModalStep> m_steps;
    QSet<QWidget*> m_answering;  ///< windows whose answer is under way
    QTimer m_timer;
    ModalScript* m_previous = nullptr;
};

/// The text of a message box ("\n" for every line break).
std::string BoxText(const QMessageBox* box);
/// Closes a modal window: OK (or the only button) of a box, reject for a dialog.
void CloseModal(QWidget* w);

/// One line per control under `root` (depth first, in creation order) and per
/// menu item: class, id, text and state (disabled, hidden, checked).
std::string DumpWidgets(QWidget* root);
/// Compares `dump` with the golden file NAME.txt; the message shows the first difference.
::testing::AssertionResult MatchesGolden(const std::string& name, const std::string& dump);

/// The control `id` of `root` as T; fails the test when it is missing.
template <class T = QWidget>
T* Ctl(QWidget* root, int id) {
    T* w = FindControlAs<T>(root, id);
    EXPECT_NE(w, nullptr) << "no control " << id;
    return w;
}

/// Replaces the text of an edit as typing would (focus, select all, keys).
void TypeInto(QLineEdit* edit, const QString& text);
/// Shows `window` and makes it the active window.
void ShowActive(QWidget* window);
