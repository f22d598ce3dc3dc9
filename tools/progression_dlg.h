#pragma once
// ProgressionDlg: the n-th terms and partial sums of the arithmetic and the
// geometric progression with first term a and difference (ratio) d, computed
// live while the user types. With "連動" checked, a term number typed into one
// field is copied into the other three.

#include <array>

#include "tools/tool_inputs.h"
#include "tools/tool_dialog.h"

class QCheckBox;

class ProgressionDlg : public ToolDialog {
    Q_OBJECT
public:
    enum { IDD = 140 };
    enum {
        IDC_FIRST = 1080, IDC_FIRST_SPIN = 1082,
        IDC_DIFFERENCE = 1081, IDC_DIFFERENCE_SPIN = 1083,
        IDC_ARITH_TERM_N = 1084, IDC_ARITH_TERM_SPIN = 1085,
        IDC_GEOM_TERM_N = 1086, IDC_GEOM_TERM_SPIN = 1087,
        IDC_ARITH_SUM_N = 1088, IDC_ARITH_SUM_SPIN = 1089,
        IDC_GEOM_SUM_N = 1094, IDC_GEOM_SUM_SPIN = 1095,
        IDC_LINK = 1093,
        IDC_ARITH_TERM = 1090, IDC_ARITH_SUM = 1092,
        IDC_GEOM_TERM = 1091, IDC_GEOM_SUM = 1096,
    };
    /// The four quantities: A1 arithmetic term, A2 arithmetic sum,
    /// G1 geometric term, G2 geometric sum.
    enum Quantity { QUANTITY_A1, QUANTITY_A2, QUANTITY_G1, QUANTITY_G2, QUANTITY_COUNT };

    explicit ProgressionDlg(QWidget* parent = nullptr);

    /// Copies `inputs` into a new dialog, runs it modally and copies the
    /// seven values back only when it ends with "終了". Returns the result code.
    static int Open(ProgressionInputs& inputs, QWidget* parent = nullptr);

    /// The dialog's fields: the seven inputs.
    ProgressionInputs m_inputs;

    /// How often each quantity has been computed since construction.
    int RecomputeCount(Quantity q) const { return m_recomputed[q]; }
    /// 1 while a linked term number is being copied into the other fields.
    int Propagating() const { return m_propagating; }

private:
    struct TermField {
        int id;
        int* value;
        Quantity quantity;
        QLineEdit* edit;
    };

    void OnInitialised() override;
    void OnChangeFirstOrDifference(QLineEdit* edit, int* value);
    void OnChangeTermNumber(int id);
    void OnClickLink(bool checked);
    void Recompute(Quantity q);
    TermField& Field(int id);

    std::array<TermField, 4> m_terms{};
    QCheckBox* m_link = nullptr;
    std::array<QPlainTextEdit*, QUANTITY_COUNT> m_results{};
    std::array<int, QUANTITY_COUNT> m_recomputed{};
    int m_propagating = 0;
};
