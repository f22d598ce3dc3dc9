#include "calc/calc_app.h"

#include <QClipboard>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "calc/calc_dlg.h"
#include "calc/keyboard_filter.h"
#include "widgets/screen_fit.h"

CalcApp::CalcApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("kalvora"));
    // No display name: the window system would append it to every caption.
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
    // Every window, at any scale, opens inside the screen.
    ScreenFitter::Install(this);
}

CalcApp::~CalcApp() {
    if (InstalledMessageBoxPresenter() == &m_presenter) InstallMessageBoxPresenter(nullptr);
}

bool CalcApp::InitInstance(CalcDlg& dlg) {
    KeyboardFilter::Install(nullptr);
    dlg.Engine().OnStartUp();
    dlg.exec();
    KeyboardFilter::Install(nullptr);
    ReleaseSelections();
    return false;
}

void CalcApp::ReleaseSelections() {
    // A program that still owns the clipboard when it ends offers its text to
    // the desktop's clipboard manager and waits for the manager's answer,
    // which can hold the ended program for seconds. Managers keep a copy from
    // the moment a text is copied, so ours is released instead.
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard->ownsClipboard()) clipboard->clear(QClipboard::Clipboard);
    if (clipboard->ownsSelection()) clipboard->clear(QClipboard::Selection);
}

bool CalcApp::notify(QObject* receiver, QEvent* event) {
    const KeyboardFilter* keys = KeyboardFilter::Installed();
    if (keys != nullptr && keys->Filter(receiver, event)) return true;
    return QApplication::notify(receiver, event);
}
