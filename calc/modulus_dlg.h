#pragma once
// ModulusDlg ("法"): one decimal edit for the modulus and an OK button; Esc
// or the close box cancel. The checking and restoring is ModulusDlgLogic's.

#include <QDialog>

#include "calc/calc_engine.h"

class QLineEdit;
class QPushButton;

/// Longest text the modulus edit takes.
inline constexpr int MODULUS_MAX_LENGTH = 817;

class ModulusDlg : public QDialog, public ModulusDlgView {
    Q_OBJECT
  public:
    ModulusDlg(const ModulusDlgLogic& logic, QWidget* parent = nullptr);

    const ModulusDlgLogic& Logic() const { return m_logic; }
    QLineEdit* Edit() const { return m_edit; }

    // ModulusDlgView
    void SetEditText(const std::string& text) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;

  private:
    void OnChangeEdit(const QString& text);

    ModulusDlgLogic m_logic;
    QLineEdit* m_edit = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_inChange = false;
};
