#pragma once
// CalcApp: the application object. It sets up the look (Japanese UI font,
// Qt's own Japanese texts), installs the Qt message-box presenter, applies
// the keyboard filter to every key addressed to the main window or one of
// its children, and runs the start-up routine.

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include "calc/qt_message_box.h"

class CalcDlg;
class QKeyEvent;
class QTranslator;

class CalcApp : public QApplication {
    Q_OBJECT
  public:
    CalcApp(int& argc, char** argv);
    ~CalcApp() override;

    /// Start-up routine: start values, radix 10, then the main window runs
    /// modally. Returns false once it has closed: no further message loop.
    bool InitInstance(CalcDlg& dlg);

    /// The window the keyboard filter serves (nullptr before its initialisation).
    QWidget* MainWindow() const { return m_mainWindow; }
    void SetMainWindow(QWidget* window) { m_mainWindow = window; }

    /// The running application object, or nullptr when the application is not a CalcApp.
    static CalcApp* Instance();

    bool notify(QObject* receiver, QEvent* event) override;

  private:
    /// The keyboard filter for one key press addressed to the main window.
    /// Returns true when the key is consumed.
    bool FilterKey(QKeyEvent* event);

    QPointer<QWidget> m_mainWindow;
    QtMessageBoxPresenter m_presenter;
    QTranslator* m_qtTranslator = nullptr;
};
