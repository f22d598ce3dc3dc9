#pragma once
// CalcApp: the application object. It sets up the look (Japanese UI font,
// Qt's own Japanese texts), installs the Qt message-box presenter, offers
// every event to the installed keyboard filter, and runs the start-up
// routine.

#include <QApplication>

#include "calc/qt_message_box.h"

class CalcDlg;
class QTranslator;

class CalcApp : public QApplication {
    Q_OBJECT
  public:
    CalcApp(int& argc, char** argv);
    ~CalcApp() override;

    /// Start-up routine: start values, radix 10, then the main window runs
    /// modally. Returns false once it has closed: no further message loop.
    bool InitInstance(CalcDlg& dlg);

    bool notify(QObject* receiver, QEvent* event) override;

  private:
    /// Gives up the clipboard and the selection if the program owns them.
    void ReleaseSelections();

    QtMessageBoxPresenter m_presenter;
    QTranslator* m_qtTranslator = nullptr;
};
