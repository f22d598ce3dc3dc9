#include "calc/keyboard_filter.h"

#include <QKeyEvent>
#include <QMenuBar>

#include "calc/calc_engine.h"

namespace {

const KeyboardFilter* g_installed = nullptr;

CalcVirtualKey VirtualKey(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Backspace:
            return VKEY_BACKSPACE;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return VKEY_ENTER;
        case Qt::Key_Escape:
            return VKEY_ESCAPE;
        case Qt::Key_Delete:
            return VKEY_DELETE;
        case Qt::Key_F2:
            return VKEY_F2;
        case Qt::Key_F3:
            return VKEY_F3;
        case Qt::Key_F4:
            return VKEY_F4;
        case Qt::Key_F5:
            return VKEY_F5;
        case Qt::Key_F6:
            return VKEY_F6;
        case Qt::Key_F10:
            return VKEY_F10;
        default:
            return VKEY_OTHER;
    }
}

// Keys whose key-down meaning belongs to the dialog: focus movement, the
// Space press of the focused button, help, the context-menu key. They
// never reach the character map.
bool IsDialogKey(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Space:
        case Qt::Key_F1:
        case Qt::Key_Menu:
            return true;
        default:
            return false;
    }
}

// The character a key press types, 0 when it types none. With Ctrl held the
// platform delivers control codes or nothing; the key's own printable
// character is what the Ctrl rule consumes.
char32_t TypedCharacter(const QKeyEvent* event, bool ctrlDown) {
    const QString text = event->text();
    if (!text.isEmpty()) {
        const char32_t ch = text.toUcs4().value(0);
        if (ch >= 0x20 && ch != 0x7F) return ch;
        if (ctrlDown) return ch;  // a control code typed with Ctrl
        return 0;
    }
    if (ctrlDown && event->key() >= 0x20 && event->key() <= 0x7E)
        return static_cast<char32_t>(event->key());
    return 0;
}

}  // namespace

KeyboardFilter::KeyboardFilter(QWidget* window, std::function<unsigned()> radix,
                               std::function<void(int)> press)
    : m_window(window), m_radix(std::move(radix)), m_press(std::move(press)) {}

void KeyboardFilter::Install(const KeyboardFilter* filter) { g_installed = filter; }

const KeyboardFilter* KeyboardFilter::Installed() { return g_installed; }

bool KeyboardFilter::Filter(QObject* receiver, QEvent* event) const {
    if (event->type() != QEvent::KeyPress || m_window == nullptr || !receiver->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(receiver);
    // The menu bar in keyboard mode (after Alt) keeps its own keys.
    if (qobject_cast<QMenuBar*>(widget) != nullptr || widget->window() != m_window) return false;
    return FilterKey(static_cast<QKeyEvent*>(event));
}

bool KeyboardFilter::FilterKey(const QKeyEvent* event) const {
    KeyMapping mapping = MapKeyDown(VirtualKey(event->key()));
    if (mapping.action == KeyMapping::PASS_ON) {
        const Qt::KeyboardModifiers mods = event->modifiers();
        // Alt combinations are mnemonics and menu keys, not characters.
        if (mods & Qt::AltModifier) return false;
        if (IsDialogKey(event->key())) return false;
        const bool ctrlDown = (mods & Qt::ControlModifier) != 0;
        const char32_t ch = TypedCharacter(event, ctrlDown);
        if (ch == 0) return false;
        mapping = MapCharacter(ch, ctrlDown, m_radix());
    }
    switch (mapping.action) {
        case KeyMapping::PASS_ON:
            return false;
        case KeyMapping::CONSUME:
            return true;
        case KeyMapping::PRESS:
            m_press(mapping.buttonId);
            return true;
    }
    return false;
}
