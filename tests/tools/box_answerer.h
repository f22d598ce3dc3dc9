#pragma once
// Answers the modal message boxes that appear while a test runs: polls the
// active modal widget, records each box's caption and text, presses its OK
// button. Also records the boxes that the toolkit-free code shows.

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "bigint/message_box.h"

/// Readable QStrings in test failures.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

class BoxAnswerer : public MessageBoxPresenter {
public:
    BoxAnswerer() {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start();
        InstallMessageBoxPresenter(this);
    }
    ~BoxAnswerer() override { InstallMessageBoxPresenter(nullptr); }

    void ShowMessageBox(const std::string& text, const std::string& caption) override {
        engineBoxes.emplace_back(caption, text);
        if (onEngineBox) onEngineBox();
    }

    /// Called at each box of the computations, while it is "shown".
    std::function<void()> onEngineBox;

    /// (caption, text) of every Qt box answered so far.
    std::vector<std::pair<QString, QString>> boxes;
    /// (caption, text) of every box the computations asked for.
    std::vector<std::pair<std::string, std::string>> engineBoxes;

private:
    void Poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) return;
        boxes.emplace_back(box->windowTitle(), box->text());
        if (QAbstractButton* ok = box->button(QMessageBox::Ok)) ok->click();
        else box->reject();
    }

    QTimer m_timer;
};
