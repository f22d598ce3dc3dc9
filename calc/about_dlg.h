#pragma once
// AboutDlg: the version information box, with the program icon, the
// version line, two lines on where the program comes from, and OK.

#include <QDialog>

class AboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit AboutDlg(QWidget* parent = nullptr);
};
