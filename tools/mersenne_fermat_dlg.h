#pragma once
// MersenneFermatDlg: the Mersenne-type number 2^k - 1 and the Fermat number
// 2^(2^k) + 1, computed live while the user types.

#include <QString>

#include "tools/tool_inputs.h"
#include "tools/tool_dialog.h"

class MersenneFermatDlg : public ToolDialog {
    Q_OBJECT
public:
    enum { IDD = 137 };
    enum {
        IDC_MERSENNE_K = 1071, IDC_MERSENNE_SPIN = 1072,
        IDC_FERMAT_K = 1073, IDC_FERMAT_SPIN = 1074,
        IDC_MERSENNE = 1075, IDC_FERMAT = 1076,
    };

    explicit MersenneFermatDlg(QWidget* parent = nullptr);

    /// Copies `inputs` into a new dialog, fills in both numbers before the
    /// dialog is shown, runs it modally and copies both exponents back only
    /// when it ends with "終了". Returns the result code.
    static int Open(MersenneFermatInputs& inputs, QWidget* parent = nullptr);

    /// The dialog's fields: both exponents and the texts of both numbers.
    MersenneFermatInputs m_inputs;
    QString m_mersenneText;
    QString m_fermatText;

    /// Steps M and F for the current exponents, as shown.
    QString ComputeMersenneText() const;
    QString ComputeFermatText() const;

private:
    void OnInitialised() override;
    void OnChangeMersenne();
    void OnChangeFermat();

    QLineEdit* m_mersenneK = nullptr;
    QLineEdit* m_fermatK = nullptr;
    QPlainTextEdit* m_mersenne = nullptr;
    QPlainTextEdit* m_fermat = nullptr;
};
