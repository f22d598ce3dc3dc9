// The main window through its real widgets on the offscreen platform:
// keypad, menus, keyboard filter, focus, radix up-down, the main display's
// own paste, the clipboard, the modulus and version dialogs, message boxes.
// Every box is answered by the test; a box nobody expected fails the test.

#include "calc/calc_dlg.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bigint/message_box.h"
#include "calc/about_dlg.h"
#include "calc/calc_app.h"
#include "calc/help_window.h"
#include "calc/modulus_dlg.h"

namespace {

struct Box {
    std::string caption;
    std::string text;
    bool operator==(const Box&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Box& b) {
    return os << "[" << b.caption << "] " << b.text;
}

// Answers modal windows from a timer while the code under test runs their
// loops: message boxes are recorded and closed with OK; other dialogs go to
// the handler the test set, and without one they are recorded as
// unexpected and rejected.
class ModalAnswerer : public QObject {
  public:
    ModalAnswerer() {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
        m_timer.start();
    }

    std::vector<Box> boxes;
    std::vector<std::string> unexpectedDialogs;
    std::function<void(QDialog*)> dialogHandler;

    std::vector<Box> Take() {
        std::vector<Box> out;
        out.swap(boxes);
        return out;
    }

  private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == m_handled) return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            m_handled = box;
            boxes.push_back({box->windowTitle().toStdString(), box->text().toStdString()});
            QAbstractButton* ok = box->button(QMessageBox::Ok);
            EXPECT_NE(ok, nullptr) << "box without OK button";
            EXPECT_EQ(box->buttons().size(), 1) << "box with more than one button";
            if (ok != nullptr)
                ok->click();
            else
                box->reject();
            return;
        }
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            if (dialogHandler) {
                // Runs from its own timer: a box the dialog opens must find
                // this poll free to answer it.
                m_handled = dialog;
                QTimer::singleShot(0, dialog,
                                   [handler = dialogHandler, dialog] { handler(dialog); });
                return;
            }
            unexpectedDialogs.push_back(dialog->metaObject()->className());
            dialog->reject();
        }
    }

    QTimer m_timer;
    QPointer<QWidget> m_handled;
};

QAction* FindAction(QWidget* root, int id) {
    for (QAction* a : root->findChildren<QAction*>()) {
        if (a->property(CONTROL_ID_PROPERTY).isValid() &&
            a->property(CONTROL_ID_PROPERTY).toInt() == id)
            return a;
    }
    return nullptr;
}

std::string Text(const QString& s) { return s.toStdString(); }

class CalcDlgTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QApplication::clipboard()->clear();
        OpenWindow();
        answerer = std::make_unique<ModalAnswerer>();
    }

    // A fresh main window with the start values, shown and active.
    void OpenWindow() {
        dlg = std::make_unique<CalcDlg>();
        dlg->Engine().OnStartUp();
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        dlg->activateWindow();
        QApplication::setActiveWindow(dlg.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    }

    void TearDown() override {
        EXPECT_TRUE(answerer->boxes.empty())
            << "boxes nobody checked, first: " << answerer->boxes.front();
        EXPECT_TRUE(answerer->unexpectedDialogs.empty())
            << "unexpected dialog " << answerer->unexpectedDialogs.front();
        answerer.reset();
        dlg.reset();
    }

    QWidget* Control(int id) {
        QWidget* w = FindControl(dlg.get(), id);
        EXPECT_NE(w, nullptr) << "no control " << id;
        return w;
    }
    QAbstractButton* Button(int id) { return qobject_cast<QAbstractButton*>(Control(id)); }

    std::string Display(int id) {
        QWidget* w = Control(id);
        if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) return Text(edit->toPlainText());
        if (auto* line = qobject_cast<QLineEdit*>(w)) return Text(line->text());
        return "?";
    }

    QWidget* KeyTarget() {
        QWidget* focus = QApplication::focusWidget();
        return focus != nullptr ? focus : dlg.get();
    }

    // Types `keys` at the focused widget: plain characters, or {Name} for
    // Esc, Enter, Back, Del, Tab, Space, F1..F10 and {Ctrl+x}.
    void Type(const std::string& keys) {
        for (size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] != '{') {
                QTest::keyClick(KeyTarget(), keys[i]);
                continue;
            }
            const size_t end = keys.find('}', i);
            const std::string name = keys.substr(i + 1, end - i - 1);
            i = end;
            if (name.rfind("Ctrl+", 0) == 0) {
                const char c = name[5];
                const int key = (c >= 'a' && c <= 'z') ? Qt::Key_A + (c - 'a') : c;
                QTest::keyClick(KeyTarget(), static_cast<Qt::Key>(key), Qt::ControlModifier);
                continue;
            }
            static const std::map<std::string, Qt::Key> named = {
                {"Esc", Qt::Key_Escape}, {"Enter", Qt::Key_Return}, {"Back", Qt::Key_Backspace},
                {"Del", Qt::Key_Delete}, {"Tab", Qt::Key_Tab},      {"Space", Qt::Key_Space},
                {"F1", Qt::Key_F1},      {"F2", Qt::Key_F2},        {"F3", Qt::Key_F3},
                {"F4", Qt::Key_F4},      {"F5", Qt::Key_F5},        {"F6", Qt::Key_F6},
                {"F10", Qt::Key_F10},    {"KpEnter", Qt::Key_Enter}};
            auto it = named.find(name);
            ASSERT_NE(it, named.end()) << name;
            QTest::keyClick(KeyTarget(), it->second);
        }
    }

    void SetRadix(int radix) {
        auto* spin = qobject_cast<QSpinBox*>(Control(IDC_RADIX_SPIN));
        ASSERT_NE(spin, nullptr);
        spin->setValue(radix);
    }

    // Runs `action`, which opens a modal dialog; `handler` answers it.
    void WithDialog(const std::function<void(QDialog*)>& handler,
                    const std::function<void()>& action) {
        bool handled = false;
        answerer->dialogHandler = [&](QDialog* d) {
            handled = true;
            handler(d);
        };
        action();
        answerer->dialogHandler = nullptr;
        EXPECT_TRUE(handled) << "the dialog did not open";
    }

    std::unique_ptr<CalcDlg> dlg;
    std::unique_ptr<ModalAnswerer> answerer;
};

// --- Layout ----------------------------------------------------------------------

TEST_F(CalcDlgTest, WindowCaptionGroupsLabelsAndFixedSize) {
    EXPECT_EQ(Text(dlg->windowTitle()), "Kalvora");
    std::vector<std::string> groups;
    for (QGroupBox* g : dlg->findChildren<QGroupBox*>()) groups.push_back(Text(g->title()));
    EXPECT_EQ(groups, (std::vector<std::string>{"メイン", "メモリ", "基数", "剰余系"}));
    std::vector<std::string> labels;
    for (QLabel* l : dlg->findChildren<QLabel*>()) labels.push_back(Text(l->text()));
    EXPECT_EQ(labels, (std::vector<std::string>{"剰余", "進数"}));
    EXPECT_EQ(dlg->minimumSize(), dlg->maximumSize()) << "the window must not be resizable";
    EXPECT_FALSE(dlg->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(dlg->windowFlags() & Qt::WindowMinimizeButtonHint);
}

TEST_F(CalcDlgTest, EveryControlCarriesItsIdAndText) {
    struct Row {
        int id;
        const char* text;  // nullptr: not a button
    };
    // clang-format off
    const Row rows[] = {
        {1000, nullptr}, {1001, nullptr}, {1002, nullptr}, {1043, nullptr}, {1044, nullptr},
        {1048, nullptr}, {1053, nullptr}, {1056, "Copy"},  {1059, "Paste"}, {1057, "Copy"},
        {1055, "Copy"},  {1058, "Paste"}, {1066, "X^Y"},   {1070, "1/X"},   {1072, "法..."},
    };
    // clang-format on
    for (const Row& row : rows) {
        QWidget* w = Control(row.id);
        if (w == nullptr || row.text == nullptr) continue;
        auto* b = qobject_cast<QAbstractButton*>(w);
        ASSERT_NE(b, nullptr) << row.id;
        EXPECT_EQ(Text(b->text()), row.text) << row.id;
    }
    EXPECT_FALSE(Control(IDC_FOCUS_HOLDER)->geometry().width() > 0)
        << "the focus holder must not be seen";
    auto* memory = qobject_cast<QPlainTextEdit*>(Control(IDC_MEMORY));
    ASSERT_NE(memory, nullptr);
    EXPECT_TRUE(memory->isReadOnly());
    EXPECT_TRUE(qobject_cast<QLineEdit*>(Control(IDC_OPERATOR))->isReadOnly());
    EXPECT_EQ(qobject_cast<QLineEdit*>(Control(IDC_OPERATOR))->maxLength(), 5);
}

// The keypad as drawn: rows top to bottom, columns left to right.
TEST_F(CalcDlgTest, KeypadArrangementAndTexts) {
    struct Key {
        int id;
        const char* text;
    };
    // clang-format off
    const Key keypad[5][9] = {
        {{1053, nullptr}, {1026, "Back"}, {1027, "CE"}, {1028, "C"}, {1039, "AC"}, {1065, "√X"}, {1067, "Y√X"}, {1061, "X^2"}, {1062, "X^Y"}},
        {{1029, "MC"}, {2007, "7"}, {2008, "8"}, {2009, "9"}, {2010, "A"}, {1021, "/"}, {1060, "!"}, {1069, "nPr"}, {1071, "nCr"}},
        {{1030, "MR"}, {2004, "4"}, {2005, "5"}, {2006, "6"}, {2011, "B"}, {1022, "*"}, {1033, "MOD"}, {1037, "&LCM"}, {1038, "&GCD"}},
        {{1031, "MS"}, {2001, "1"}, {2002, "2"}, {2003, "3"}, {2012, "C"}, {1023, "-"}, {1034, "AND"}, {1035, "OR"}, {1036, "XOR"}},
        {{1032, "M+"}, {2000, "0"}, {2015, "F"}, {2014, "E"}, {2013, "D"}, {1024, "+"}, {1013, "+/-"}, {1025, "="}, {0, nullptr}},
    };
    // clang-format on
    int rowY[5];
    int colX[9];
    for (int r = 0; r < 5; ++r) rowY[r] = Control(keypad[r][0].id)->geometry().top();
    for (int c = 0; c < 9; ++c) colX[c] = Control(keypad[0][c].id)->geometry().left();
    for (int r = 1; r < 5; ++r) EXPECT_GT(rowY[r], rowY[r - 1]) << "row " << r;
    for (int c = 1; c < 9; ++c) EXPECT_GT(colX[c], colX[c - 1]) << "column " << c;
    for (int r = 0; r < 5; ++r) {
        for (int c = 0; c < 9; ++c) {
            const Key& key = keypad[r][c];
            if (key.id == 0) continue;
            QWidget* w = Control(key.id);
            ASSERT_NE(w, nullptr);
            EXPECT_EQ(w->geometry().top(), rowY[r]) << key.id;
            EXPECT_EQ(w->geometry().left(), colX[c]) << key.id;
            if (key.text != nullptr) {
                auto* b = qobject_cast<QAbstractButton*>(w);
                ASSERT_NE(b, nullptr) << key.id;
                EXPECT_EQ(Text(b->text()), key.text) << key.id;
            }
        }
    }
    // "=" spans the last two columns.
    EXPECT_EQ(Control(1025)->geometry().right(), Control(1062)->geometry().right());
    EXPECT_FALSE(qobject_cast<QPushButton*>(Control(1025))->isDefault());
}

// --- Menus ----------------------------------------------------------------------

struct MenuItem {
    std::string text;  // "-" for a separator
    int id;
};

std::vector<MenuItem> Items(const QMenu* menu) {
    std::vector<MenuItem> out;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator())
            out.push_back({"-", 0});
        else
            out.push_back({Text(a->text()), a->property(CONTROL_ID_PROPERTY).toInt()});
    }
    return out;
}

void ExpectItems(const QMenu* menu, const std::vector<MenuItem>& expected) {
    const std::vector<MenuItem> got = Items(menu);
    ASSERT_EQ(got.size(), expected.size()) << Text(menu->title());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].text, expected[i].text) << Text(menu->title()) << " item " << i;
        EXPECT_EQ(got[i].id, expected[i].id) << got[i].text;
    }
}

// clang-format off
const std::vector<MenuItem> EDIT_ITEMS = {
    {"ﾒｲﾝ領域の値をｸﾘｱ(&E)     ESC", 1028}, {"値をｵｰﾙｸﾘｱ(&D)", 1039}, {"-", 0},
    {"ﾒｲﾝ領域の値をｺﾋﾟｰ(&C)   Ctrl+C", 1056}, {"ﾒｲﾝ剰余の値をｺﾋﾟｰ(&R)", 1057},
    {"ﾒﾓﾘ領域の値をｺﾋﾟｰ(&M)", 1055}, {"ﾒｲﾝ領域に貼り付け(&P)", 1059}, {"ﾒﾓﾘ領域に貼り付け(&Q)", 1058},
};
// clang-format on
// clang-format off
const std::vector<MenuItem> TOOL_ITEMS = {
    {"等差・等比数列機能(&T)", 32791}, {"Lucas型数列機能(&L)", 32792},
    {"Mersenne数・Fermat数機能(&F)", 32793}, {"素数判別・素因数分解機能(&I)", 32794},
};
// clang-format on

TEST_F(CalcDlgTest, MenuBarItems) {
    QMenuBar* bar = dlg->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    std::vector<std::string> titles;
    for (QAction* a : bar->actions()) titles.push_back(Text(a->text()));
    ASSERT_EQ(titles,
              (std::vector<std::string>{"ﾌｧｲﾙ(&F)", "編集(&E)", "拡張機能(&A)", "ﾍﾙﾌﾟ(&H)"}));
    const QList<QAction*> menus = bar->actions();
    ExpectItems(menus[0]->menu(), {{"Kalvoraの終了(&X)", 57665}});
    ExpectItems(menus[1]->menu(), EDIT_ITEMS);
    ExpectItems(menus[2]->menu(), TOOL_ITEMS);
    ExpectItems(menus[3]->menu(), {{"ﾍﾙﾌﾟ(&H)", 57670}, {"-", 0}, {"ﾊﾞｰｼﾞｮﾝ情報(&A)...", 57664}});
}

TEST_F(CalcDlgTest, ContextMenuAtTheRequestedPosition) {
    Type("5{F5}");
    ASSERT_EQ(Display(IDC_MEMORY), "5");
    const QPoint local(20, 20);
    QContextMenuEvent event(QContextMenuEvent::Mouse, local, dlg->mapToGlobal(local));
    QApplication::sendEvent(dlg.get(), &event);
    auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(popup, nullptr) << "no context menu shown";
    std::vector<MenuItem> expected = {
        {"ﾒｲﾝ領域の値をｸﾘｱ(&E)     ESC", 1028}, {"値をｵｰﾙｸﾘｱ(&D)", 1039}, {"-", 0}};
    expected.insert(expected.end(), TOOL_ITEMS.begin(), TOOL_ITEMS.end());
    expected.push_back({"-", 0});
    expected.insert(expected.end(), EDIT_ITEMS.begin() + 3, EDIT_ITEMS.end());
    expected.push_back({"-", 0});
    expected.push_back({"ﾍﾙﾌﾟ(&H)                      F1", 57670});
    expected.push_back({"ﾊﾞｰｼﾞｮﾝ情報(&A)", 57664});
    expected.push_back({"-", 0});
    expected.push_back({"Kalvoraの終了(&X)", 57665});
    ExpectItems(popup, expected);
    EXPECT_EQ(popup->geometry().topLeft(), dlg->mapToGlobal(local));
    // Its commands reach the window: "値をｵｰﾙｸﾘｱ" clears the memory.
    popup->actions()[1]->trigger();
    popup->close();
    EXPECT_EQ(Display(IDC_MEMORY), "0");
}

TEST_F(CalcDlgTest, ToolCommandsRunTheirHookAndDoNothingWithout) {
    int opened = 0;
    dlg->SetToolCommand(ID_TOOL_LUCAS, [&] { ++opened; });
    FindAction(dlg.get(), ID_TOOL_LUCAS)->trigger();
    EXPECT_EQ(opened, 1);
    FindAction(dlg.get(), ID_TOOL_PRIME)->trigger();  // no tool bound yet
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(dlg->isVisible());
}

// --- Radix ----------------------------------------------------------------------

TEST_F(CalcDlgTest, DigitButtonsFollowTheRadix) {
    const int radices[] = {2, 8, 10, 11, 16, 3};
    for (int radix : radices) {
        SetRadix(radix);
        EXPECT_EQ(dlg->Engine().m_radix, static_cast<unsigned>(radix));
        EXPECT_EQ(Display(IDC_RADIX), std::to_string(radix));
        for (int d = 0; d < 16; ++d)
            EXPECT_EQ(Button(2000 + d)->isEnabled(), d < radix)
                << "radix " << radix << " digit " << d;
    }
    // A disabled digit cannot be clicked.
    SetRadix(8);
    QTest::mouseClick(Button(2007), Qt::LeftButton);
    QTest::mouseClick(Button(2009), Qt::LeftButton);
    EXPECT_EQ(Display(IDC_VALUE), "7");
}

TEST_F(CalcDlgTest, FreshStartShowsZerosRadixTenAndBlankOperator) {
    EXPECT_EQ(Display(IDC_VALUE), "0");
    EXPECT_EQ(Display(IDC_REMAINDER), "0");
    EXPECT_EQ(Display(IDC_MEMORY), "0");
    EXPECT_EQ(Display(IDC_OPERATOR), " ");
    EXPECT_EQ(Display(IDC_RADIX), "10");
    for (int d = 0; d < 16; ++d) EXPECT_EQ(Button(2000 + d)->isEnabled(), d < 10) << d;
    EXPECT_EQ(QApplication::focusWidget(), Control(1028)) << "the focus starts on C";
}

TEST_F(CalcDlgTest, RadixUpDownStopsAtTwoAndSixteen) {
    auto* spin = qobject_cast<QSpinBox*>(Control(IDC_RADIX_SPIN));
    ASSERT_NE(spin, nullptr);
    struct Row {
        int start;
        int steps;  // positive up, negative down
        int expected;
    };
    // clang-format off
    const Row rows[] = {{3, -1, 2}, {2, -1, 2}, {2, -5, 2}, {15, 1, 16}, {16, 1, 16}, {10, 10, 16}, {10, -3, 7}};
    // clang-format on
    for (const Row& row : rows) {
        SetRadix(row.start);
        for (int i = 0; i < std::abs(row.steps); ++i)
            row.steps > 0 ? spin->stepUp() : spin->stepDown();
        EXPECT_EQ(dlg->Engine().m_radix, static_cast<unsigned>(row.expected))
            << row.start << " + " << row.steps;
        EXPECT_EQ(Display(IDC_RADIX), std::to_string(row.expected));
    }
    // The arrows work with the mouse.
    SetRadix(10);
    QStyleOptionSpinBox opt;
    opt.initFrom(spin);
    opt.subControls = QStyle::SC_SpinBoxUp;
    const QRect up =
        spin->style()->subControlRect(QStyle::CC_SpinBox, &opt, QStyle::SC_SpinBoxUp, spin);
    QTest::mouseClick(spin, Qt::LeftButton, {}, up.center());
    EXPECT_EQ(dlg->Engine().m_radix, 11u);
}

TEST_F(CalcDlgTest, RadixChangeRewritesTheDisplays) {
    Type("255");
    SetRadix(16);
    EXPECT_EQ(Display(IDC_VALUE), "FF");
    SetRadix(10);
    EXPECT_EQ(Display(IDC_VALUE), "255");
    Type("1");
    EXPECT_EQ(Display(IDC_VALUE), "2551");
}

// --- Keyboard -------------------------------------------------------------------

TEST_F(CalcDlgTest, KeyboardFilterTable) {
    struct Row {
        int radix;
        const char* keys;
        const char* value;
        const char* remainder;
        const char* memory;
        const char* op;
    };
    // clang-format off
    const Row rows[] = {
        {10, "255/7=", "36", "3", "0", " "},
        {10, "255/7", "7", "0", "0", "   /"},
        {10, "5+{Enter}", "10", "0", "0", " "},
        {10, "5+3{KpEnter}", "8", "0", "0", " "},
        {10, "6*7=", "42", "0", "0", " "},
        {10, "9-12=", "-3", "0", "0", " "},
        {10, "12%5=", "2", "0", "0", " "},
        {10, "6&3=", "2", "0", "0", " "},
        {10, "6|3=", "7", "0", "0", " "},
        {10, "6^3=", "5", "0", "0", " "},
        {10, "3@", "9", "0", "0", " "},
        {10, "5!", "120", "0", "0", " "},
        {10, "2y10=", "1024", "0", "0", " "},
        {10, "2Y3", "3", "0", "0", "X^Y"},
        {10, "12g18=", "6", "0", "0", " "},
        {10, "12G18", "18", "0", "0", "GCD"},
        {10, "4l6=", "12", "0", "0", " "},
        {10, "4L", "4", "0", "0", "LCM"},
        {10, "123{Back}", "12", "0", "0", " "},
        {10, "12+5{Del}", "0", "0", "0", "   +"},
        {10, "12+5{Del}7=", "19", "0", "0", " "},
        {10, "12+5{Esc}", "0", "0", "0", " "},
        {10, "5{F2}", "-5", "0", "0", " "},
        {10, "5{F10}", "-5", "0", "0", " "},
        {10, "9{F5}", "9", "0", "9", " "},
        {10, "9{F5}{Esc}{F4}", "9", "0", "9", " "},
        {10, "9{F5}4{F6}", "4", "0", "13", " "},
        {10, "9{F5}{F3}", "9", "0", "0", " "},
        {10, "1x#?2", "12", "0", "0", " "},
        {10, "1{Ctrl+2}{Ctrl+c}{Ctrl+a}{Ctrl++}", "1", "0", "0", " "},
        {10, "1a", "1", "0", "0", " "},
        {11, "1a", "1A", "0", "0", " "},
        {8, "78", "7", "0", "0", " "},
        {2, "1021", "101", "0", "0", " "},
        {16, "fFa0", "FFA0", "0", "0", " "},
        {16, "g", "0", "0", "0", "GCD"},
        {10, "12{Space}", "0", "0", "0", " "},  // Space presses the focused "C"
    };
    // clang-format on
    for (const Row& row : rows) {
        OpenWindow();
        SetRadix(row.radix);
        Type(row.keys);
        const std::string keys = std::string(row.keys) + " radix " + std::to_string(row.radix);
        EXPECT_EQ(Display(IDC_VALUE), row.value) << keys;
        EXPECT_EQ(Display(IDC_REMAINDER), row.remainder) << keys;
        EXPECT_EQ(Display(IDC_MEMORY), row.memory) << keys;
        EXPECT_EQ(Display(IDC_OPERATOR), row.op) << keys;
        EXPECT_TRUE(dlg->isVisible()) << keys << ": the window closed";
        EXPECT_TRUE(answerer->Take().empty()) << keys;
    }
}

TEST_F(CalcDlgTest, CtrlCCopiesNothing) {
    QApplication::clipboard()->setText(QStringLiteral("untouched"));
    Type("42{Ctrl+c}");
    EXPECT_EQ(Text(QApplication::clipboard()->text()), "untouched");
    EXPECT_EQ(Display(IDC_VALUE), "42");
}

TEST_F(CalcDlgTest, MappedKeyPressesItsButtonAndNoOther) {
    int pressed = 0;
    int otherPressed = 0;
    QObject::connect(Button(2007), &QAbstractButton::pressed, [&] { ++pressed; });
    QObject::connect(Button(1028), &QAbstractButton::pressed, [&] { ++otherPressed; });
    Type("7");
    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(otherPressed, 0) << "the key reached the focused button as well";
    EXPECT_FALSE(Button(2007)->isDown());
}

TEST_F(CalcDlgTest, MenuBarInKeyboardModeKeepsItsKeys) {
    QMenuBar* bar = dlg->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    bar->setFocus();
    QTest::keyClick(bar, Qt::Key_7);
    QTest::keyClick(bar, Qt::Key_Escape);
    EXPECT_EQ(Display(IDC_VALUE), "0") << "a key for the menu bar reached the keypad";
}

TEST_F(CalcDlgTest, EscAndEnterNeverCloseTheWindow) {
    Type("{Esc}{Esc}{Enter}{KpEnter}");
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), 0);
}

TEST_F(CalcDlgTest, TabMovesTheFocusAmongButtonsOnly) {
    QWidget* start = QApplication::focusWidget();
    for (int i = 0; i < 60; ++i) {
        Type("{Tab}");
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        for (int id : {IDC_VALUE, IDC_REMAINDER, IDC_MEMORY, IDC_RADIX, IDC_OPERATOR})
            EXPECT_NE(focus, Control(id)) << "Tab rested on display " << id;
    }
    EXPECT_NE(start, nullptr);
}

TEST_F(CalcDlgTest, DisplaysNeverKeepTheFocus) {
    for (int id : {IDC_VALUE, IDC_REMAINDER, IDC_MEMORY, IDC_OPERATOR, IDC_RADIX}) {
        QWidget* w = Control(id);
        QWidget* target = w;
        if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) target = area->viewport();
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(5, 5));
        w->setFocus(Qt::MouseFocusReason);
        QApplication::processEvents();
        EXPECT_FALSE(w->hasFocus()) << id;
        EXPECT_EQ(QApplication::focusWidget(), Control(IDC_FOCUS_HOLDER)) << id;
    }
    // Typing still goes through the keyboard filter.
    Type("7+8=");
    EXPECT_EQ(Display(IDC_VALUE), "15");
}

// --- Boxes ------------------------------------------------------------------------

TEST_F(CalcDlgTest, RefusedEvaluationShowsItsBoxOnTheGuiThread) {
    Type("10%0=");
    EXPECT_EQ(answerer->Take(), (std::vector<Box>{{"Kalvora", "0で除算しました."}}));
    EXPECT_EQ(Display(IDC_VALUE), "0");
    EXPECT_EQ(Display(IDC_REMAINDER), "0");
    Type("5nPr");  // n is not a key: only 5
    EXPECT_TRUE(answerer->Take().empty());
    Button(1069)->click();
    Type("7=");
    EXPECT_EQ(answerer->Take(),
              (std::vector<Box>{{"Kalvora", "n , ｢nPr｣ , r の順に入力して下さい."}}));
}

TEST_F(CalcDlgTest, WorkerBoxIsShownOnTheGuiThreadAndBlocksTheWorker) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        ShowMessageBox("素因数\r 7 \rを発見しました !", "Kalvora");
        done = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 5000));
    worker.join();
    EXPECT_EQ(answerer->Take(), (std::vector<Box>{{"Kalvora", "素因数\n 7 \nを発見しました !"}}));
}

TEST_F(CalcDlgTest, WorkerWaitsUntilTheBoxIsDismissed) {
    answerer.reset();  // this test answers the box itself, late
    std::atomic<bool> done{false};
    bool workerWaited = false;
    std::string text;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        poll.stop();
        QTimer::singleShot(60, box, [&, box] {
            workerWaited = !done.load();
            text = Text(box->text());
            box->button(QMessageBox::Ok)->click();
        });
    });
    poll.start();
    std::thread worker([&] {
        ShowMessageBox("計算中", "Kalvora");
        done = true;
    });
    const bool finished = QTest::qWaitFor([&] { return done.load(); }, 5000);
    worker.join();
    ASSERT_TRUE(finished);
    EXPECT_TRUE(workerWaited) << "the worker went on before the box was dismissed";
    EXPECT_EQ(text, "計算中");
    answerer = std::make_unique<ModalAnswerer>();
}

// --- Main display paste -----------------------------------------------------------

TEST_F(CalcDlgTest, PasteIntoMainDisplayThroughItsOwnEditMenu) {
    struct Row {
        int radix;
        const char* before;  // keys typed first
        const char* pasted;
        std::vector<Box> boxes;
        const char* display;  // afterwards
        const char* typedAfter;
        const char* displayAfter;
    };
    const std::string tooLong(500, '9');
    // clang-format off
    const Row rows[] = {
        {16, "ff", "12G", {{"Kalvora", "不正な文字が入力されました."}, {"Kalvora", "FF"}}, "FF", "1", "FF1"},
        {10, "37", tooLong.c_str(), {{"Kalvora", "これ以上大きな値は扱えません."}}, "37", "2", "372"},
        {10, "37", "-12", {}, "-12", "5", "-115"},  // a digit moves a negative value away from zero
        {16, "1", "ab", {}, "AB", "c", "ABC"},
        {10, "5", "1 2", {{"Kalvora", "不正な文字が入力されました."}, {"Kalvora", "5"}}, "5", "+1=", "6"},
    };
    // clang-format on
    for (const Row& row : rows) {
        OpenWindow();
        SetRadix(row.radix);
        Type(row.before);
        auto* edit = qobject_cast<QPlainTextEdit*>(Control(IDC_VALUE));
        ASSERT_NE(edit, nullptr);
        QApplication::clipboard()->setText(QString::fromStdString(row.pasted));
        edit->selectAll();
        edit->paste();
        QTest::qWait(50);  // the parse runs once the edit has finished its change
        EXPECT_EQ(answerer->Take(), row.boxes) << row.pasted;
        EXPECT_EQ(Display(IDC_VALUE), row.display) << row.pasted;
        Type(row.typedAfter);
        EXPECT_EQ(Display(IDC_VALUE), row.displayAfter) << row.pasted;
    }
}

// --- Clipboard --------------------------------------------------------------------

TEST_F(CalcDlgTest, ClipboardCopyAndPaste) {
    struct Row {
        const char* keys;       // typed in radix 10 first
        int radix;              // then this radix
        int command;            // then this button
        const char* clipboard;  // clipboard before the command (nullptr: leave)
        const char* clipAfter;  // expected clipboard text afterwards (nullptr: not checked)
        const char* value;
        const char* memory;
        std::vector<Box> boxes;
    };
    // clang-format off
    const Row rows[] = {
        {"255", 16, 1056, nullptr, "FF", "FF", "0", {}},
        {"255", 10, 1056, nullptr, "255", "255", "0", {}},
        {"5{F2}", 10, 1056, nullptr, "-5", "-5", "0", {}},
        {"7/2=", 10, 1057, nullptr, "1", "3", "0", {}},
        {"9{F5}", 2, 1055, nullptr, "1001", "1001", "1001", {}},
        {"1", 10, 1059, "FF", nullptr, "0", "0", {{"Kalvora", "クリップボードの値が正しくありません"}}},
        {"1", 16, 1059, "ff", nullptr, "FF", "0", {}},
        {"1", 10, 1059, "123\n456", nullptr, "123", "0", {}},
        {"1", 10, 1059, "77\r\n", nullptr, "77", "0", {}},
        {"1", 10, 1059, "", nullptr, "0", "0", {}},
        {"1", 10, 1059, "\n5", nullptr, "0", "0", {}},
        {"1", 10, 1059, "123 ", nullptr, "0", "0", {{"Kalvora", "クリップボードの値が正しくありません"}}},
        {"1", 10, 1059, "+123", nullptr, "0", "0", {{"Kalvora", "クリップボードの値が正しくありません"}}},
        {"1", 10, 1059, "-42", nullptr, "-42", "0", {}},
        {"1", 10, 1058, "77", nullptr, "1", "77", {}},
        {"1", 10, 1058, "7x", nullptr, "1", "0", {{"Kalvora", "クリップボードの値が正しくありません"}}},
    };
    // clang-format on
    for (const Row& row : rows) {
        OpenWindow();
        Type(row.keys);
        SetRadix(row.radix);
        if (row.clipboard != nullptr)
            QApplication::clipboard()->setText(QString::fromUtf8(row.clipboard));
        else
            QApplication::clipboard()->setText(QStringLiteral("sentinel"));
        Button(row.command)->click();
        const std::string label = std::string(row.keys) + " -> " + std::to_string(row.command);
        if (row.clipAfter != nullptr) {
            const QMimeData* data = QApplication::clipboard()->mimeData();
            ASSERT_NE(data, nullptr);
            EXPECT_EQ(Text(data->text()), row.clipAfter) << label;
        }
        EXPECT_EQ(Display(IDC_VALUE), row.value) << label;
        EXPECT_EQ(Display(IDC_MEMORY), row.memory) << label;
        EXPECT_EQ(answerer->Take(), row.boxes) << label;
    }
}

TEST_F(CalcDlgTest, PastedValueTakesAppendedDigitsAndIsAnOperand) {
    QApplication::clipboard()->setText(QStringLiteral("12"));
    Type("5+");
    Button(1059)->click();
    Type("4=");
    EXPECT_EQ(Display(IDC_VALUE), "129");
}

TEST_F(CalcDlgTest, ClipboardWithOnlyAPictureLeavesTheTargetAlone) {
    Type("42{F5}");
    auto* data = new QMimeData;
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    data->setImageData(image);
    QApplication::clipboard()->setMimeData(data);
    Button(1059)->click();
    Button(1058)->click();
    EXPECT_EQ(Display(IDC_VALUE), "42");
    EXPECT_EQ(Display(IDC_MEMORY), "42");
    EXPECT_TRUE(answerer->Take().empty());
    Type("1");  // the paste ended the fresh entry: digits are appended
    EXPECT_EQ(Display(IDC_VALUE), "421");
}

// --- Modulus dialog ---------------------------------------------------------------

TEST_F(CalcDlgTest, ModulusDialogOkRestoreAndCancel) {
    struct Row {
        int radix;
        const char* typed;  // replaces the edit's text, key by key
        bool ok;            // OK, else Esc
        const char* shownAtOpen;
        std::vector<Box> boxes;
        const char* editAfterTyping;
        int modulus;  // afterwards
    };
    // clang-format off
    const Row rows[] = {
        {10, "7", true, "2", {}, "7", 7},
        {16, "13", true, "2", {}, "13", 13},  // decimal whatever the radix
        {10, "7x", true, "2", {{"Kalvora", "不正な文字が含まれています"}}, "7", 7},
        {10, "7x", false, "2", {{"Kalvora", "不正な文字が含まれています"}}, "7", 2},
        {10, "11", false, "2", {}, "11", 2},  // cancelled
        {10, "-9", true, "2", {}, "-9", -9},
        {10, "", true, "2", {}, "", 0},       // the empty text is 0
    };
    // clang-format on
    for (const Row& row : rows) {
        OpenWindow();
        SetRadix(row.radix);
        WithDialog(
            [&](QDialog* d) {
                auto* modulus = qobject_cast<ModulusDlg*>(d);
                ASSERT_NE(modulus, nullptr);
                EXPECT_EQ(Text(d->windowTitle()), "法");
                auto* edit = qobject_cast<QLineEdit*>(FindControl(d, 1003));
                ASSERT_NE(edit, nullptr);
                EXPECT_EQ(Text(edit->text()), row.shownAtOpen);
                EXPECT_EQ(edit->maxLength(), 817);
                auto* okButton = qobject_cast<QPushButton*>(FindControl(d, 1));
                ASSERT_NE(okButton, nullptr);
                EXPECT_TRUE(okButton->isDefault());
                auto* cancel = qobject_cast<QPushButton*>(FindControl(d, 2));
                ASSERT_NE(cancel, nullptr);
                EXPECT_FALSE(cancel->isVisible());
                EXPECT_FALSE(cancel->isEnabled());
                edit->setFocus();
                edit->selectAll();
                QTest::keyClick(edit, Qt::Key_Delete);
                QTest::keyClicks(edit, QString::fromUtf8(row.typed));
                EXPECT_EQ(Text(edit->text()), row.editAfterTyping);
                QTest::keyClick(edit, row.ok ? Qt::Key_Return : Qt::Key_Escape);
            },
            [&] { Button(1072)->click(); });
        EXPECT_EQ(answerer->Take(), row.boxes) << row.typed;
        EXPECT_TRUE(dlg->Engine().m_modulus == row.modulus) << row.typed;
    }
}

TEST_F(CalcDlgTest, InverseWorksModuloTheModulusSetInTheDialog) {
    WithDialog(
        [&](QDialog* d) {
            auto* edit = qobject_cast<QLineEdit*>(FindControl(d, 1003));
            ASSERT_NE(edit, nullptr);
            edit->setText(QStringLiteral("7"));
            qobject_cast<QPushButton*>(FindControl(d, 1))->click();
        },
        [&] { Button(1072)->click(); });
    Type("3");
    Button(1070)->click();
    EXPECT_EQ(Display(IDC_VALUE), "5");
    Type("{Esc}3");
    Button(1066)->click();  // 3^4 mod 7 = 4
    Type("4=");
    EXPECT_EQ(Display(IDC_VALUE), "4");
}

TEST_F(CalcDlgTest, ModulusDialogClosedByItsCloseBoxKeepsTheModulus) {
    WithDialog(
        [&](QDialog* d) {
            auto* edit = qobject_cast<QLineEdit*>(FindControl(d, 1003));
            ASSERT_NE(edit, nullptr);
            edit->setText(QStringLiteral("7"));
            d->close();
        },
        [&] { Button(1072)->click(); });
    EXPECT_TRUE(dlg->Engine().m_modulus == 2);
}

// --- Version, help, exit ----------------------------------------------------------

TEST_F(CalcDlgTest, VersionDialogFromBothMenus) {
    for (int pass = 0; pass < 2; ++pass) {
        WithDialog(
            [&](QDialog* d) {
                EXPECT_NE(qobject_cast<AboutDlg*>(d), nullptr);
                EXPECT_EQ(Text(d->windowTitle()), "Kalvoraのﾊﾞｰｼﾞｮﾝ情報");
                std::vector<std::string> texts;
                for (QLabel* l : d->findChildren<QLabel*>()) {
                    if (!l->text().isEmpty()) texts.push_back(Text(l->text()));
                }
                ASSERT_EQ(texts.size(), 2u);
                EXPECT_EQ(texts[0], "Kalvora Version 0.70");
                EXPECT_EQ(std::count(texts[1].begin(), texts[1].end(), '\n'), 1)
                    << "two lines of origin";
                for (int id : {128, 148}) {
                    auto* icon = qobject_cast<QLabel*>(FindControl(d, id));
                    ASSERT_NE(icon, nullptr) << id;
                    EXPECT_FALSE(icon->pixmap().isNull()) << "icon " << id << " missing";
                }
                auto* ok = qobject_cast<QPushButton*>(FindControl(d, 1));
                ASSERT_NE(ok, nullptr);
                EXPECT_TRUE(ok->isDefault());
                ok->click();
            },
            [&] {
                if (pass == 0) {
                    FindAction(dlg.get(), ID_APP_ABOUT)->trigger();
                } else {
                    QMenu* popup = dlg->CreateContextMenu();
                    for (QAction* a : popup->actions())
                        if (a->property(CONTROL_ID_PROPERTY).toInt() == ID_APP_ABOUT) a->trigger();
                    delete popup;
                }
            });
    }
    EXPECT_TRUE(dlg->isVisible());
}

TEST_F(CalcDlgTest, HelpOpensFromTheMenuAndF1) {
    FindAction(dlg.get(), ID_HELP)->trigger();
    ASSERT_NE(dlg->Help(), nullptr);
    EXPECT_TRUE(dlg->Help()->isVisible());
    const std::string page = Text(dlg->Help()->Browser()->toPlainText());
    for (const char* word :
         {"Kalvora ヘルプ", "剰余系", "Backspace", "F5", "素数判別・素因数分解機能"})
        EXPECT_NE(page.find(word), std::string::npos) << word;
    dlg->Help()->close();
    EXPECT_FALSE(dlg->Help()->isVisible());
    QApplication::setActiveWindow(dlg.get());
    Button(1028)->setFocus();
    Type("{F1}");
    EXPECT_TRUE(dlg->Help()->isVisible());
    EXPECT_EQ(Display(IDC_VALUE), "0");
}

TEST_F(CalcDlgTest, ExitCommandClosesTheWindow) {
    FindAction(dlg.get(), ID_APP_EXIT)->trigger();
    EXPECT_FALSE(dlg->isVisible());
}

}  // namespace
