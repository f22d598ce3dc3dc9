#pragma once
// Qt presenter of the program's message boxes: a QMessageBox with one OK
// button. A box asked for by a worker thread is shown on the GUI thread on
// the worker's behalf; the worker waits until the user has dismissed it.

#include <QObject>
#include <QString>

#include "bigint/message_box.h"

class QWidget;

/// Shows one modal box with an OK button on the calling (GUI) thread and
/// returns when it is dismissed. CR and CR LF break the line, as LF does.
void ShowQtMessageBox(QWidget* parent, const std::string& text, const std::string& caption);

/// The box text as the user sees it: CR LF and lone CR become LF.
QString MessageBoxText(const std::string& text);

class QtMessageBoxPresenter : public QObject, public MessageBoxPresenter {
    Q_OBJECT
  public:
    /// Must be constructed on the GUI thread.
    explicit QtMessageBoxPresenter(QObject* parent = nullptr);
    ~QtMessageBoxPresenter() override;

    void ShowMessageBox(const std::string& text, const std::string& caption) override;
};
