#include "calc/qt_message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QThread>

QString MessageBoxText(const std::string& text) {
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

void ShowQtMessageBox(QWidget* parent, const std::string& text, const std::string& caption) {
    if (parent == nullptr) parent = QApplication::activeModalWidget();
    if (parent == nullptr) parent = QApplication::activeWindow();
    QMessageBox box(parent);
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
    box.setTextFormat(Qt::PlainText);
    box.setText(MessageBoxText(text));
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
}

QtMessageBoxPresenter::QtMessageBoxPresenter(QObject* parent) : QObject(parent) {}

QtMessageBoxPresenter::~QtMessageBoxPresenter() {
    if (InstalledMessageBoxPresenter() == this) InstallMessageBoxPresenter(nullptr);
}

void QtMessageBoxPresenter::ShowMessageBox(const std::string& text, const std::string& caption) {
    if (QThread::currentThread() == thread()) {
        ShowQtMessageBox(nullptr, text, caption);
        return;
    }
    // A worker: the GUI thread shows the box, this thread waits for its end.
    QMetaObject::invokeMethod(
        this, [text, caption] { ShowQtMessageBox(nullptr, text, caption); },
        Qt::BlockingQueuedConnection);
}
