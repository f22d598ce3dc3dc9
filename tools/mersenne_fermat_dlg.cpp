#include "tools/mersenne_fermat_dlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "bigint/decimal_text.h"
#include "tools/sequences.h"

MersenneFermatDlg::MersenneFermatDlg(QWidget* parent)
    : ToolDialog(QStringLiteral("Mersenne数、Fermat数"), QStringLiteral("ｷｬﾝｾﾙ"), parent) {
    auto* content = new QVBoxLayout;
    content->addWidget(
        Static(QStringLiteral("メルセンヌ(Mersenne)型数とはF(k) = 2^k - 1の形をしたものです。")));
    content->addWidget(
        Static(QStringLiteral("フェルマー(Fermat)数とはF(k) = 2^2^k + 1の形をしたものです。")));
    content->addSpacing(DialogUnitsY(this, 4));

    const IntField mersenne = MakeIntField(IDC_MERSENNE_K, IDC_MERSENNE_SPIN, 0, 800);
    const IntField fermat = MakeIntField(IDC_FERMAT_K, IDC_FERMAT_SPIN, 0, 9);
    m_mersenneK = mersenne.edit;
    m_fermatK = fermat.edit;
    m_mersenne = MakeResultEdit(IDC_MERSENNE, 240, 48);
    m_fermat = MakeResultEdit(IDC_FERMAT, 240, 48);

    auto* grid = new QGridLayout;
    grid->addWidget(Static(QStringLiteral("メルセンヌ数 M (")), 0, 0, Qt::AlignTop);
    grid->addLayout(mersenne.row, 0, 1, Qt::AlignTop);
    grid->addWidget(Static(QStringLiteral(")  (0～800) =")), 0, 2, Qt::AlignTop);
    grid->addWidget(m_mersenne, 0, 3);
    grid->addWidget(Static(QStringLiteral("フェルマー数 F(")), 1, 0, Qt::AlignTop);
    grid->addLayout(fermat.row, 1, 1, Qt::AlignTop);
    grid->addWidget(Static(QStringLiteral(")  (0～9) =")), 1, 2, Qt::AlignTop);
    grid->addWidget(m_fermat, 1, 3);
    grid->setColumnStretch(3, 1);
    content->addLayout(grid, 1);
    FinishLayout(content);

    m_dx.AddUInt(m_mersenneK, &m_inputs.mersenneExponent, 0, 800);
    m_dx.AddUInt(m_fermatK, &m_inputs.fermatIndex, 0, 9);

    connect(m_mersenneK, &QLineEdit::textChanged, this, &MersenneFermatDlg::OnChangeMersenne);
    connect(m_fermatK, &QLineEdit::textChanged, this, &MersenneFermatDlg::OnChangeFermat);
}

int MersenneFermatDlg::Open(MersenneFermatInputs& inputs, QWidget* parent) {
    MersenneFermatDlg dlg(parent);
    dlg.m_inputs = inputs;
    dlg.m_mersenneText = dlg.ComputeMersenneText();
    dlg.m_fermatText = dlg.ComputeFermatText();
    const int result = dlg.exec();
    if (result == QDialog::Accepted) inputs = dlg.m_inputs;
    return result;
}

QString MersenneFermatDlg::ComputeMersenneText() const {
    return QString::fromStdString(ResultText(MersenneNumber(m_inputs.mersenneExponent)));
}

QString MersenneFermatDlg::ComputeFermatText() const {
    return QString::fromStdString(ResultText(FermatNumber(m_inputs.fermatIndex)));
}

void MersenneFermatDlg::OnInitialised() {
    SetResult(m_mersenne, m_mersenneText);
    SetResult(m_fermat, m_fermatText);
}

void MersenneFermatDlg::OnChangeMersenne() {
    if (m_initialised == 0) return;
    m_inputs.mersenneExponent = static_cast<unsigned>(ReadDecimalInt(m_mersenneK->text().toStdString()));
    m_mersenneText = ComputeMersenneText();
    SetResult(m_mersenne, m_mersenneText);
}

void MersenneFermatDlg::OnChangeFermat() {
    if (m_initialised == 0) return;
    m_inputs.fermatIndex = static_cast<unsigned>(ReadDecimalInt(m_fermatK->text().toStdString()));
    m_fermatText = ComputeFermatText();
    SetResult(m_fermat, m_fermatText);
}
