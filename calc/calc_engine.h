#pragma once
// The calculator behind the main window, without any toolkit: the registers,
// the infix entry state machine, Evaluate, the unary functions, the memory and
// clipboard commands, the radix change, the parse of the main display and the
// logic of the modulus dialog. The window (or a test, or kalvora-cli) forwards
// button commands and change notifications to CalcEngine and implements
// CalcView, through which the engine writes the displays, enables the digit
// buttons, shows message boxes and reaches the clipboard.

#include <optional>
#include <string>

#include "bigint/bigint.h"
#include "console/prime_settings.h"
#include "tools/tool_inputs.h"

/// Operator codes. An infix code waits in m_pendingOp for its right operand;
/// a unary code is stored there only while it is being evaluated.
enum CalcOp {
    OP_NONE = 0,
    OP_ADD = 1,
    OP_SUB = 2,
    OP_MUL = 3,
    OP_DIV = 4,
    OP_MOD = 5,
    OP_LCM = 6,
    OP_GCD = 7,
    OP_AND = 8,
    OP_OR = 9,
    OP_XOR = 10,
    OP_POW = 11,
    OP_SQUARE = 12,
    OP_FACTORIAL = 13,
    OP_SQRT = 14,
    OP_ROOT = 15,
    OP_POWMOD = 16,
    OP_INVERSE = 17,
    OP_NPR = 18,
    OP_NCR = 19,
};

/// Control ids of the main window that the engine writes.
enum CalcControlId {
    IDC_VALUE = 1000,      ///< main display
    IDC_MEMORY = 1001,     ///< memory display
    IDC_REMAINDER = 1002,  ///< remainder display ("剰余")
    IDC_MODULUS_EDIT = 1003,  ///< edit of the modulus dialog
    IDC_RADIX = 1043,      ///< radix edit, 2..16
    IDC_OPERATOR = 1053,   ///< operator display
};

/// Command ids of the main window's command map.
enum CalcCommandId {
    ID_PLUSMINUS = 1013,
    ID_DIV = 1021,
    ID_MUL = 1022,
    ID_SUB = 1023,
    ID_ADD = 1024,
    ID_EQUALS = 1025,
    ID_BACK = 1026,
    ID_CE = 1027,
    ID_C = 1028,
    ID_MC = 1029,
    ID_MR = 1030,
    ID_MS = 1031,
    ID_MPLUS = 1032,
    ID_MOD = 1033,
    ID_AND = 1034,
    ID_OR = 1035,
    ID_XOR = 1036,
    ID_LCM = 1037,
    ID_GCD = 1038,
    ID_AC = 1039,
    ID_COPY_MEMORY = 1055,
    ID_COPY_VALUE = 1056,
    ID_COPY_REMAINDER = 1057,
    ID_PASTE_MEMORY = 1058,
    ID_PASTE_VALUE = 1059,
    ID_FACTORIAL = 1060,
    ID_SQUARE = 1061,
    ID_POW = 1062,
    ID_SQRT = 1065,
    ID_POWMOD = 1066,
    ID_ROOT = 1067,
    ID_NPR = 1069,
    ID_INVERSE = 1070,
    ID_NCR = 1071,
    ID_MODULUS_DLG = 1072,  ///< opens the modulus dialog (a window matter; see ModulusDlgLogic)
    ID_DIGIT_0 = 2000,      ///< digits 0..F are 2000..2015
    ID_DIGIT_F = 2015,
};

/// Caption of every box the calculator shows.
inline constexpr const char* CALC_CAPTION = "Kalvora";

/// What the engine needs of the main window.
class CalcView {
public:
    virtual ~CalcView() = default;
    /// Sets the text of display IDC_VALUE, IDC_REMAINDER, IDC_MEMORY or
    /// IDC_OPERATOR. The window must not treat this write as a user edit of
    /// the main display (no OnValueTextChanged for it).
    virtual void SetDisplayText(int controlId, const std::string& text) = 0;
    /// Enables or disables the digit button `id` (ID_DIGIT_0 .. ID_DIGIT_F).
    virtual void EnableDigitButton(int id, bool enabled) = 0;
    /// Shows a modal box with one OK button; returns once it is dismissed.
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
    /// The clipboard's plain text, or nothing when it holds no plain text.
    virtual std::optional<std::string> ReadClipboardText() = 0;
    /// Replaces the clipboard's content by the plain text `text`.
    virtual void WriteClipboardText(const std::string& text) = 0;
};

/// What the modulus dialog's logic needs of its window.
class ModulusDlgView {
public:
    virtual ~ModulusDlgView() = default;
    /// Sets the text of edit IDC_MODULUS_EDIT.
    virtual void SetEditText(const std::string& text) = 0;
    /// Shows a modal box with one OK button; returns once it is dismissed.
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
};

/// The modulus dialog ("法") without its window: the value being entered and
/// the text exchanged with edit 1003. Always decimal, whatever the radix of
/// the main window.
class ModulusDlgLogic {
public:
    BigInt m_entered;            ///< the last accepted value
    std::string m_enteredText;   ///< its decimal text, put into the edit when the dialog opens

    /// Starts from the current modulus.
    explicit ModulusDlgLogic(const BigInt& modulus);
    /// Change notification of edit 1003 holding `text`. A bad text shows its
    /// box and puts the last accepted value back into the edit.
    void OnChangeEdit(const std::string& text, ModulusDlgView& view);
};

/// Result of the keyboard map for one key message.
struct KeyMapping {
    enum Action {
        PASS_ON,  ///< not the calculator's key: normal dialog processing
        CONSUME,  ///< swallowed without effect
        PRESS,    ///< consumed and presses the button `buttonId`
    };
    Action action = PASS_ON;
    int buttonId = 0;
};

/// Virtual keys that the key-down map knows.
enum CalcVirtualKey {
    VKEY_OTHER = 0,
    VKEY_BACKSPACE,
    VKEY_ENTER,
    VKEY_ESCAPE,
    VKEY_DELETE,
    VKEY_F2,
    VKEY_F3,
    VKEY_F4,
    VKEY_F5,
    VKEY_F6,
    VKEY_F10,
};

/// Key-down map: Backspace, Enter, Esc, Delete, F2..F6, F10; every other key passes on.
KeyMapping MapKeyDown(CalcVirtualKey key);
/// Character map: with Ctrl held every character is consumed; otherwise a
/// mapped character presses its button, every other character (and a digit
/// not below `radix`) is consumed.
KeyMapping MapCharacter(char32_t ch, bool ctrlDown, unsigned radix);

/// Whether digit button `id` (ID_DIGIT_0 .. ID_DIGIT_F) is enabled in `radix`.
bool IsDigitEnabled(int id, unsigned radix);

/// The calculator state and the handlers of the main window's commands.
class CalcEngine {
public:
    // Calculator state, in declaration order.
    int m_logicSignMode = 0;   ///< SignMode of And, Or, Xor; always 0
    int m_pendingOp = OP_NONE; ///< a CalcOp
    int m_freshEntry = 1;      ///< set: the next digit starts a new number
    BigInt m_value;            ///< X, main display
    BigInt m_remainder;        ///< R, remainder display
    BigInt m_operand;          ///< A, left operand of the pending operator
    BigInt m_modulus;          ///< M, for OP_POWMOD and OP_INVERSE
    BigInt m_work;             ///< scratch
    BigInt m_memory;           ///< memory display
    char m_textBuffer[BIGINT_TEXT_SIZE] = {};
    std::string m_valueText = "0";
    std::string m_remainderText;
    std::string m_memoryText;
    std::string m_opText;
    std::string m_modulusText;
    unsigned m_radix = 0;

    // Persistent inputs of the tools, taken and returned by their dialogs.
    ProgressionInputs m_progressionInputs;
    LucasInputs m_lucasInputs;
    MersenneFermatInputs m_mersenneFermatInputs;
    PrimeSettings m_primeSettings;

    /// The values of a freshly constructed window: every register 0, radix 0,
    /// main text "0", the other texts empty. `view` may be set later.
    explicit CalcEngine(CalcView* view = nullptr);
    void SetView(CalcView* view) { m_view = view; }

    /// Start-up values: registers 0, modulus 2, start values of the tools'
    /// inputs, radix 10, display texts in radix 10, operator text " ".
    void OnStartUp();
    /// Window initialisation: puts the member texts into the displays, runs
    /// the radix change with the text of m_radix (enables the digit buttons),
    /// then sets m_freshEntry.
    void OnInitDialog();

    /// Runs the command `id` of the command map. Returns false for an id that
    /// is not the engine's (tool and window commands, 1072). A digit id not
    /// below the radix is the engine's but does nothing, as its disabled
    /// button cannot be pressed.
    bool OnCommand(int id);
    /// Whether OnCommand handles `id`.
    static bool IsEngineCommand(int id);

    /// The text of the radix edit (1043) changed.
    void OnRadixTextChanged(const std::string& text);
    /// The user changed the text of the main display (1000).
    void OnValueTextChanged(const std::string& text);

    /// Modulus dialog: a dialog logic starting from m_modulus.
    ModulusDlgLogic OpenModulusDlg() const { return ModulusDlgLogic(m_modulus); }
    /// Modulus dialog ended: with OK the modulus takes the entered value.
    void EndModulusDlg(const ModulusDlgLogic& dlg, bool ok);

    bool IsDigitEnabled(int id) const { return ::IsDigitEnabled(id, m_radix); }

    // Handlers, one per key family (OnCommand dispatches to them).
    void OnDigit(int digit);
    void OnInfixOperator(CalcOp op);
    void OnEquals();
    void OnUnary(CalcOp op);
    void OnBack();
    void OnClearEntry();
    void OnClear();
    void OnAllClear();
    void OnPlusMinus();
    void OnMemoryClear();
    void OnMemoryRecall();
    void OnMemoryStore();
    void OnMemoryAdd();
    void OnCopy(int id);   ///< ID_COPY_VALUE, ID_COPY_REMAINDER, ID_COPY_MEMORY
    void OnPasteValue();
    void OnPasteMemory();

    /// Applies m_pendingOp; touches no display.
    void Evaluate();
    void ShowValue();
    void ShowRemainder();
    void ShowMemory();
    /// Sets the operator display to the text of `op`.
    void ShowOperator(int op);

    /// Text of the operator display for a CalcOp (" " for none and unary codes).
    static const std::string& OperatorText(int op);

private:
    void Message(const std::string& text, const std::string& caption = CALC_CAPTION);
    void SetDisplay(int controlId, const std::string& text);
    std::string Format(BigInt& value);
    void Paste(BigInt& target);

    CalcView* m_view = nullptr;
};
