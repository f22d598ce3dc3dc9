#include "calc/calc_dlg.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "calc/about_dlg.h"
#include "calc/help_window.h"
#include "calc/modulus_dlg.h"
#include "calc/qt_message_box.h"

namespace {

// Texts of the window, its menus and its keypad.
constexpr const char* TXT_CAPTION = "Kalvora";
constexpr const char* TXT_GROUP_MAIN = "メイン";
constexpr const char* TXT_GROUP_MEMORY = "メモリ";
constexpr const char* TXT_GROUP_RADIX = "基数";
constexpr const char* TXT_GROUP_MODULAR = "剰余系";
constexpr const char* TXT_REMAINDER = "剰余";
constexpr const char* TXT_RADIX_SUFFIX = "進数";
constexpr const char* TXT_COPY = "Copy";
constexpr const char* TXT_PASTE = "Paste";

constexpr const char* MENU_FILE = "ﾌｧｲﾙ(&F)";
constexpr const char* MENU_EDIT = "編集(&E)";
constexpr const char* MENU_TOOLS = "拡張機能(&A)";
constexpr const char* MENU_HELP = "ﾍﾙﾌﾟ(&H)";
constexpr const char* ITEM_EXIT = "Kalvoraの終了(&X)";
constexpr const char* ITEM_CLEAR = "ﾒｲﾝ領域の値をｸﾘｱ(&E)     ESC";
constexpr const char* ITEM_ALL_CLEAR = "値をｵｰﾙｸﾘｱ(&D)";
constexpr const char* ITEM_COPY_VALUE = "ﾒｲﾝ領域の値をｺﾋﾟｰ(&C)   Ctrl+C";
constexpr const char* ITEM_COPY_REMAINDER = "ﾒｲﾝ剰余の値をｺﾋﾟｰ(&R)";
constexpr const char* ITEM_COPY_MEMORY = "ﾒﾓﾘ領域の値をｺﾋﾟｰ(&M)";
constexpr const char* ITEM_PASTE_VALUE = "ﾒｲﾝ領域に貼り付け(&P)";
constexpr const char* ITEM_PASTE_MEMORY = "ﾒﾓﾘ領域に貼り付け(&Q)";
constexpr const char* ITEM_PROGRESSION = "等差・等比数列機能(&T)";
constexpr const char* ITEM_LUCAS = "Lucas型数列機能(&L)";
constexpr const char* ITEM_MERSENNE_FERMAT = "Mersenne数・Fermat数機能(&F)";
constexpr const char* ITEM_PRIME = "素数判別・素因数分解機能(&I)";
constexpr const char* ITEM_HELP = "ﾍﾙﾌﾟ(&H)";
constexpr const char* ITEM_HELP_F1 = "ﾍﾙﾌﾟ(&H)                      F1";
constexpr const char* ITEM_ABOUT = "ﾊﾞｰｼﾞｮﾝ情報(&A)...";
constexpr const char* ITEM_ABOUT_POPUP = "ﾊﾞｰｼﾞｮﾝ情報(&A)";

// The keypad, row by row; id 0 is the operator display, -1 the second
// column of "=".
struct KeypadKey {
    const char* text;
    int id;
};
constexpr int KEYPAD_ROWS = 5;
constexpr int KEYPAD_COLUMNS = 9;
// clang-format off
constexpr KeypadKey KEYPAD[KEYPAD_ROWS][KEYPAD_COLUMNS] = {
    {{"", 0}, {"Back", ID_BACK}, {"CE", ID_CE}, {"C", ID_C}, {"AC", ID_AC},
     {"√X", ID_SQRT}, {"Y√X", ID_ROOT}, {"X^2", ID_SQUARE}, {"X^Y", ID_POW}},
    {{"MC", ID_MC}, {"7", 2007}, {"8", 2008}, {"9", 2009}, {"A", 2010},
     {"/", ID_DIV}, {"!", ID_FACTORIAL}, {"nPr", ID_NPR}, {"nCr", ID_NCR}},
    {{"MR", ID_MR}, {"4", 2004}, {"5", 2005}, {"6", 2006}, {"B", 2011},
     {"*", ID_MUL}, {"MOD", ID_MOD}, {"&LCM", ID_LCM}, {"&GCD", ID_GCD}},
    {{"MS", ID_MS}, {"1", 2001}, {"2", 2002}, {"3", 2003}, {"C", 2012},
     {"-", ID_SUB}, {"AND", ID_AND}, {"OR", ID_OR}, {"XOR", ID_XOR}},
    {{"M+", ID_MPLUS}, {"0", 2000}, {"F", 2015}, {"E", 2014}, {"D", 2013},
     {"+", ID_ADD}, {"+/-", ID_PLUSMINUS}, {"=", ID_EQUALS}, {"", -1}},
};
// clang-format on

constexpr int DISPLAY_MAX_LENGTH = 1617;
constexpr int OPERATOR_MAX_LENGTH = 5;
constexpr int PRESS_MILLISECONDS = 20;

QString Utf8(const char* s) { return QString::fromUtf8(s); }
QString Utf8(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

// Dialog units of the window's font (a quarter of the average character
// width across, an eighth of the line height down) and the sizes of the
// layout's parts in pixels.
struct CalcDlg::LayoutMetrics {
    double x = 0;
    double y = 0;
    int keyWidth = 0;
    int keyHeight = 0;
    int gap = 0;
    int halfHeight = 0;     ///< a side button beside a display
    int displayHeight = 0;  ///< a display: two side buttons and the space between them

    explicit LayoutMetrics(const QFont& font) {
        QFontMetricsF fm(font);
        x = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0 / 4.0;
        y = fm.height() / 8.0;
        keyWidth = X(20);
        keyHeight = Y(15);
        gap = X(2);
    }
    int X(double units) const { return static_cast<int>(units * x + 0.5); }
    int Y(double units) const { return static_cast<int>(units * y + 0.5); }
};

// --- DisplayEdit ----------------------------------------------------------------

DisplayEdit::DisplayEdit(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setWordWrapMode(QTextOption::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabChangesFocus(true);
    setUndoRedoEnabled(false);
    document()->setDocumentMargin(2);
    // Digits in a fixed-width face, a little larger than the window's text.
    QFont digits = font();
    digits.setFamilies({QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP"),
                        QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Monospace")});
    digits.setStyleHint(QFont::TypeWriter);
    digits.setPointSizeF(font().pointSizeF() * 1.2);
    setFont(digits);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(sizeHint().height());
}

QSize DisplayEdit::sizeHint() const {
    const int frame = frameWidth() * 2;
    const int line = fontMetrics().height() + 2 * static_cast<int>(document()->documentMargin());
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return {fontMetrics().averageCharWidth() * 20, line + bar + frame};
}

void DisplayEdit::FitHeight(int height) {
    // The one line sits in the middle of the space above the scroll bar.
    const int frame = frameWidth() * 2;
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const int free = height - frame - bar - fontMetrics().height();
    document()->setDocumentMargin(std::max(2, free / 2));
    setFixedHeight(height);
}

QSize DisplayEdit::minimumSizeHint() const {
    return {fontMetrics().averageCharWidth() * 4, sizeHint().height()};
}

void DisplayEdit::insertFromMimeData(const QMimeData* source) {
    // The display is an upper-case edit: typed-in and pasted letters are shown capitalised.
    if (source != nullptr && source->hasText()) {
        QMimeData upper;
        upper.setText(source->text().toUpper());
        QPlainTextEdit::insertFromMimeData(&upper);
        return;
    }
    QPlainTextEdit::insertFromMimeData(source);
}

// --- CalcDlg ----------------------------------------------------------------------

CalcDlg::CalcDlg(QWidget* parent)
    : QDialog(parent),
      m_engine(this),
      m_keyboard(this, [this] { return m_engine.m_radix; }, [this](int id) { PressButton(id); }) {
    setWindowTitle(Utf8(TXT_CAPTION));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon(QStringLiteral(":/kalvora/icons/kalvora.png")));
    BuildLayout();
    BuildMenuBar();
}

CalcDlg::~CalcDlg() {
    if (KeyboardFilter::Installed() == &m_keyboard) KeyboardFilter::Install(nullptr);
    m_engine.SetView(nullptr);
}

void CalcDlg::Register(QWidget* widget, int id) {
    SetControlId(widget, id);
    m_controls[id] = widget;
}

QWidget* CalcDlg::Control(int id) const {
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

QAbstractButton* CalcDlg::Button(int id) const {
    return qobject_cast<QAbstractButton*>(Control(id));
}

QAbstractButton* CalcDlg::MakeButton(const char* text, int id) {
    auto* button = new QPushButton(Utf8(text), this);
    button->setAutoDefault(false);
    button->setDefault(false);
    Register(button, id);
    connect(button, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
    return button;
}

void CalcDlg::BuildLayout() {
    LayoutMetrics m(font());
    BuildFocusHolder();
    BuildDisplays(m);
    QWidget* mainGroup = BuildMainGroup(m);
    QWidget* memoryGroup = BuildMemoryGroup(m);

    auto* middleRow = new QHBoxLayout;
    middleRow->setSpacing(m.X(4));
    middleRow->addWidget(BuildRadixGroup(m), 1);
    middleRow->addWidget(BuildModularGroup(m), 0);

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(m.X(6), m.Y(3), m.X(6), m.Y(6));
    top->setSpacing(m.Y(3));
    top->addWidget(mainGroup);
    top->addWidget(memoryGroup);
    top->addLayout(middleRow);
    top->addSpacing(m.Y(2));
    top->addLayout(BuildKeypad(m));
    top->setSizeConstraint(QLayout::SetFixedSize);
}

void CalcDlg::BuildFocusHolder() {
    // An edit the user never sees, so keys typed while it has the focus
    // still pass the keyboard filter.
    m_focusHolder = new QLineEdit(this);
    m_focusHolder->setFocusPolicy(Qt::NoFocus);
    m_focusHolder->setReadOnly(true);
    m_focusHolder->setFrame(false);
    m_focusHolder->setGeometry(0, 0, 0, 0);
    m_focusHolder->setAttribute(Qt::WA_TransparentForMouseEvents);
    Register(m_focusHolder, IDC_FOCUS_HOLDER);
}

void CalcDlg::BuildDisplays(LayoutMetrics& m) {
    auto makeDisplay = [this](int id, bool readOnly) {
        auto* edit = new DisplayEdit(this);
        edit->setReadOnly(readOnly);
        edit->setFocusPolicy(Qt::ClickFocus);
        edit->installEventFilter(this);
        Register(edit, id);
        return edit;
    };
    m_valueEdit = makeDisplay(IDC_VALUE, false);
    m_remainderEdit = makeDisplay(IDC_REMAINDER, false);
    m_memoryEdit = makeDisplay(IDC_MEMORY, true);
    connect(m_valueEdit, &QPlainTextEdit::textChanged, this, [this] {
        if (m_programWrite || m_parsePending) return;
        // The parse runs once the edit has finished its change, like a change notification.
        m_parsePending = true;
        QTimer::singleShot(0, this, [this] { OnValueEdited(); });
    });

    // Each display is as tall as the two buttons beside it.
    m.halfHeight = std::max(m.keyHeight - m.Y(2), m_valueEdit->height() / 2);
    m.displayHeight = 2 * m.halfHeight + m.Y(1);
    for (DisplayEdit* edit : {m_valueEdit, m_remainderEdit, m_memoryEdit}) edit->FitHeight(m.displayHeight);
}

QAbstractButton* CalcDlg::MakeSideButton(const LayoutMetrics& m, const char* text, int id) {
    QAbstractButton* b = MakeButton(text, id);
    b->setFixedSize(m.X(26), m.halfHeight);
    return b;
}

QWidget* CalcDlg::BuildMainGroup(const LayoutMetrics& m) {
    // "メイン": main display with Copy and Paste, remainder display with Copy.
    auto* group = new QGroupBox(Utf8(TXT_GROUP_MAIN), this);
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(m.X(4), m.Y(2), m.X(4), m.Y(3));
    grid->setHorizontalSpacing(m.X(3));
    grid->setVerticalSpacing(m.Y(3));
    grid->addWidget(m_valueEdit, 0, 0, 1, 2);
    auto* valueButtons = new QVBoxLayout;
    valueButtons->setSpacing(m.displayHeight - 2 * m.halfHeight);
    valueButtons->addWidget(MakeSideButton(m, TXT_COPY, ID_COPY_VALUE));
    valueButtons->addWidget(MakeSideButton(m, TXT_PASTE, ID_PASTE_VALUE));
    grid->addLayout(valueButtons, 0, 2);
    grid->addWidget(new QLabel(Utf8(TXT_REMAINDER), group), 1, 0);
    grid->addWidget(m_remainderEdit, 1, 1);
    grid->addWidget(MakeSideButton(m, TXT_COPY, ID_COPY_REMAINDER), 1, 2, Qt::AlignTop);
    return group;
}

QWidget* CalcDlg::BuildMemoryGroup(const LayoutMetrics& m) {
    // "メモリ": memory display with Copy and Paste.
    auto* group = new QGroupBox(Utf8(TXT_GROUP_MEMORY), this);
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(m.X(4), m.Y(2), m.X(4), m.Y(3));
    grid->setHorizontalSpacing(m.X(3));
    grid->addWidget(m_memoryEdit, 0, 0);
    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(m.displayHeight - 2 * m.halfHeight);
    buttons->addWidget(MakeSideButton(m, TXT_COPY, ID_COPY_MEMORY));
    buttons->addWidget(MakeSideButton(m, TXT_PASTE, ID_PASTE_MEMORY));
    grid->addLayout(buttons, 0, 1);
    return group;
}

QWidget* CalcDlg::BuildRadixGroup(const LayoutMetrics& m) {
    // "基数": radix edit with its up-down, then "進数".
    auto* group = new QGroupBox(Utf8(TXT_GROUP_RADIX), this);
    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(m.X(4), m.Y(2), m.X(4), m.Y(3));
    row->setSpacing(m.X(3));
    m_radixSpin = new QSpinBox(group);
    m_radixSpin->setRange(2, 16);
    m_radixSpin->setValue(10);
    m_radixSpin->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_radixSpin->setFocusPolicy(Qt::NoFocus);
    m_radixSpin->setFixedSize(m.X(30), m.keyHeight);
    m_radixSpin->setKeyboardTracking(false);
    Register(m_radixSpin, IDC_RADIX_SPIN);
    m_radixEdit = m_radixSpin->findChild<QLineEdit*>();
    m_radixEdit->setFocusPolicy(Qt::NoFocus);
    m_radixEdit->installEventFilter(this);
    m_radixSpin->installEventFilter(this);  // the spin box takes the focus for its edit
    Register(m_radixEdit, IDC_RADIX);
    // The spin box writes its edit with the edit's signals blocked; its own
    // textChanged is the edit's change notification.
    connect(m_radixSpin, &QSpinBox::textChanged, this, &CalcDlg::OnRadixEdited);
    row->addWidget(m_radixSpin);
    row->addWidget(new QLabel(Utf8(TXT_RADIX_SUFFIX), group));
    row->addStretch(1);
    return group;
}

QWidget* CalcDlg::BuildModularGroup(const LayoutMetrics& m) {
    // "剰余系": X^Y modulo M, the inverse, the modulus dialog.
    auto* group = new QGroupBox(Utf8(TXT_GROUP_MODULAR), this);
    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(m.X(4), m.Y(2), m.X(4), m.Y(3));
    row->setSpacing(m.gap);
    for (auto [text, id] : {std::pair{"X^Y", int{ID_POWMOD}}, std::pair{"1/X", int{ID_INVERSE}},
                            std::pair{"法...", int{ID_MODULUS_DLG}}}) {
        QAbstractButton* b = MakeButton(text, id);
        b->setFixedSize(m.keyWidth + m.X(4), m.keyHeight);
        row->addWidget(b);
    }
    return group;
}

QLayout* CalcDlg::BuildKeypad(const LayoutMetrics& m) {
    auto* keypad = new QGridLayout;
    keypad->setHorizontalSpacing(m.gap);
    keypad->setVerticalSpacing(m.Y(2));
    for (int row = 0; row < KEYPAD_ROWS; ++row) {
        for (int col = 0; col < KEYPAD_COLUMNS; ++col) {
            const KeypadKey& key = KEYPAD[row][col];
            if (key.id == -1) continue;
            if (key.id == 0) {
                m_opEdit = new QLineEdit(this);
                m_opEdit->setReadOnly(true);
                m_opEdit->setMaxLength(OPERATOR_MAX_LENGTH);
                m_opEdit->setFocusPolicy(Qt::NoFocus);
                m_opEdit->setFixedSize(m.keyWidth, m.keyHeight);
                m_opEdit->setTextMargins(0, 0, 0, 0);
                m_opEdit->installEventFilter(this);
                Register(m_opEdit, IDC_OPERATOR);
                keypad->addWidget(m_opEdit, row, col);
                continue;
            }
            QAbstractButton* b = MakeButton(key.text, key.id);
            const int span = key.id == ID_EQUALS ? 2 : 1;
            b->setFixedSize(m.keyWidth * span + m.gap * (span - 1), m.keyHeight);
            keypad->addWidget(b, row, col, 1, span);
            if (key.id >= ID_DIGIT_0 && key.id <= ID_DIGIT_F) m_digitButtons[key.id - ID_DIGIT_0] = b;
        }
    }
    return keypad;
}

void CalcDlg::AddMenuItem(QMenu* menu, const char* text, int id) {
    QAction* action = menu->addAction(Utf8(text));
    action->setProperty(CONTROL_ID_PROPERTY, id);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
}

void CalcDlg::BuildMenuBar() {
    m_menuBar = new QMenuBar(this);
    m_menuBar->setNativeMenuBar(false);

    QMenu* file = m_menuBar->addMenu(Utf8(MENU_FILE));
    AddMenuItem(file, ITEM_EXIT, ID_APP_EXIT);

    QMenu* edit = m_menuBar->addMenu(Utf8(MENU_EDIT));
    AddMenuItem(edit, ITEM_CLEAR, ID_C);
    AddMenuItem(edit, ITEM_ALL_CLEAR, ID_AC);
    edit->addSeparator();
    AddMenuItem(edit, ITEM_COPY_VALUE, ID_COPY_VALUE);
    AddMenuItem(edit, ITEM_COPY_REMAINDER, ID_COPY_REMAINDER);
    AddMenuItem(edit, ITEM_COPY_MEMORY, ID_COPY_MEMORY);
    AddMenuItem(edit, ITEM_PASTE_VALUE, ID_PASTE_VALUE);
    AddMenuItem(edit, ITEM_PASTE_MEMORY, ID_PASTE_MEMORY);

    QMenu* tools = m_menuBar->addMenu(Utf8(MENU_TOOLS));
    AddMenuItem(tools, ITEM_PROGRESSION, ID_TOOL_PROGRESSION);
    AddMenuItem(tools, ITEM_LUCAS, ID_TOOL_LUCAS);
    AddMenuItem(tools, ITEM_MERSENNE_FERMAT, ID_TOOL_MERSENNE_FERMAT);
    AddMenuItem(tools, ITEM_PRIME, ID_TOOL_PRIME);

    QMenu* help = m_menuBar->addMenu(Utf8(MENU_HELP));
    AddMenuItem(help, ITEM_HELP, ID_HELP);
    help->addSeparator();
    AddMenuItem(help, ITEM_ABOUT, ID_APP_ABOUT);

    layout()->setMenuBar(m_menuBar);
}

QMenu* CalcDlg::CreateContextMenu() {
    auto* menu = new QMenu(this);
    AddMenuItem(menu, ITEM_CLEAR, ID_C);
    AddMenuItem(menu, ITEM_ALL_CLEAR, ID_AC);
    menu->addSeparator();
    AddMenuItem(menu, ITEM_PROGRESSION, ID_TOOL_PROGRESSION);
    AddMenuItem(menu, ITEM_LUCAS, ID_TOOL_LUCAS);
    AddMenuItem(menu, ITEM_MERSENNE_FERMAT, ID_TOOL_MERSENNE_FERMAT);
    AddMenuItem(menu, ITEM_PRIME, ID_TOOL_PRIME);
    menu->addSeparator();
    AddMenuItem(menu, ITEM_COPY_VALUE, ID_COPY_VALUE);
    AddMenuItem(menu, ITEM_COPY_REMAINDER, ID_COPY_REMAINDER);
    AddMenuItem(menu, ITEM_COPY_MEMORY, ID_COPY_MEMORY);
    AddMenuItem(menu, ITEM_PASTE_VALUE, ID_PASTE_VALUE);
    AddMenuItem(menu, ITEM_PASTE_MEMORY, ID_PASTE_MEMORY);
    menu->addSeparator();
    AddMenuItem(menu, ITEM_HELP_F1, ID_HELP);
    AddMenuItem(menu, ITEM_ABOUT_POPUP, ID_APP_ABOUT);
    menu->addSeparator();
    AddMenuItem(menu, ITEM_EXIT, ID_APP_EXIT);
    return menu;
}

void CalcDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = CreateContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

void CalcDlg::SetToolCommand(int id, std::function<void()> handler) {
    m_toolCommands[id] = std::move(handler);
}

void CalcDlg::showEvent(QShowEvent* event) {
    if (!m_initialised) {
        m_initialised = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CalcDlg::OnInitDialog() {
    // The radix edit shows m_radix; the engine then fills the displays and
    // enables the digit buttons for it.
    {
        const QSignalBlocker block(m_radixSpin);
        m_radixSpin->setValue(static_cast<int>(
            m_engine.m_radix >= 2 && m_engine.m_radix <= 16 ? m_engine.m_radix : 10));
    }
    m_engine.OnInitDialog();
    KeyboardFilter::Install(&m_keyboard);
    m_radixSpin->setRange(2, 16);
    m_radixSpin->setDisplayIntegerBase(10);
    if (QAbstractButton* c = Button(ID_C)) c->setFocus(Qt::OtherFocusReason);
}

void CalcDlg::OnCommand(int id) {
    if (CalcEngine::IsEngineCommand(id)) {
        m_engine.OnCommand(id);
        return;
    }
    switch (id) {
        case ID_MODULUS_DLG:
            OnModulus();
            return;
        case ID_APP_ABOUT:
            OnAbout();
            return;
        case ID_APP_EXIT:
            OnExit();
            return;
        case ID_HELP:
            OnHelp();
            return;
        default:
            break;
    }
    auto it = m_toolCommands.find(id);
    if (it != m_toolCommands.end() && it->second) it->second();
}

void CalcDlg::PressButton(int id) {
    QAbstractButton* button = Button(id);
    if (button == nullptr || !button->isEnabled()) return;
    button->setDown(true);
    button->repaint();
    QThread::msleep(PRESS_MILLISECONDS);
    button->setDown(false);
    button->repaint();
    button->click();
}

void CalcDlg::OnModulus() {
    ModulusDlg dlg(m_engine.OpenModulusDlg(), this);
    const bool ok = dlg.exec() == QDialog::Accepted;
    m_engine.EndModulusDlg(dlg.Logic(), ok);
}

void CalcDlg::OnAbout() {
    AboutDlg dlg(this);
    dlg.exec();
}

void CalcDlg::OnHelp() {
    if (m_help == nullptr) m_help = new HelpWindow(this);
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

void CalcDlg::OnExit() { close(); }

HelpWindow* CalcDlg::Help() const { return m_help.data(); }

void CalcDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_F1:
            OnHelp();
            event->accept();
            return;
        // Esc and Enter are C and = (the keyboard filter presses them); they
        // never close the window or press a default button.
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

bool CalcDlg::eventFilter(QObject* watched, QEvent* event) {
    // No display keeps the focus: it moves on to the invisible focus holder.
    // The display never sees the focus arrive, so it starts no caret.
    if (event->type() == QEvent::FocusIn && watched != m_focusHolder) {
        m_focusHolder->setFocus(Qt::OtherFocusReason);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CalcDlg::OnValueEdited() {
    m_parsePending = false;
    m_engine.OnValueTextChanged(m_valueEdit->toPlainText().toStdString());
}

void CalcDlg::OnRadixEdited(const QString& text) {
    m_engine.OnRadixTextChanged(text.toStdString());
}

// --- CalcView ------------------------------------------------------------------

void CalcDlg::SetDisplayText(int controlId, const std::string& text) {
    const QString qtext = Utf8(text);
    m_programWrite = true;
    switch (controlId) {
        case IDC_VALUE:
            m_valueEdit->setPlainText(qtext.left(DISPLAY_MAX_LENGTH));
            // Digits are typed at the end: keep the end in view.
            m_valueEdit->moveCursor(QTextCursor::End);
            m_valueEdit->ensureCursorVisible();
            break;
        case IDC_REMAINDER:
            m_remainderEdit->setPlainText(qtext.left(DISPLAY_MAX_LENGTH));
            break;
        case IDC_MEMORY:
            m_memoryEdit->setPlainText(qtext.left(DISPLAY_MAX_LENGTH));
            break;
        case IDC_OPERATOR:
            m_opEdit->setText(qtext);
            m_opEdit->setCursorPosition(0);
            break;
        default:
            break;
    }
    m_programWrite = false;
}

void CalcDlg::EnableDigitButton(int id, bool enabled) {
    if (id < ID_DIGIT_0 || id > ID_DIGIT_F) return;
    if (QAbstractButton* b = m_digitButtons[id - ID_DIGIT_0]) b->setEnabled(enabled);
}

void CalcDlg::ShowMessage(const std::string& text, const std::string& caption) {
    ShowQtMessageBox(this, text, caption);
}

std::optional<std::string> CalcDlg::ReadClipboardText() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (data == nullptr || !data->hasText()) return std::nullopt;
    return data->text().toStdString();
}

void CalcDlg::WriteClipboardText(const std::string& text) {
    QGuiApplication::clipboard()->setText(Utf8(text), QClipboard::Clipboard);
}
