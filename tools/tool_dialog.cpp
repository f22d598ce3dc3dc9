#include "tools/tool_dialog.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextOption>

ToolDialog::ToolDialog(const QString& caption, const QString& cancelText, QWidget* parent)
    : QDialog(parent), m_dx(this), m_cancelText(cancelText) {
    setWindowTitle(caption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

void ToolDialog::accept() {
    if (m_dx.FromControls()) QDialog::accept();
}

void ToolDialog::setVisible(bool visible) {
    if (visible && !m_initDone) {
        m_initDone = true;
        OnInitDialog();
    }
    QDialog::setVisible(visible);
}

void ToolDialog::OnInitDialog() {
    // The transfer raises change notifications; the handlers ignore them
    // while the flag is still 0.
    m_dx.ToControls();
    m_initialised = 1;
    OnInitialised();
}

ToolDialog::IntField ToolDialog::MakeIntField(int editId, int spinId, qint64 min, qint64 max) {
    auto* edit = new QLineEdit(this);
    SetControlId(edit, editId);
    edit->setMinimumWidth(DialogUnitsX(this, 32));
    edit->setMaximumWidth(DialogUnitsX(this, 48));
    auto* spin = new UpDownControl(edit, min, max, this);
    SetControlId(spin, spinId);
    return {edit, spin, BuddyRow(edit, spin)};
}

QLabel* ToolDialog::Static(const QString& text) {
    auto* label = new QLabel(text, this);
    label->setTextFormat(Qt::PlainText);
    SetControlId(label, -1);
    return label;
}

QPlainTextEdit* ToolDialog::MakeResultEdit(int id, int widthUnits, int heightUnits) {
    auto* edit = new QPlainTextEdit(this);
    SetControlId(edit, id);
    edit->setReadOnly(true);
    edit->setWordWrapMode(QTextOption::WrapAnywhere);  // digits have no break points
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    edit->setMinimumWidth(DialogUnitsX(this, widthUnits));
    edit->setFixedHeight(DialogUnitsY(this, heightUnits));
    edit->setTabChangesFocus(true);
    return edit;
}

void ToolDialog::SetResult(QPlainTextEdit* edit, const QString& text) {
    edit->setPlainText(text.left(RESULT_MAX_CHARS));
}

void ToolDialog::FinishLayout(QBoxLayout* content) {
    auto* ok = new QPushButton(QStringLiteral("終了"), this);
    SetControlId(ok, ID_OK);
    ok->setDefault(true);
    ok->setAutoDefault(true);
    connect(ok, &QPushButton::clicked, this, &ToolDialog::accept);

    auto* cancel = new QPushButton(m_cancelText, this);
    SetControlId(cancel, ID_CANCEL);
    cancel->setAutoDefault(false);
    cancel->setVisible(false);
    connect(cancel, &QPushButton::clicked, this, &ToolDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    content->addLayout(buttons);
    setLayout(content);
}
