#include "calc/calc_engine.h"

#include <climits>

#include "bigint/decimal_text.h"
#include "bigint/message_box.h"

namespace {

// Messages of the calculator, exactly as the user sees them.
constexpr const char* MSG_TOO_LARGE_ENTRY = "これ以上大きな値は扱えません.";
constexpr const char* MSG_DIV_ZERO = "0で除算しました.";
constexpr const char* MSG_LCM_ZERO = "0との最小公倍数は求まりません.";
constexpr const char* MSG_ROOT_NEGATIVE = "負の数の平方根は計算しません.";
constexpr const char* MSG_SQRT_NEGATIVE = "負の数の平方根は範囲外です.";
constexpr const char* MSG_NEGATIVE = "負の数は計算できません.";
constexpr const char* MSG_OPERAND_TOO_LARGE = "元の値が大きすぎます.";
constexpr const char* MSG_NPR_ORDER = "n , ｢nPr｣ , r の順に入力して下さい.";
constexpr const char* MSG_NCR_ORDER = "n , ｢nCr｣ , r の順に入力して下さい.";
constexpr const char* MSG_OUT_OF_RANGE = "計算結果が扱える範囲を超えました.";
/// Shown in the memory display instead of a number while the memory holds an invalid value.
constexpr const char* MARK_INVALID_MEMORY = "値が大きすぎます";
constexpr const char* MSG_NO_INVERSE = "逆元は存在しません";
constexpr const char* MSG_BAD_CHARACTER = "不正な文字が入力されました.";
constexpr const char* MSG_BAD_CLIPBOARD = "クリップボードの値が正しくありません";
constexpr const char* MSG_MODULUS_TOO_LARGE = "値が大きすぎます";
constexpr const char* MSG_MODULUS_BAD_CHARACTER = "不正な文字が含まれています";

std::string DecimalText(BigInt value) {
    char buffer[BIGINT_TEXT_SIZE];
    return value.ToString(buffer, 10);
}

}  // namespace

// --- Keyboard map ------------------------------------------------------------

KeyMapping MapKeyDown(CalcVirtualKey key) {
    int id = 0;
    switch (key) {
        case VKEY_BACKSPACE: id = ID_BACK; break;
        case VKEY_ENTER: id = ID_EQUALS; break;
        case VKEY_ESCAPE: id = ID_C; break;
        case VKEY_DELETE: id = ID_CE; break;
        case VKEY_F2: id = ID_PLUSMINUS; break;
        case VKEY_F10: id = ID_PLUSMINUS; break;
        case VKEY_F3: id = ID_MC; break;
        case VKEY_F4: id = ID_MR; break;
        case VKEY_F5: id = ID_MS; break;
        case VKEY_F6: id = ID_MPLUS; break;
        case VKEY_OTHER: break;
    }
    if (id == 0) return {KeyMapping::PASS_ON, 0};
    return {KeyMapping::PRESS, id};
}

KeyMapping MapCharacter(char32_t ch, bool ctrlDown, unsigned radix) {
    const KeyMapping consume{KeyMapping::CONSUME, 0};
    if (ctrlDown) return consume;
    auto press = [](int id) { return KeyMapping{KeyMapping::PRESS, id}; };
    auto digit = [&](unsigned d) { return d < radix ? press(ID_DIGIT_0 + static_cast<int>(d)) : consume; };
    switch (ch) {
        case U'!': return press(ID_FACTORIAL);
        case U'%': return press(ID_MOD);
        case U'&': return press(ID_AND);
        case U'*': return press(ID_MUL);
        case U'+': return press(ID_ADD);
        case U'-': return press(ID_SUB);
        case U'/': return press(ID_DIV);
        case U'0': return press(ID_DIGIT_0);
        case U'1': return press(ID_DIGIT_0 + 1);
        case U'=': return press(ID_EQUALS);
        case U'@': return press(ID_SQUARE);
        case U'G': case U'g': return press(ID_GCD);
        case U'L': case U'l': return press(ID_LCM);
        case U'Y': case U'y': return press(ID_POW);
        case U'^': return press(ID_XOR);
        case U'|': return press(ID_OR);
        default: break;
    }
    if (ch >= U'2' && ch <= U'9') return digit(ch - U'0');
    if (ch >= U'A' && ch <= U'F') return digit(ch - U'A' + 10);
    if (ch >= U'a' && ch <= U'f') return digit(ch - U'a' + 10);
    return consume;
}

bool IsDigitEnabled(int id, unsigned radix) {
    return id >= ID_DIGIT_0 && id <= ID_DIGIT_F && static_cast<unsigned>(id - ID_DIGIT_0) < radix;
}

// --- Modulus dialog ----------------------------------------------------------

ModulusDlgLogic::ModulusDlgLogic(const BigInt& modulus)
    : m_entered(modulus), m_enteredText(DecimalText(modulus)) {}

void ModulusDlgLogic::OnChangeEdit(const std::string& text, ModulusDlgView& view) {
    BigInt parsed;
    if (parsed.FromString(text.c_str(), 10) == 0) {
        m_enteredText = DecimalText(parsed);
        m_entered = parsed;
        return;
    }
    view.ShowMessage(parsed.GetStatus() == 1 ? MSG_MODULUS_TOO_LARGE : MSG_MODULUS_BAD_CHARACTER,
                     APP_TITLE);
    m_enteredText = DecimalText(m_entered);
    view.SetEditText(m_enteredText);
}

// --- Engine ------------------------------------------------------------------

CalcEngine::CalcEngine(CalcView* view) : m_view(view) {}

void CalcEngine::OnStartUp() {
    m_logicSignMode = 0;
    m_pendingOp = OP_NONE;
    m_value = 0;
    m_remainder = 0;
    m_operand = 0;
    m_work = 0;
    m_memory = 0;
    m_modulus = 2;
    m_lucasInputs = LucasInputs{};
    m_mersenneFermatInputs = MersenneFermatInputs{};
    m_progressionInputs = ProgressionInputs{};
    m_primeSettings = PrimeSettings{};
    m_radix = 10;
    m_valueText = Format(m_value);
    m_remainderText = Format(m_remainder);
    m_memoryText = Format(m_memory);
    m_modulusText = Format(m_modulus);
    m_opText = OperatorText(OP_NONE);
}

void CalcEngine::OnInitDialog() {
    SetDisplay(IDC_VALUE, m_valueText);
    SetDisplay(IDC_REMAINDER, m_remainderText);
    SetDisplay(IDC_MEMORY, m_memoryText);
    SetDisplay(IDC_OPERATOR, m_opText);
    OnRadixTextChanged(std::to_string(m_radix));
    m_freshEntry = 1;
}

bool CalcEngine::IsEngineCommand(int id) {
    if (id >= ID_DIGIT_0 && id <= ID_DIGIT_F) return true;
    switch (id) {
        case ID_PLUSMINUS: case ID_DIV: case ID_MUL: case ID_SUB: case ID_ADD: case ID_EQUALS:
        case ID_BACK: case ID_CE: case ID_C: case ID_MC: case ID_MR: case ID_MS: case ID_MPLUS:
        case ID_MOD: case ID_AND: case ID_OR: case ID_XOR: case ID_LCM: case ID_GCD: case ID_AC:
        case ID_COPY_MEMORY: case ID_COPY_VALUE: case ID_COPY_REMAINDER: case ID_PASTE_MEMORY:
        case ID_PASTE_VALUE: case ID_FACTORIAL: case ID_SQUARE: case ID_POW: case ID_SQRT:
        case ID_POWMOD: case ID_ROOT: case ID_NPR: case ID_INVERSE: case ID_NCR:
            return true;
        default:
            return false;
    }
}

bool CalcEngine::OnCommand(int id) {
    if (id >= ID_DIGIT_0 && id <= ID_DIGIT_F) {
        if (IsDigitEnabled(id)) OnDigit(id - ID_DIGIT_0);
        return true;
    }
    switch (id) {
        case ID_ADD: OnInfixOperator(OP_ADD); break;
        case ID_SUB: OnInfixOperator(OP_SUB); break;
        case ID_MUL: OnInfixOperator(OP_MUL); break;
        case ID_DIV: OnInfixOperator(OP_DIV); break;
        case ID_MOD: OnInfixOperator(OP_MOD); break;
        case ID_LCM: OnInfixOperator(OP_LCM); break;
        case ID_GCD: OnInfixOperator(OP_GCD); break;
        case ID_AND: OnInfixOperator(OP_AND); break;
        case ID_OR: OnInfixOperator(OP_OR); break;
        case ID_XOR: OnInfixOperator(OP_XOR); break;
        case ID_POW: OnInfixOperator(OP_POW); break;
        case ID_ROOT: OnInfixOperator(OP_ROOT); break;
        case ID_POWMOD: OnInfixOperator(OP_POWMOD); break;
        case ID_NPR: OnInfixOperator(OP_NPR); break;
        case ID_NCR: OnInfixOperator(OP_NCR); break;
        case ID_SQUARE: OnUnary(OP_SQUARE); break;
        case ID_FACTORIAL: OnUnary(OP_FACTORIAL); break;
        case ID_SQRT: OnUnary(OP_SQRT); break;
        case ID_INVERSE: OnUnary(OP_INVERSE); break;
        case ID_EQUALS: OnEquals(); break;
        case ID_BACK: OnBack(); break;
        case ID_CE: OnClearEntry(); break;
        case ID_C: OnClear(); break;
        case ID_AC: OnAllClear(); break;
        case ID_PLUSMINUS: OnPlusMinus(); break;
        case ID_MC: OnMemoryClear(); break;
        case ID_MR: OnMemoryRecall(); break;
        case ID_MS: OnMemoryStore(); break;
        case ID_MPLUS: OnMemoryAdd(); break;
        case ID_COPY_VALUE: case ID_COPY_REMAINDER: case ID_COPY_MEMORY: OnCopy(id); break;
        case ID_PASTE_VALUE: OnPasteValue(); break;
        case ID_PASTE_MEMORY: OnPasteMemory(); break;
        default: return false;
    }
    return true;
}

// --- Entry state machine ------------------------------------------------------

void CalcEngine::OnDigit(int digit) {
    if (m_freshEntry) {
        m_freshEntry = 0;
        m_value = digit;
        ShowValue();
        return;
    }
    m_work = m_value * static_cast<int>(m_radix);
    if (m_work.GetStatus() == 1) {
        Message(MSG_TOO_LARGE_ENTRY);
        return;
    }
    if (digit > 0) {
        m_work = m_work + digit;
        if (m_work.GetStatus() == 1) {
            Message(MSG_TOO_LARGE_ENTRY);
            return;
        }
    }
    m_value = m_work;
    ShowValue();
}

void CalcEngine::OnInfixOperator(CalcOp op) {
    if (m_pendingOp == OP_NONE) {
        m_operand = m_value;
    } else if (!m_freshEntry) {
        Evaluate();
        ShowRemainder();
        ShowValue();
        m_operand = m_value;
    }
    m_freshEntry = 1;
    m_pendingOp = op;
    ShowOperator(op);
}

void CalcEngine::OnEquals() {
    const int op = m_pendingOp;
    Evaluate();
    if (op != OP_DIV && op != OP_ROOT) m_remainder = 0;
    ShowRemainder();
    ShowValue();
    m_pendingOp = OP_NONE;
    ShowOperator(OP_NONE);
    m_freshEntry = 1;
}

void CalcEngine::OnUnary(CalcOp op) {
    m_pendingOp = op;
    Evaluate();
    ShowRemainder();
    ShowValue();
    m_pendingOp = OP_NONE;
    ShowOperator(OP_NONE);
    m_freshEntry = 1;
}

void CalcEngine::Evaluate() {
    BigInt& A = m_operand;
    BigInt& X = m_value;
    BigInt& R = m_remainder;
    const BigInt& M = m_modulus;

    const char* refusal = nullptr;
    const char* refusalCaption = CALC_CAPTION;
    switch (m_pendingOp) {
        case OP_ADD: R = 0; X = A + X; break;
        case OP_SUB: R = 0; X = A - X; break;
        case OP_MUL: R = 0; X = A * X; break;
        case OP_DIV:
            if (X == 0) {
                refusal = MSG_DIV_ZERO;
            } else {
                R = A % X;
                X = A / X;
            }
            break;
        case OP_MOD:
            if (X == 0) {
                refusal = MSG_DIV_ZERO;
            } else {
                R = 0;
                X = A % X;
            }
            break;
        case OP_LCM:
        case OP_GCD:
            if (X == 0 || A == 0) {
                refusal = MSG_LCM_ZERO;
            } else {
                R = 0;
                X = m_pendingOp == OP_LCM ? A.Lcm(X) : A.Gcd(X);
            }
            break;
        case OP_AND: R = 0; m_work = A; X = m_work.And(X, m_logicSignMode); break;
        case OP_OR: R = 0; m_work = A; X = m_work.Or(X, m_logicSignMode); break;
        case OP_XOR: R = 0; m_work = A; X = m_work.Xor(X, m_logicSignMode); break;
        case OP_POW: R = 0; X = A.Power(X); break;
        case OP_SQUARE: R = 0; X = X.Power(2); break;
        case OP_FACTORIAL: R = 0; X = X.Factorial(); break;
        case OP_SQRT:
            if (X < 0) {
                refusal = MSG_SQRT_NEGATIVE;
            } else {
                m_work = X;
                X = X.Sqrt();
                R = m_work - X.Power(2);
            }
            break;
        case OP_ROOT:
            if (A < 0 || X < 0) {
                refusal = MSG_ROOT_NEGATIVE;
            } else {
                m_work = A;
                int n = X.ToInt();
                if (X != n) n = INT_MAX;
                X = A.Root(n);
                R = m_work - X.Power(n);
            }
            break;
        case OP_POWMOD: R = 0; X = A.PowerModCached(X, M); break;
        case OP_INVERSE: {
            R = 0;
            BigInt inverse;
            inverse.ModInverse(X, M);
            X = inverse;
            if (X == 0) Message(MSG_NO_INVERSE);
            break;
        }
        case OP_NPR:
        case OP_NCR:
            if (A < 0 || X < 0) {
                refusal = MSG_NEGATIVE;
            } else {
                const int n = A.ToInt();
                const int r = X.ToInt();
                if (A != n || X != r) {
                    refusal = MSG_OPERAND_TOO_LARGE;
                } else if (n < r) {
                    refusal = m_pendingOp == OP_NPR ? MSG_NPR_ORDER : MSG_NCR_ORDER;
                    refusalCaption = APP_TITLE;
                } else {
                    BigInt result;
                    if (m_pendingOp == OP_NPR) {
                        result.Permutations(n, r);
                    } else {
                        result.Combinations(n, r);
                    }
                    X = result;
                    R = 0;
                }
            }
            break;
        default: break;  // OP_NONE
    }
    if (refusal) {
        Message(refusal, refusalCaption);
        R = 0;
        X = 0;
    }
    if (X.GetStatus() == 1) {
        Message(MSG_OUT_OF_RANGE);
        X = 0;
        R = 0;
    }
}

// --- Editing and memory keys ------------------------------------------------

void CalcEngine::OnBack() {
    if (m_freshEntry) return;
    m_value = m_value / static_cast<int>(m_radix);
    ShowValue();
    if (m_value == 0) m_freshEntry = 1;
}

void CalcEngine::OnClearEntry() {
    m_remainder = 0;
    ShowRemainder();
    m_value = 0;
    ShowValue();
    m_freshEntry = 1;
}

void CalcEngine::OnClear() {
    m_remainder = 0;
    ShowRemainder();
    m_value = 0;
    ShowValue();
    m_pendingOp = OP_NONE;
    ShowOperator(OP_NONE);
    m_freshEntry = 1;
}

void CalcEngine::OnAllClear() {
    m_memory = 0;
    ShowMemory();
    OnClear();
}

void CalcEngine::OnPlusMinus() {
    m_value = BigInt(0) - m_value;
    ShowValue();
}

void CalcEngine::OnMemoryClear() {
    m_memory = 0;
    ShowMemory();
}

void CalcEngine::OnMemoryRecall() {
    m_value = m_memory;
    ShowValue();
    m_freshEntry = 1;
}

void CalcEngine::OnMemoryStore() {
    m_memory = m_value;
    ShowMemory();
    m_freshEntry = 1;
}

void CalcEngine::OnMemoryAdd() {
    // The sum's status is not checked: an overflowed memory shows a mark
    // and is refused only when MR has carried it into an evaluation.
    m_memory = m_memory + m_value;
    ShowMemory();
    m_freshEntry = 1;
}

// --- Clipboard --------------------------------------------------------------

void CalcEngine::OnCopy(int id) {
    BigInt& source = id == ID_COPY_REMAINDER ? m_remainder : id == ID_COPY_MEMORY ? m_memory : m_value;
    // An invalid value has no text: the clipboard keeps what it holds.
    if (source.status != 0) return;
    const std::string text = Format(source);
    if (m_view) m_view->WriteClipboardText(text);
}

void CalcEngine::Paste(BigInt& target) {
    if (!m_view) return;
    std::optional<std::string> text = m_view->ReadClipboardText();
    if (!text) return;
    // Only the text before the first line break counts (a NUL ends it as well).
    const size_t end = text->find_first_of(std::string("\r\n\0", 3));
    if (end != std::string::npos) text->resize(end);
    if (target.FromString(text->c_str(), static_cast<uint16_t>(m_radix)) != 0) {
        Message(MSG_BAD_CLIPBOARD);
        target = 0;
    }
}

void CalcEngine::OnPasteValue() {
    Paste(m_value);
    ShowValue();
    m_freshEntry = 0;
}

void CalcEngine::OnPasteMemory() {
    Paste(m_memory);
    ShowMemory();
}

// --- Radix and main display -----------------------------------------------

void CalcEngine::OnRadixTextChanged(const std::string& text) {
    const int n = ReadDecimalInt(text);
    if (n < 2 || n > 16) return;
    m_radix = static_cast<unsigned>(n);
    if (m_view) {
        for (int id = ID_DIGIT_0; id <= ID_DIGIT_F; ++id) m_view->EnableDigitButton(id, IsDigitEnabled(id));
    }
    ShowRemainder();
    ShowValue();
    ShowMemory();
}

void CalcEngine::OnValueTextChanged(const std::string& text) {
    m_valueText = text;
    if (m_work.FromString(text.c_str(), static_cast<uint16_t>(m_radix)) == 0) {
        m_value = m_work;
        return;
    }
    if (m_work.GetStatus() == 1) {
        m_valueText = Format(m_value);
        SetDisplay(IDC_VALUE, m_valueText);
        Message(MSG_TOO_LARGE_ENTRY);
        SetDisplay(IDC_VALUE, m_valueText);
    } else {
        Message(MSG_BAD_CHARACTER);
        m_valueText = Format(m_value);
        Message(m_valueText);
        SetDisplay(IDC_VALUE, m_valueText);
    }
}

void CalcEngine::EndModulusDlg(const ModulusDlgLogic& dlg, bool ok) {
    if (!ok) return;
    m_modulus = dlg.m_entered;
    m_modulusText = DecimalText(m_modulus);
}

// --- Displays -----------------------------------------------------------------

const std::string& CalcEngine::OperatorText(int op) {
    // Indexed by CalcOp; unary codes and OP_NONE show one blank.
    static const std::string texts[] = {
        " ",    "   +", "   -", "   *", "   /", "MOD", "LCM", "GCD", "AND", "OR",
        "XOR",  "X^Y",  " ",    " ",    " ",    "ROT", "PMD", " ",   "nPr", "nCr",
    };
    return op >= OP_NONE && op <= OP_NCR ? texts[op] : texts[OP_NONE];
}

std::string CalcEngine::Format(BigInt& value) {
    return value.ToString(m_textBuffer, static_cast<uint16_t>(m_radix));
}

void CalcEngine::ShowValue() {
    m_valueText = Format(m_value);
    SetDisplay(IDC_VALUE, m_valueText);
}

void CalcEngine::ShowRemainder() {
    m_remainderText = Format(m_remainder);
    SetDisplay(IDC_REMAINDER, m_remainderText);
}

void CalcEngine::ShowMemory() {
    m_memoryText = m_memory.status != 0 ? std::string(MARK_INVALID_MEMORY) : Format(m_memory);
    SetDisplay(IDC_MEMORY, m_memoryText);
}

void CalcEngine::ShowOperator(int op) {
    m_opText = OperatorText(op);
    SetDisplay(IDC_OPERATOR, m_opText);
}

void CalcEngine::SetDisplay(int controlId, const std::string& text) {
    if (m_view) m_view->SetDisplayText(controlId, text);
}

void CalcEngine::Message(const std::string& text, const std::string& caption) {
    if (m_view) m_view->ShowMessage(text, caption);
}
