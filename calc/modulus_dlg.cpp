#include "calc/modulus_dlg.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/dialog_support.h"
#include "calc/qt_message_box.h"

namespace {
constexpr const char* TXT_CAPTION = "法";
constexpr const char* TXT_OK = "OK";
constexpr const char* TXT_CANCEL = "ｷｬﾝｾﾙ";
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
}  // namespace

ModulusDlg::ModulusDlg(const ModulusDlgLogic& logic, QWidget* parent)
    : QDialog(parent), m_logic(logic) {
    setWindowTitle(QString::fromUtf8(TXT_CAPTION));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    m_edit = new QLineEdit(this);
    m_edit->setMaxLength(MODULUS_MAX_LENGTH);
    SetControlId(m_edit, IDC_MODULUS_EDIT);
    m_edit->setMinimumWidth(m_edit->fontMetrics().averageCharWidth() * 40);
    m_edit->setText(QString::fromStdString(m_logic.m_enteredText));
    connect(m_edit, &QLineEdit::textChanged, this, &ModulusDlg::OnChangeEdit);

    m_ok = new QPushButton(QString::fromUtf8(TXT_OK), this);
    SetControlId(m_ok, IDOK);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    // The cancel button exists but is neither shown nor usable; Esc and the
    // close box cancel the dialog.
    m_cancel = new QPushButton(QString::fromUtf8(TXT_CANCEL), this);
    SetControlId(m_cancel, IDCANCEL);
    m_cancel->setEnabled(false);
    m_cancel->hide();

    auto* row = new QHBoxLayout(this);
    row->addWidget(m_edit, 1);
    row->addWidget(m_ok);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    m_edit->setFocus();
    m_edit->selectAll();
}

void ModulusDlg::OnChangeEdit(const QString& text) {
    if (m_inChange) return;  // the logic's own restore of the edit
    m_inChange = true;
    m_logic.OnChangeEdit(text.toStdString(), *this);
    m_inChange = false;
}

void ModulusDlg::SetEditText(const std::string& text) {
    m_edit->setText(QString::fromStdString(text));
}

void ModulusDlg::ShowMessage(const std::string& text, const std::string& caption) {
    ShowQtMessageBox(this, text, caption);
}
