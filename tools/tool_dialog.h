#pragma once
// Common frame of the three sequence tool dialogs: caption, the "終了" (OK,
// id 1) button and the hidden cancel button (id 2), one-time initialisation
// just before the dialog is first shown, and range validation on "終了".

#include <QDialog>
#include <QString>

#include "widgets/dialog_support.h"

class QBoxLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class ToolDialog : public QDialog {
    Q_OBJECT
public:
    /// Button ids of the dialogs.
    enum { ID_OK = 1, ID_CANCEL = 2 };
    /// Longest text a result field holds.
    static constexpr int RESULT_MAX_CHARS = 817;

    ToolDialog(const QString& caption, const QString& cancelText, QWidget* parent);

    /// "終了": validates every field; ends with Accepted only when all are in range.
    void accept() override;
    /// Runs the initialisation once, before the dialog first becomes visible.
    void setVisible(bool visible) override;

    /// 0 until the initialisation has finished, then 1.
    int Initialised() const { return m_initialised; }

protected:
    /// Transfers the fields into the controls, then sets the initialised
    /// flag and runs OnInitialised.
    void OnInitDialog();
    /// What a dialog does once its controls hold the fields.
    virtual void OnInitialised() {}

    /// A line edit for a small integer with its up-down control, in one row.
    struct IntField {
        QLineEdit* edit;
        UpDownControl* spin;
        QHBoxLayout* row;
    };
    IntField MakeIntField(int editId, int spinId, qint64 min, qint64 max);
    /// A static text; like every static of the dialogs its id is -1.
    QLabel* Static(const QString& text);
    /// A read-only multi-line result field, wrapping its digits, at least
    /// `widthUnits` wide and `heightUnits` high (dialog units).
    QPlainTextEdit* MakeResultEdit(int id, int widthUnits, int heightUnits);
    /// Sets a result field's text (at most RESULT_MAX_CHARS characters).
    static void SetResult(QPlainTextEdit* edit, const QString& text);
    /// Adds "終了" and the hidden cancel button below `content`.
    void FinishLayout(QBoxLayout* content);

    DataExchange m_dx;
    int m_initialised = 0;

private:
    QString m_cancelText;
    bool m_initDone = false;
};
