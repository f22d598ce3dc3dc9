#pragma once
// LucasDlg: the n-th term of F(0) = f0, F(1) = f1, F(n+1) = a F(n) + b F(n-1),
// computed live while the user types.

#include <QString>

#include "tools/tool_inputs.h"
#include "tools/sequences.h"
#include "tools/tool_dialog.h"

class LucasDlg : public ToolDialog {
    Q_OBJECT
public:
    enum { IDD = 136 };
    enum {
        IDC_F0 = 1069, IDC_F0_SPIN = 1070,
        IDC_F1 = 1071, IDC_F1_SPIN = 1072,
        IDC_N = 1073, IDC_N_SPIN = 1074,
        IDC_TERM = 1075,
        IDC_A = 1076, IDC_A_SPIN = 1077,
        IDC_B = 1078, IDC_B_SPIN = 1079,
    };

    explicit LucasDlg(QWidget* parent = nullptr);

    /// Copies `inputs` into a new dialog, fills in the term before the dialog
    /// is shown, runs it modally and copies the five inputs back only when it
    /// ends with "終了". Returns the result code.
    static int Open(LucasInputs& inputs, QWidget* parent = nullptr);

    /// The dialog's fields: the five inputs and the text of the term.
    LucasInputs m_inputs;
    QString m_termText;

    /// Step L for the current inputs, as shown in the result field.
    QString ComputeTermText() const;

private:
    void OnInitialised() override;
    void OnChangeInput(QLineEdit* edit, unsigned* value);

    LucasSequence m_sequence;
    QPlainTextEdit* m_term = nullptr;
};
