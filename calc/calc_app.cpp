#include "calc/calc_app.h"

#include <QFont>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenuBar>
#include <QTranslator>

#include "calc/calc_dlg.h"
#include "calc/calc_engine.h"

namespace {

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

CalcApp::CalcApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("kalvora"));
    setApplicationDisplayName(QString::fromUtf8(APP_TITLE));
    setApplicationVersion(QStringLiteral("0.70"));
    setDesktopFileName(QStringLiteral("kalvora"));

    // The program speaks Japanese: Qt's own texts (edit menus, box buttons) too.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    m_qtTranslator = new QTranslator(this);
    if (m_qtTranslator->load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"),
                             QStringLiteral("_"),
                             QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(m_qtTranslator);

    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                      QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP"),
                      QStringLiteral("VL PGothic"), QStringLiteral("TakaoPGothic")});
    font.setPointSize(9);
    QApplication::setFont(font);

    InstallMessageBoxPresenter(&m_presenter);
}

CalcApp::~CalcApp() {
    if (InstalledMessageBoxPresenter() == &m_presenter) InstallMessageBoxPresenter(nullptr);
}

CalcApp* CalcApp::Instance() { return qobject_cast<CalcApp*>(QCoreApplication::instance()); }

bool CalcApp::InitInstance(CalcDlg& dlg) {
    m_mainWindow = nullptr;
    dlg.Engine().OnStartUp();
    dlg.exec();
    m_mainWindow = nullptr;
    return false;
}

bool CalcApp::notify(QObject* receiver, QEvent* event) {
    if (event->type() == QEvent::KeyPress && m_mainWindow != nullptr && receiver->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(receiver);
        // The menu bar in keyboard mode (after Alt) keeps its own keys.
        const bool menuBar = qobject_cast<QMenuBar*>(widget) != nullptr;
        if (!menuBar && widget->window() == m_mainWindow &&
            FilterKey(static_cast<QKeyEvent*>(event)))
            return true;
    }
    return QApplication::notify(receiver, event);
}

bool CalcApp::FilterKey(QKeyEvent* event) {
    auto* dlg = qobject_cast<CalcDlg*>(m_mainWindow.data());
    if (dlg == nullptr) return false;

    KeyMapping mapping = MapKeyDown(VirtualKey(event->key()));
    if (mapping.action == KeyMapping::PASS_ON) {
        const Qt::KeyboardModifiers mods = event->modifiers();
        // Alt combinations are mnemonics and menu keys, not characters.
        if (mods & Qt::AltModifier) return false;
        if (IsDialogKey(event->key())) return false;
        const bool ctrlDown = (mods & Qt::ControlModifier) != 0;
        const char32_t ch = TypedCharacter(event, ctrlDown);
        if (ch == 0) return false;
        mapping = MapCharacter(ch, ctrlDown, dlg->Engine().m_radix);
    }
    switch (mapping.action) {
        case KeyMapping::PASS_ON:
            return false;
        case KeyMapping::CONSUME:
            return true;
        case KeyMapping::PRESS:
            dlg->PressButton(mapping.buttonId);
            return true;
    }
    return false;
}
