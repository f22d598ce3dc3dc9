#include "tools/lucas_dlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "bigint/decimal_text.h"

LucasDlg::LucasDlg(QWidget* parent)
    : ToolDialog(QStringLiteral("Lucas型数列"), QStringLiteral("IDCANCEL"), parent) {
    auto* content = new QVBoxLayout;
    for (const char* line : {"F(0) = f0 , F(1) = f1 , F(n+1) = a * F(n) + b * F(n-1)",
                             "という数列を定義します。 ここで、",
                             "(1)第0項 = 0 , 第1項 = 1 , a = b = 1 --> Fibonacci数",
                             "(2)第0項 = 2 , 第1項 = 1 , a = b = 1 --> Lucas数", "になります。"}) {
        content->addWidget(Static(QString::fromUtf8(line)));
    }
    content->addSpacing(DialogUnitsY(this, 4));

    const IntField f0 = MakeIntField(IDC_F0, IDC_F0_SPIN, 0, 256);
    const IntField f1 = MakeIntField(IDC_F1, IDC_F1_SPIN, 0, 256);
    const IntField a = MakeIntField(IDC_A, IDC_A_SPIN, 0, 32);
    const IntField b = MakeIntField(IDC_B, IDC_B_SPIN, 0, 32);
    const IntField n = MakeIntField(IDC_N, IDC_N_SPIN, 0, 512);

    auto* grid = new QGridLayout;
    grid->addWidget(Static(QStringLiteral("第0項(0～256)")), 0, 0);
    grid->addLayout(f0.row, 0, 1);
    grid->addWidget(Static(QStringLiteral("第1項(0～256)")), 0, 3);
    grid->addLayout(f1.row, 0, 4);
    grid->addWidget(Static(QStringLiteral("a(0～32)")), 1, 0);
    grid->addLayout(a.row, 1, 1);
    grid->addWidget(Static(QStringLiteral("b(0～32)")), 1, 3);
    grid->addLayout(b.row, 1, 4);
    grid->setColumnMinimumWidth(2, DialogUnitsX(this, 12));
    grid->setColumnStretch(5, 1);
    content->addLayout(grid);

    auto* termRow = new QHBoxLayout;
    termRow->addWidget(Static(QStringLiteral("第")));
    termRow->addLayout(n.row);
    termRow->addWidget(Static(QStringLiteral("項(0～512まで)")));
    termRow->addStretch(1);
    content->addLayout(termRow);

    content->addWidget(Static(QStringLiteral("各項の値")));
    m_term = MakeResultEdit(IDC_TERM, 240, 64);
    content->addWidget(m_term, 1);
    FinishLayout(content);

    m_dx.AddUInt(f0.edit, &m_inputs.f0, 0, 256);
    m_dx.AddUInt(f1.edit, &m_inputs.f1, 0, 256);
    m_dx.AddUInt(a.edit, &m_inputs.a, 0, 32);
    m_dx.AddUInt(b.edit, &m_inputs.b, 0, 32);
    m_dx.AddUInt(n.edit, &m_inputs.n, 0, 512);

    const std::pair<QLineEdit*, unsigned*> inputs[] = {
        {f0.edit, &m_inputs.f0}, {f1.edit, &m_inputs.f1}, {a.edit, &m_inputs.a},
        {b.edit, &m_inputs.b},   {n.edit, &m_inputs.n},
    };
    for (const auto& [edit, value] : inputs) {
        QLineEdit* e = edit;
        unsigned* v = value;
        connect(e, &QLineEdit::textChanged, this, [this, e, v] { OnChangeInput(e, v); });
    }
}

int LucasDlg::Open(LucasInputs& inputs, QWidget* parent) {
    LucasDlg dlg(parent);
    dlg.m_inputs = inputs;
    dlg.m_termText = dlg.ComputeTermText();
    const int result = dlg.exec();
    if (result == QDialog::Accepted) inputs = dlg.m_inputs;
    return result;
}

QString LucasDlg::ComputeTermText() const {
    const LucasInputs& in = m_inputs;
    return QString::fromStdString(ResultText(m_sequence.Term(in.a, in.b, in.f0, in.f1, in.n)));
}

void LucasDlg::OnInitialised() {
    SetResult(m_term, m_termText);
}

void LucasDlg::OnChangeInput(QLineEdit* edit, unsigned* value) {
    if (m_initialised == 0) return;
    // A typed sign is kept as the unsigned machine integer it converts to.
    *value = static_cast<unsigned>(ReadDecimalInt(edit->text().toStdString()));
    m_termText = ComputeTermText();
    SetResult(m_term, m_termText);
}
