#include "tools/progression_dlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "bigint/decimal_text.h"
#include "tools/sequences.h"

namespace {

constexpr int TERM_MIN = 1;
constexpr int TERM_MAX = 32767;
constexpr int VALUE_MIN = -32768;
constexpr int VALUE_MAX = 32767;

// With "連動" checked, the fields that follow a changed term number, in order.
struct LinkOrder {
    int changed;
    int others[3];
};
constexpr LinkOrder LINK_ORDER[] = {
    {ProgressionDlg::IDC_ARITH_TERM_N,
     {ProgressionDlg::IDC_GEOM_TERM_N, ProgressionDlg::IDC_ARITH_SUM_N, ProgressionDlg::IDC_GEOM_SUM_N}},
    {ProgressionDlg::IDC_GEOM_TERM_N,
     {ProgressionDlg::IDC_ARITH_TERM_N, ProgressionDlg::IDC_ARITH_SUM_N, ProgressionDlg::IDC_GEOM_SUM_N}},
    {ProgressionDlg::IDC_ARITH_SUM_N,
     {ProgressionDlg::IDC_ARITH_TERM_N, ProgressionDlg::IDC_GEOM_TERM_N, ProgressionDlg::IDC_GEOM_SUM_N}},
    {ProgressionDlg::IDC_GEOM_SUM_N,
     {ProgressionDlg::IDC_ARITH_TERM_N, ProgressionDlg::IDC_ARITH_SUM_N, ProgressionDlg::IDC_GEOM_TERM_N}},
};

int ReadEdit(const QLineEdit* edit) {
    return ReadDecimalInt(edit->text().toStdString());
}

}  // namespace

ProgressionDlg::ProgressionDlg(QWidget* parent)
    : ToolDialog(QStringLiteral("等差・等比 数列"), QStringLiteral("ｷｬﾝｾﾙ"), parent) {
    const IntField first = MakeIntField(IDC_FIRST, IDC_FIRST_SPIN, VALUE_MIN, VALUE_MAX);
    const IntField difference = MakeIntField(IDC_DIFFERENCE, IDC_DIFFERENCE_SPIN, VALUE_MIN, VALUE_MAX);
    m_link = new QCheckBox(QStringLiteral("連動"), this);
    SetControlId(m_link, IDC_LINK);

    auto* top = new QHBoxLayout;
    top->addWidget(Static(QStringLiteral("初項")));
    top->addLayout(first.row);
    top->addWidget(Static(QStringLiteral("、項差(比)")));
    top->addLayout(difference.row);
    top->addSpacing(DialogUnitsX(this, 12));
    top->addWidget(m_link);
    top->addStretch(1);

    // One row per quantity: "<kind>の、第" [n] "<what> =" [result].
    struct Row {
        int id, spinId, resultId;
        int* value;
        Quantity quantity;
        const char* lead;
        const char* tail;
    };
    const Row rows[] = {
        {IDC_ARITH_TERM_N, IDC_ARITH_TERM_SPIN, IDC_ARITH_TERM, &m_inputs.arithTerm, QUANTITY_A1,
         "等差数列の、第", "項 ="},
        {IDC_ARITH_SUM_N, IDC_ARITH_SUM_SPIN, IDC_ARITH_SUM, &m_inputs.arithSum, QUANTITY_A2,
         "等差数列の、第", "項までの和 ="},
        {IDC_GEOM_TERM_N, IDC_GEOM_TERM_SPIN, IDC_GEOM_TERM, &m_inputs.geomTerm, QUANTITY_G1,
         "等比数列の、第", "項 ="},
        {IDC_GEOM_SUM_N, IDC_GEOM_SUM_SPIN, IDC_GEOM_SUM, &m_inputs.geomSum, QUANTITY_G2,
         "等比数列の、第", "項までの和 ="},
    };
    auto* grid = new QGridLayout;
    grid->setColumnStretch(3, 1);
    int r = 0;
    for (const Row& row : rows) {
        const IntField f = MakeIntField(row.id, row.spinId, TERM_MIN, TERM_MAX);
        m_terms[r] = {row.id, row.value, row.quantity, f.edit};
        m_results[row.quantity] = MakeResultEdit(row.resultId, 240, 30);
        grid->addWidget(Static(QString::fromUtf8(row.lead)), r, 0, Qt::AlignTop);
        grid->addLayout(f.row, r, 1, Qt::AlignTop);
        grid->addWidget(Static(QString::fromUtf8(row.tail)), r, 2, Qt::AlignTop);
        grid->addWidget(m_results[row.quantity], r, 3);
        ++r;
    }

    auto* content = new QVBoxLayout;
    content->addLayout(top);
    content->addLayout(grid);
    FinishLayout(content);

    // Data transfer, in the order of the fields.
    m_dx.AddInt(first.edit, &m_inputs.first, VALUE_MIN, VALUE_MAX);
    m_dx.AddInt(difference.edit, &m_inputs.difference, VALUE_MIN, VALUE_MAX);
    m_dx.AddInt(Field(IDC_ARITH_TERM_N).edit, &m_inputs.arithTerm, TERM_MIN, TERM_MAX);
    m_dx.AddInt(Field(IDC_GEOM_TERM_N).edit, &m_inputs.geomTerm, TERM_MIN, TERM_MAX);
    m_dx.AddInt(Field(IDC_ARITH_SUM_N).edit, &m_inputs.arithSum, TERM_MIN, TERM_MAX);
    m_dx.AddInt(Field(IDC_GEOM_SUM_N).edit, &m_inputs.geomSum, TERM_MIN, TERM_MAX);
    m_dx.AddCheck(m_link, &m_inputs.linked);

    QLineEdit* firstEdit = first.edit;
    QLineEdit* differenceEdit = difference.edit;
    connect(firstEdit, &QLineEdit::textChanged, this,
            [this, firstEdit] { OnChangeFirstOrDifference(firstEdit, &m_inputs.first); });
    connect(differenceEdit, &QLineEdit::textChanged, this,
            [this, differenceEdit] { OnChangeFirstOrDifference(differenceEdit, &m_inputs.difference); });
    for (const TermField& t : m_terms) {
        const int id = t.id;
        connect(t.edit, &QLineEdit::textChanged, this, [this, id] { OnChangeTermNumber(id); });
    }
    connect(m_link, &QCheckBox::clicked, this, &ProgressionDlg::OnClickLink);
}

int ProgressionDlg::Open(ProgressionInputs& inputs, QWidget* parent) {
    ProgressionDlg dlg(parent);
    dlg.m_inputs = inputs;
    const int result = dlg.exec();
    if (result == QDialog::Accepted) inputs = dlg.m_inputs;
    return result;
}

ProgressionDlg::TermField& ProgressionDlg::Field(int id) {
    for (TermField& t : m_terms) {
        if (t.id == id) return t;
    }
    return m_terms[0];  // not reached: every caller passes a term-number id
}

void ProgressionDlg::OnInitialised() {
    m_propagating = 0;
    Recompute(QUANTITY_A1);
    Recompute(QUANTITY_A2);
    Recompute(QUANTITY_G1);
    Recompute(QUANTITY_G2);
}

void ProgressionDlg::OnChangeFirstOrDifference(QLineEdit* edit, int* value) {
    if (m_initialised == 0) return;
    *value = ReadEdit(edit);
    Recompute(QUANTITY_A1);
    Recompute(QUANTITY_A2);
    Recompute(QUANTITY_G1);
    Recompute(QUANTITY_G2);
}

void ProgressionDlg::OnChangeTermNumber(int id) {
    if (m_initialised == 0) return;
    TermField& changed = Field(id);
    const QString text = changed.edit->text();
    *changed.value = ReadEdit(changed.edit);
    Recompute(changed.quantity);
    if (m_inputs.linked != 1 || m_propagating != 0) return;

    m_propagating = 1;
    for (const LinkOrder& order : LINK_ORDER) {
        if (order.changed != id) continue;
        for (int otherId : order.others) {
            TermField& other = Field(otherId);
            other.edit->setText(text);  // its own notification recomputes its quantity once more
            *other.value = ReadEdit(other.edit);
            Recompute(other.quantity);
        }
    }
    m_propagating = 0;
}

void ProgressionDlg::OnClickLink(bool checked) {
    m_inputs.linked = checked ? 1 : 0;
}

void ProgressionDlg::Recompute(Quantity q) {
    const ProgressionInputs& in = m_inputs;
    std::string text;
    GeometricSumResult g;
    switch (q) {
        case QUANTITY_A1:
            text = ResultText(ArithmeticTerm(in.first, in.difference, in.arithTerm));
            break;
        case QUANTITY_A2:
            text = ResultText(ArithmeticSum(in.first, in.difference, in.arithSum));
            break;
        case QUANTITY_G1:
            text = ResultText(GeometricTerm(in.first, in.difference, in.geomTerm));
            break;
        case QUANTITY_G2:
            g = GeometricSum(in.first, in.difference, in.geomSum);
            text = ResultText(g.sum);
            break;
        case QUANTITY_COUNT:
            return;
    }
    ++m_recomputed[q];
    SetResult(m_results[q], QString::fromStdString(text));
    if (q == QUANTITY_G2) ReportGeometricSumRemainder(g);
}
