#pragma once
// KeyboardFilter: the main window's keyboard map (MapKeyDown, MapCharacter)
// applied to Qt key presses. The application offers it every event it
// delivers (CalcApp::notify); the filter acts only on key presses addressed
// to its window or one of its children, and turns the mapped keys into
// button presses through the callback it was given. The window installs its
// filter once initialised and removes it when it goes.

#include <QPointer>
#include <QWidget>
#include <functional>

class QEvent;
class QKeyEvent;

class KeyboardFilter {
public:
    /// `radix` tells which digits the keys may type; `press` presses the
    /// button with the given id as a key does.
    KeyboardFilter(QWidget* window, std::function<unsigned()> radix, std::function<void(int)> press);

    /// Applies the map to `event` addressed to `receiver`; true when the key is consumed.
    bool Filter(QObject* receiver, QEvent* event) const;

    /// The filter the application consults (nullptr: none).
    static void Install(const KeyboardFilter* filter);
    static const KeyboardFilter* Installed();

private:
    bool FilterKey(const QKeyEvent* event) const;

    QPointer<QWidget> m_window;
    std::function<unsigned()> m_radix;
    std::function<void(int)> m_press;
};
