#pragma once
// Answers the modal windows that a test expects, in order, from a timer that
// polls QApplication::activeModalWidget(). A message box that no step expects
// is recorded as unexpected and dismissed (the watchdog); after the deadline
// every modal window is closed, so a failing test ends instead of hanging.
// Only the newest script alive answers; scripts are meant to be nested in
// scopes (the newest is destroyed first).

#include <QDialog>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QElapsedTimer>
#include <deque>
#include <functional>
#include <string>
#include <vector>

class QMessageBox;

/// One expected modal window and what to do with it (the action closes it).
struct ModalStep {
    std::string what;                      ///< shown in failure messages
    std::function<bool(QWidget*)> matches; ///< is this the expected window?
    std::function<void(QWidget*)> act;     ///< answer it; must close it
};

/// A message box with exactly `text` (a "\r" in it is a line break on screen);
/// `whileOpen` runs while it is open, then OK is pressed.
ModalStep ExpectBox(const std::string& text, std::function<void()> whileOpen = {});

/// A modal dialog of type T; `act` gets it and must close it.
template <class T>
ModalStep ExpectDialog(std::string what, std::function<void(T*)> act) {
    return ModalStep{std::move(what),
                     [](QWidget* w) { return qobject_cast<T*>(w) != nullptr; },
                     [act](QWidget* w) { act(qobject_cast<T*>(w)); }};
}

class ModalScript : public QObject {
    Q_OBJECT
public:
    explicit ModalScript(std::vector<ModalStep> steps, int deadlineMs = 60000);
    ~ModalScript() override;

    /// Adds a step at the end (also while the script runs).
    void Append(ModalStep step);
    /// True when every step has been answered.
    bool Done() const { return m_steps.empty(); }
    /// What is still expected, for failure messages.
    std::string Pending() const;
    /// Texts of every message box seen, expected or not, in order.
    const std::vector<std::string>& Seen() const { return m_seen; }
    /// Descriptions of the boxes nobody expected, and a missed deadline.
    const std::vector<std::string>& Unexpected() const { return m_unexpected; }

    /// Runs the event loop until Done() or the deadline.
    bool WaitDone();

private:
    void Poll();

    std::deque<ModalStep> m_steps;
    std::vector<std::string> m_seen;
    std::vector<std::string> m_unexpected;
    QTimer m_timer;
    QElapsedTimer m_clock;
    int m_deadlineMs;
    bool m_expired = false;
    ModalScript* m_previous = nullptr;
};

/// The text of a message box as the tests compare it ("\n" for every line break).
std::string BoxText(const QMessageBox* box);
/// Presses the OK (or only) button of a message box.
void PressOk(QMessageBox* box);
