#pragma once
// HelpWindow: the program's Japanese help page, shipped in its resources,
// in a window of its own beside the calculator.

#include <QDialog>

class QTextBrowser;

class HelpWindow : public QDialog {
    Q_OBJECT
  public:
    explicit HelpWindow(QWidget* parent = nullptr);
    QTextBrowser* Browser() const { return m_browser; }

  private:
    QTextBrowser* m_browser = nullptr;
};
