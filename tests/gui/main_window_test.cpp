// The main window through its real widgets on the offscreen platform: texts,
// ids and menus against golden dumps; the keyboard filter, focus, radix
// up-down, the clipboard and the display's own paste, message boxes (also
// from a worker thread), the modulus, version and help windows.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QStyleOptionSpinBox>
#include <QTest>
#include <QTextBrowser>
#include <atomic>
#include <map>
#include <memory>
#include <thread>

#include "calc/about_dlg.h"
#include "calc/calc_app.h"
#include "calc/calc_dlg.h"
#include "calc/help_window.h"
#include "calc/keyboard_filter.h"
#include "calc/modulus_dlg.h"
#include "tests/support/qt_support.h"

namespace {

std::string Text(const QString& s) { return s.toStdString(); }

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override { Open(); }

    /// A fresh main window with the start values, shown and active.
    void Open() {
        QApplication::clipboard()->clear();
        dlg = std::make_unique<CalcDlg>();
        dlg->Engine().OnStartUp();
        ShowActive(dlg.get());
    }

    std::string Display(int id) {
        QWidget* w = Ctl(dlg.get(), id);
        if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) return Text(edit->toPlainText());
        if (auto* line = qobject_cast<QLineEdit*>(w)) return Text(line->text());
        return "?";
    }
    /// value remainder memory "op", as the displays show them.
    std::string State() {
        return Display(IDC_VALUE) + " " + Display(IDC_REMAINDER) + " " + Display(IDC_MEMORY) + " \"" + Display(IDC_OPERATOR) + "\"";
    }
    QAbstractButton* Button(int id) { return Ctl<QAbstractButton>(dlg.get(), id); }
    QAction* Action(int id) {
        for (QAction* a : dlg->findChildren<QAction*>()) {
            if (a->property(CONTROL_ID_PROPERTY).toInt() == id) return a;
        }
        ADD_FAILURE() << "no menu item " << id;
        return nullptr;
    }
    void SetRadix(int radix) { Ctl<QSpinBox>(dlg.get(), IDC_RADIX_SPIN)->setValue(radix); }

    /// Types `keys` at the focused widget: characters, or {Name} for Esc,
    /// Enter, KpEnter, Back, Del, Tab, Space, F1..F10, {Ctrl+x} and {Alt+x}.
    void Type(const std::string& keys) {
        static const std::map<std::string, Qt::Key> NAMED = {
            {"Esc", Qt::Key_Escape}, {"Enter", Qt::Key_Return}, {"KpEnter", Qt::Key_Enter}, {"Back", Qt::Key_Backspace},
            {"Del", Qt::Key_Delete}, {"Tab", Qt::Key_Tab},      {"Space", Qt::Key_Space},   {"F1", Qt::Key_F1},
            {"F2", Qt::Key_F2},      {"F3", Qt::Key_F3},        {"F4", Qt::Key_F4},         {"F5", Qt::Key_F5},
            {"F6", Qt::Key_F6},      {"F10", Qt::Key_F10}};
        for (size_t i = 0; i < keys.size(); ++i) {
            QWidget* target = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : dlg.get();
            if (keys[i] != '{') {
                QTest::keyClick(target, keys[i]);
                continue;
            }
            const size_t end = keys.find('}', i);
            const std::string name = keys.substr(i + 1, end - i - 1);
            i = end;
            if (name.rfind("Ctrl+", 0) == 0 || name.rfind("Alt+", 0) == 0) {
                const char c = name.back();
                QTest::keyClick(target, static_cast<Qt::Key>(c >= 'a' && c <= 'z' ? Qt::Key_A + (c - 'a') : c),
                                name[0] == 'C' ? Qt::ControlModifier : Qt::AltModifier);
            } else {
                QTest::keyClick(target, NAMED.at(name));
            }
        }
    }

    std::unique_ptr<CalcDlg> dlg;
};

TEST_F(MainWindow, ControlsMenusAndDialogsAgainstTheirGoldenDumps) {
    EXPECT_TRUE(MatchesGolden("main_window", DumpWidgets(dlg.get())));
    EXPECT_EQ(dlg->minimumSize(), dlg->maximumSize()) << "the window must not be resizable";
    EXPECT_EQ(QApplication::focusWidget(), Button(ID_C)) << "the focus starts on C";
    std::unique_ptr<QMenu> popup(dlg->CreateContextMenu());
    EXPECT_TRUE(MatchesGolden("context_menu", DumpWidgets(popup.get())));
    ModalScript script({ExpectDialog<ModulusDlg>("modulus", [](ModulusDlg* d) {
                            EXPECT_TRUE(MatchesGolden("modulus_dialog", DumpWidgets(d)));
                            EXPECT_EQ(d->Edit()->maxLength(), 817);
                            d->reject();
                        }),
                        ExpectDialog<AboutDlg>("version", [](AboutDlg* d) {
                            EXPECT_TRUE(MatchesGolden("about_dialog", DumpWidgets(d)));
                            for (int id : {128, 148}) EXPECT_FALSE(Ctl<QLabel>(d, id)->pixmap().isNull()) << "icon " << id;
                            d->accept();
                        }),
                        ExpectDialog<AboutDlg>("version from the popup menu", [](AboutDlg* d) { d->accept(); })});
    Button(ID_MODULUS_DLG)->click();
    Action(ID_APP_ABOUT)->trigger();
    for (QAction* a : popup->actions()) {
        if (a->property(CONTROL_ID_PROPERTY).toInt() == ID_APP_ABOUT) a->trigger();
    }
    EXPECT_TRUE(script.WaitDone());
}

TEST_F(MainWindow, DigitButtonsAndTheRadixUpDown) {
    auto* spin = Ctl<QSpinBox>(dlg.get(), IDC_RADIX_SPIN);
    for (int radix : {2, 16}) {
        SetRadix(radix);
        EXPECT_EQ(Display(IDC_RADIX), std::to_string(radix));
        for (int d = 0; d < 16; ++d) EXPECT_EQ(Button(2000 + d)->isEnabled(), d < radix) << radix << " " << d;
    }
    SetRadix(8);
    QTest::mouseClick(Button(2007), Qt::LeftButton);
    QTest::mouseClick(Button(2009), Qt::LeftButton);  // disabled: no click
    EXPECT_EQ(Display(IDC_VALUE), "7");
    for (const auto& [start, steps, expected] : std::vector<std::tuple<int, int, int>>{{3, -2, 2}, {15, 3, 16}}) {
        SetRadix(start);
        for (int i = 0; i < std::abs(steps); ++i) steps > 0 ? spin->stepUp() : spin->stepDown();
        EXPECT_EQ(dlg->Engine().m_radix, static_cast<unsigned>(expected)) << start << " + " << steps;
    }
    SetRadix(10);
    QStyleOptionSpinBox opt;
    opt.initFrom(spin);
    const QRect up = spin->style()->subControlRect(QStyle::CC_SpinBox, &opt, QStyle::SC_SpinBoxUp, spin);
    QTest::mouseClick(spin, Qt::LeftButton, {}, up.center());
    EXPECT_EQ(Display(IDC_VALUE), "7") << "the value is shown in radix 11 too";
    EXPECT_EQ(dlg->Engine().m_radix, 11u);
}

TEST_F(MainWindow, KeyboardFilter) {
    const struct {
        int radix;
        const char* keys;
        const char* state;
    } rows[] = {
        {10, "255/7=", "36 3 0 \" \""}, {10, "5+{Enter}", "10 0 0 \" \""}, {10, "5+3{KpEnter}", "8 0 0 \" \""},
        {10, "12%5=", "2 0 0 \" \""},   {10, "6&3=6|3=6^3=", "5 0 0 \" \""}, {10, "3@", "9 0 0 \" \""},
        {10, "5!", "120 0 0 \" \""},    {10, "2y10=", "1024 0 0 \" \""}, {10, "12G18", "18 0 0 \"GCD\""},
        {10, "4l6=", "12 0 0 \" \""},   {10, "123{Back}", "12 0 0 \" \""}, {10, "12+5{Del}", "0 0 0 \"   +\""},
        {10, "12+5{Esc}", "0 0 0 \" \""}, {10, "5{F2}", "-5 0 0 \" \""}, {10, "5{F10}", "-5 0 0 \" \""},
        {10, "9{F5}{Esc}{F4}", "9 0 9 \" \""}, {10, "9{F5}4{F6}", "4 0 13 \" \""}, {10, "9{F5}{F3}", "9 0 0 \" \""},
        {10, "1x#?2", "12 0 0 \" \""},  {10, "1{Ctrl+2}{Ctrl+c}{Ctrl+a}{Ctrl++}", "1 0 0 \" \""},
        {10, "1a{Alt+7}", "1 0 0 \" \""}, {11, "1a", "1A 0 0 \" \""},    {2, "1021", "101 0 0 \" \""},
        {16, "fFa0", "FFA0 0 0 \" \""}, {16, "g", "0 0 0 \"GCD\""},
        {10, "12{Space}", "0 0 0 \" \""},  // Space presses the focused "C"
        {10, "{Esc}{Enter}{KpEnter}", "0 0 0 \" \""},  // and never close the window
    };
    for (const auto& r : rows) {
        Open();
        SetRadix(r.radix);
        Type(r.keys);
        EXPECT_EQ(State(), r.state) << r.keys << " radix " << r.radix;
        EXPECT_TRUE(dlg->isVisible()) << r.keys;
    }
    // A mapped key presses its button, not the focused one; Ctrl+C copies nothing.
    int pressed = 0, other = 0;
    QObject::connect(Button(2007), &QAbstractButton::pressed, [&] { ++pressed; });
    QObject::connect(Button(ID_C), &QAbstractButton::pressed, [&] { ++other; });
    QApplication::clipboard()->setText(QStringLiteral("untouched"));
    Type("7{Ctrl+c}");
    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(other, 0);
    EXPECT_EQ(Text(QApplication::clipboard()->text()), "untouched");
    // The menu bar in keyboard mode keeps its keys.
    QMenuBar* bar = dlg->MenuBar();
    bar->setFocus();
    QTest::keyClick(bar, Qt::Key_8);
    QTest::keyClick(bar, Qt::Key_Escape);
    EXPECT_EQ(Display(IDC_VALUE), "7");
}

TEST_F(MainWindow, DisplaysNeverKeepTheFocus) {
    for (int id : {IDC_VALUE, IDC_REMAINDER, IDC_MEMORY, IDC_OPERATOR, IDC_RADIX}) {
        QWidget* w = Ctl(dlg.get(), id);
        auto* area = qobject_cast<QAbstractScrollArea*>(w);
        QTest::mouseClick(area != nullptr ? area->viewport() : w, Qt::LeftButton, {}, QPoint(5, 5));
        w->setFocus(Qt::MouseFocusReason);
        QApplication::processEvents();
        EXPECT_EQ(QApplication::focusWidget(), Ctl(dlg.get(), IDC_FOCUS_HOLDER)) << id;
    }
    Type("7+8=");
    EXPECT_EQ(Display(IDC_VALUE), "15") << "typing still goes through the keyboard filter";
    for (int i = 0; i < 60; ++i) {
        Type("{Tab}");
        EXPECT_NE(qobject_cast<QAbstractButton*>(QApplication::focusWidget()), nullptr) << "Tab rests on buttons only";
    }
}

TEST_F(MainWindow, BoxesFromTheWindowAndFromAWorkerThread) {
    {
        ModalScript script({ExpectBox("0で除算しました.", {}, "Kalvora")});
        Type("10%0=");
        EXPECT_TRUE(script.WaitDone());
    }
    EXPECT_EQ(State(), "0 0 0 \" \"");
    // A worker's box is shown on the GUI thread; the worker waits until it is dismissed.
    std::atomic<bool> done{false};
    bool waited = false;
    ModalScript script({ExpectBox("素因数\n 7 \nを発見しました !", [&] {
        QTest::qWait(60);
        waited = !done.load();
    })});
    std::thread worker([&] {
        ShowMessageBox("素因数\r 7 \rを発見しました !");
        done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 5000));
    worker.join();
    EXPECT_TRUE(waited) << "the worker went on before its box was dismissed";
}

TEST_F(MainWindow, ClipboardAndTheDisplaysOwnPaste) {
    Type("255");
    SetRadix(16);
    Button(ID_COPY_VALUE)->click();
    EXPECT_EQ(Text(QApplication::clipboard()->mimeData()->text()), "FF");
    QApplication::clipboard()->setText(QStringLiteral("ab\ncd"));
    Button(ID_PASTE_MEMORY)->click();
    EXPECT_EQ(Display(IDC_MEMORY), "AB");
    Button(ID_COPY_MEMORY)->click();
    EXPECT_EQ(Text(QApplication::clipboard()->text()), "AB");
    // A picture only: nothing changes, and typing appends to the pasted value.
    auto* data = new QMimeData;
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    data->setImageData(image);
    QApplication::clipboard()->setMimeData(data);
    Button(ID_PASTE_VALUE)->click();
    Type("1");
    EXPECT_EQ(State(), "FF1 0 AB \" \"");
    // Pasting into the display itself: upper case, parsed once the edit is done.
    const struct {
        const char* pasted;
        std::vector<ModalStep> boxes;
        const char* display;
    } rows[] = {
        {"12G", {ExpectBox("不正な文字が入力されました."), ExpectBox("FF1")}, "FF1"},
        {"c0", {}, "C0"},
        {"-1", {}, "-1"},
    };
    auto* edit = Ctl<QPlainTextEdit>(dlg.get(), IDC_VALUE);
    for (const auto& r : rows) {
        ModalScript script(r.boxes);
        QApplication::clipboard()->setText(QString::fromUtf8(r.pasted));
        edit->selectAll();
        edit->paste();
        QTest::qWait(30);
        EXPECT_TRUE(script.WaitDone()) << r.pasted;
        EXPECT_EQ(Display(IDC_VALUE), r.display) << r.pasted;
    }
    Type("5");
    EXPECT_EQ(Display(IDC_VALUE), "-B") << "the value times the radix plus the digit, also when negative";
}

TEST_F(MainWindow, ModulusDialogOkRestoreCancelAndCloseBox) {
    const struct {
        const char* typed;
        int close;  // 0 OK, 1 Esc, 2 close box
        const char* box;
        int modulus;
    } rows[] = {
        {"7", 0, nullptr, 7}, {"7x", 0, "不正な文字が含まれています", 7}, {"7x", 1, "不正な文字が含まれています", 2},
        {"11", 2, nullptr, 2}, {"", 0, nullptr, 0},
    };
    for (const auto& r : rows) {
        Open();
        SetRadix(16);  // the dialog is decimal whatever the radix
        ModalScript script({ExpectDialog<ModulusDlg>("modulus", [&](ModulusDlg* d) {
            EXPECT_EQ(Text(d->Edit()->text()), "2");
            TypeInto(d->Edit(), QString::fromUtf8(r.typed));
            EXPECT_EQ(Text(d->Edit()->text()), std::string(r.typed).substr(0, r.box ? 1 : 9)) << "restored";
            if (r.close == 2) d->close();
            else QTest::keyClick(d->Edit(), r.close == 0 ? Qt::Key_Return : Qt::Key_Escape);
        })});
        if (r.box != nullptr) script.Append(ExpectBox(r.box));
        Button(ID_MODULUS_DLG)->click();
        EXPECT_TRUE(script.WaitDone()) << r.typed;
        EXPECT_TRUE(dlg->Engine().m_modulus == r.modulus) << r.typed << " " << r.close;
    }
}

TEST_F(MainWindow, ToolCommandsHelpAndExit) {
    int opened = 0;
    dlg->SetToolCommand(ID_TOOL_LUCAS, [&] { ++opened; });
    Action(ID_TOOL_LUCAS)->trigger();
    Action(ID_TOOL_PRIME)->trigger();  // no tool bound: nothing happens
    EXPECT_EQ(opened, 1);
    Action(ID_HELP)->trigger();
    ASSERT_NE(dlg->Help(), nullptr);
    EXPECT_TRUE(dlg->Help()->isVisible());
    const std::string page = Text(dlg->Help()->Browser()->toPlainText());
    for (const char* word : {"Kalvora ヘルプ", "剰余系", "Backspace", "素数判別・素因数分解機能"})
        EXPECT_NE(page.find(word), std::string::npos) << word;
    dlg->Help()->close();
    QApplication::setActiveWindow(dlg.get());
    Button(ID_C)->setFocus();
    Type("{F1}");
    EXPECT_TRUE(dlg->Help()->isVisible()) << "F1 opens the help";
    Action(ID_APP_EXIT)->trigger();
    EXPECT_FALSE(dlg->isVisible());
}

}  // namespace
