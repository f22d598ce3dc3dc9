#pragma once
// Small helpers shared by the tool dialogs and the prime console's dialogs:
//
//  * control ids: every control carries its documented id as the dynamic
//    property "id" (int), so handlers, tests and key filters find it by id;
//  * UpDownControl: a pair of arrows bound to a line edit (its "buddy");
//  * DataExchange: fields to controls, and controls to fields with range
//    validation, our own range message and focus on the refused field.
//
// Typical dialog:
//
//     m_edit = new QLineEdit;  SetControlId(m_edit, 1080);
//     m_spin = new UpDownControl(m_edit, -32768, 32767);  SetControlId(m_spin, 1082);
//     m_dx.AddInt(m_edit, &m_first, -32768, 32767);
//     ...
//     m_dx.ToControls();                          // when the dialog starts
//     void accept() override { if (m_dx.FromControls()) QDialog::accept(); }

#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

class QAbstractButton;
class QHBoxLayout;
class QLineEdit;
class QToolButton;

// --- Control ids -------------------------------------------------------------

/// Name of the dynamic property that holds a control's or a menu item's id.
inline constexpr const char* CONTROL_ID_PROPERTY = "id";

/// Stores `id` as the widget's dynamic property "id" (an int).
void SetControlId(QWidget* widget, int id);
/// The widget's "id" property, or 0 when it has none.
int ControlId(const QWidget* widget);
/// The first descendant of `root` (depth first, `root` itself included) whose
/// id is `id`, or nullptr.
QWidget* FindControl(QWidget* root, int id);
/// FindControl cast to T (nullptr when absent or of another type).
template <class T>
T* FindControlAs(QWidget* root, int id) {
    return qobject_cast<T*>(FindControl(root, id));
}

/// Sets `edit`'s text and leaves the cursor at the start, so long numbers show
/// their leading digits.
void SetEditText(QLineEdit* edit, const QString& text);

/// Dialog units: `x` horizontal units are x / 4 of the average character
/// width of the widget's font, `y` vertical units y / 8 of its height.
int DialogUnitsX(const QWidget* widget, int x);
int DialogUnitsY(const QWidget* widget, int y);

// --- Range message ------------------------------------------------------------

/// The text of our range message: "<min> から <max> までの整数を入力してください。".
QString RangeMessageText(qint64 min, qint64 max);
/// Shows the range message in a modal box owned by `parent` (caption "Kalvora",
/// one OK button) and returns when it is dismissed.
void ShowRangeMessage(QWidget* parent, qint64 min, qint64 max);

// --- Up-down control -----------------------------------------------------------

/// Two arrows beside a line edit. An arrow click (auto-repeating while held),
/// the Up and Down keys in the buddy, and the mouse wheel over the buddy or the
/// arrows step the value by one within [minimum, maximum] and write the integer
/// into the buddy as decimal text. The value stepped from is the buddy's text
/// read as a decimal integer (leading white space, optional sign, digits up to
/// the first non-digit, none gives 0); the stepped value is then clamped into
/// the range (from 10 in 0..9, down gives 9 and up gives 9). Text typed into
/// the buddy is never clamped or changed; only a step writes it.
/// Up increases the value. Ranges cover the signed and unsigned 32-bit ones
/// (for example -2147483647..2147483647 or 0..4294967295).
class UpDownControl : public QWidget {
    Q_OBJECT
public:
    UpDownControl(QLineEdit* buddy, qint64 minimum, qint64 maximum, QWidget* parent = nullptr);

    /// Sets the range; minimum must not exceed maximum (they are swapped if it does).
    void SetRange(qint64 minimum, qint64 maximum);
    qint64 Minimum() const { return m_minimum; }
    qint64 Maximum() const { return m_maximum; }
    QLineEdit* Buddy() const { return m_buddy; }
    QToolButton* UpButton() const { return m_up; }
    QToolButton* DownButton() const { return m_down; }

    /// The buddy's text read as a decimal integer, clamped into the range.
    qint64 Position() const;
    /// Writes `value`, clamped into the range, into the buddy.
    void SetPosition(qint64 value);
    /// Steps by `steps` (positive: up) from the buddy's value, clamps into the
    /// range, writes the buddy.
    void StepBy(int steps);

signals:
    /// Emitted after a step has written the buddy.
    void Stepped(qint64 position);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    bool HandleWheel(QWheelEvent* event);

    QLineEdit* m_buddy;
    QToolButton* m_up;
    QToolButton* m_down;
    qint64 m_minimum = 0;
    qint64 m_maximum = 100;
    int m_wheelRemainder = 0;
};

/// A row holding `edit` with `updown` directly to its right (no spacing).
QHBoxLayout* BuddyRow(QLineEdit* edit, UpDownControl* updown);

// --- Data transfer ----------------------------------------------------------------

/// Binds dialog fields to controls. ToControls writes every field into its
/// control; FromControls reads every control, validates it and writes the
/// fields only if all are valid. An integer field accepts optional white space
/// around an optional sign and at least one decimal digit, and a value within
/// [min, max]; anything else is refused: the range message for that field is
/// shown, the field gets the focus with its text selected, nothing is written
/// and FromControls returns false (the dialog stays open). Fields are checked
/// in the order they were added.
class DataExchange {
public:
    explicit DataExchange(QWidget* dialog) : m_dialog(dialog) {}

    /// A signed 32-bit field shown in a line edit, valid in [min, max].
    void AddInt(QLineEdit* edit, int* field, int min, int max);
    /// An unsigned 32-bit field shown in a line edit, valid in [min, max].
    void AddUInt(QLineEdit* edit, uint32_t* field, uint32_t min, uint32_t max);
    /// A 0/1 flag shown in a check box.
    void AddCheck(QAbstractButton* box, int* field);
    /// The index of the checked button of a radio group (-1 when none is checked).
    void AddRadioGroup(std::vector<QAbstractButton*> buttons, int* field);
    /// Free text shown in a line edit; maxLength > 0 also limits typing.
    void AddText(QLineEdit* edit, QString* field, int maxLength = 0);

    /// Fields to controls.
    void ToControls() const;
    /// Controls to fields with validation; false after a refusal (see above).
    bool FromControls();

    /// Reads an integer as FromControls does: true and *value set when `text`
    /// is white space, optional sign, digits, white space, within [min, max].
    static bool ParseInteger(const QString& text, qint64 min, qint64 max, qint64* value);

private:
    enum class Kind { INT, UINT, CHECK, RADIO, TEXT };
    struct Binding {
        Kind kind;
        QWidget* control;
        void* field;
        qint64 min;
        qint64 max;
        std::vector<QAbstractButton*> buttons;
    };

    QWidget* m_dialog;
    std::vector<Binding> m_bindings;
};
