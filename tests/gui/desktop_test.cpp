// The desktop as a user meets it, run at scale 2 on a 1366x768 screen (see
// CMakeLists.txt): every window inside the screen with its buttons in
// reach, the captions, Qt's own texts in Japanese, the memory's mark.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <algorithm>
#include <functional>
#include <memory>

#include "calc/about_dlg.h"
#include "calc/calc_dlg.h"
#include "calc/help_window.h"
#include "calc/modulus_dlg.h"
#include "console/method_settings_dlg.h"
#include "console/prime_dlg.h"
#include "tests/support/qt_support.h"
#include "tools/lucas_dlg.h"
#include "tools/mersenne_fermat_dlg.h"
#include "tools/progression_dlg.h"

namespace {

struct Window {
    const char* caption;
    std::function<QWidget*(CalcDlg*)> make;
};

// Every top-level window of the program with its caption.
const Window WINDOWS[] = {
    {"Kalvora", [](CalcDlg* main) -> QWidget* { return main; }},
    {"等差・等比 数列", [](CalcDlg* m) -> QWidget* { return new ProgressionDlg(m); }},
    {"Lucas型数列", [](CalcDlg* m) -> QWidget* { return new LucasDlg(m); }},
    {"Mersenne数、Fermat数", [](CalcDlg* m) -> QWidget* { return new MersenneFermatDlg(m); }},
    {"素数判別、素因数分解", [](CalcDlg* m) -> QWidget* { return new PrimeDlg(PrimeSettings{}, m); }},
    {"Brute Force除算の設定", [](CalcDlg* m) -> QWidget* { return new TrialDivSettingsDlg(m); }},
    {"ρ法の設定", [](CalcDlg* m) -> QWidget* { return new RhoSettingsDlg(m); }},
    {"P-1法の設定", [](CalcDlg* m) -> QWidget* { return new Pm1SettingsDlg(m); }},
    {"楕円曲線法(ECM)の設定", [](CalcDlg* m) -> QWidget* { return new EcmSettingsDlg(m); }},
    {"複数多項式二次ふるい法(MPQS)の設定", [](CalcDlg* m) -> QWidget* { return new MpqsSettingsDlg(m); }},
    {"法", [](CalcDlg* m) -> QWidget* { return new ModulusDlg(m->Engine().OpenModulusDlg(), m); }},
    {"Kalvoraのﾊﾞｰｼﾞｮﾝ情報", [](CalcDlg* m) -> QWidget* { return new AboutDlg(m); }},
    {"Kalvora ﾍﾙﾌﾟ", [](CalcDlg* m) -> QWidget* { return new HelpWindow(m); }},
};

std::string Str(const QString& s) { return s.toStdString(); }

QRect RectIn(const QWidget* w, const QWidget* ancestor) { return {w->mapTo(ancestor, QPoint(0, 0)), w->size()}; }

/// Each push button the user can see lies inside the window, or inside the
/// page of a scroll area (reachable by scrolling); the button that ends a
/// dialog ("終了", "OK": id 1) is never scrolled away.
void ExpectButtonsInReach(QWidget* window, const std::string& caption) {
    for (QPushButton* b : window->findChildren<QPushButton*>()) {
        if (!b->isVisibleTo(window)) continue;
        const QScrollArea* scroll = nullptr;
        for (QWidget* p = b->parentWidget(); p != window && scroll == nullptr; p = p->parentWidget())
            scroll = qobject_cast<QScrollArea*>(p);
        const QWidget* room = scroll != nullptr ? scroll->widget() : window;
        EXPECT_TRUE(room->rect().contains(RectIn(b, room)))
            << caption << ": button \"" << Str(b->text()) << "\" is cut off";
        if (ControlId(b) == 1) {
            EXPECT_EQ(scroll, nullptr) << caption << ": \"" << Str(b->text()) << "\" scrolls away";
        }
    }
    for (const QScrollArea* s : window->findChildren<QScrollArea*>())
        EXPECT_TRUE(window->rect().contains(RectIn(s, window))) << caption << ": its scroll area is cut off";
}

}  // namespace

TEST(Desktop, EveryWindowFitsTheSmallScreenAtScaleTwo) {
    // The screen is 1366x768 at scale 2: 683x384 to lay out in.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_EQ(area.size(), QSize(683, 384)) << "run with the small screen and QT_SCALE_FACTOR=2";
    CalcDlg main;
    main.Engine().OnStartUp();
    ShowActive(&main);
    for (const Window& w : WINDOWS) {
        QWidget* window = w.make(&main);
        std::unique_ptr<QWidget> owned(window == &main ? nullptr : window);
        window->show();
        QApplication::processEvents();
        const QRect frame = window->frameGeometry();
        EXPECT_TRUE(area.contains(frame)) << w.caption << ": frame " << frame.x() << "," << frame.y() << " "
                                          << frame.width() << "x" << frame.height() << " leaves the screen";
        EXPECT_GT(frame.top(), window->geometry().top() - frame.height()) << w.caption;
        ExpectButtonsInReach(window, w.caption);
        if (window != &main) window->hide();
    }
}

TEST(Desktop, CaptionsCarryNoApplicationSuffix) {
    // Qt appends " — <display name>" to a caption that does not end with the
    // application's display name, whenever one is set.
    const QString display = QGuiApplication::applicationDisplayName();
    const bool suffixed = display != QCoreApplication::applicationName();
    CalcDlg main;
    for (const Window& w : WINDOWS) {
        QWidget* window = w.make(&main);
        std::unique_ptr<QWidget> owned(window == &main ? nullptr : window);
        const QString caption = window->windowTitle();
        EXPECT_EQ(Str(caption), w.caption);
        EXPECT_FALSE(suffixed && !caption.endsWith(display))
            << w.caption << " would be shown as \"" << w.caption << " — " << Str(display) << "\"";
    }
}

TEST(Desktop, QtTextsAreJapanese) {
    // The displays' own edit menu comes from Qt's translations (package
    // qt6-translations-l10n): no item may read in English.
    CalcDlg main;
    for (int id : {IDC_VALUE, IDC_MEMORY}) {
        auto* display = Ctl<QPlainTextEdit>(&main, id);
        ASSERT_NE(display, nullptr);
        std::unique_ptr<QMenu> menu(display->createStandardContextMenu());
        int items = 0;
        for (const QAction* a : menu->actions()) {
            if (a->isSeparator()) continue;
            ++items;
            const QString text = a->text();
            EXPECT_TRUE(std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0x7F; }))
                << "display " << id << ": \"" << Str(text) << "\" is not translated";
        }
        EXPECT_GE(items, 2);
    }
}

TEST(Desktop, InvalidMemoryShowsAMarkAndCopiesNothing) {
    CalcDlg main;
    main.Engine().OnStartUp();
    ShowActive(&main);
    auto* memory = Ctl<QPlainTextEdit>(&main, IDC_MEMORY);
    ASSERT_NE(memory, nullptr);
    // 2^1600 - 1, the largest value the clipboard gives in radix 16, into the
    // memory; then M+ 1 overflows it.
    Ctl<QSpinBox>(&main, IDC_RADIX_SPIN)->setValue(16);
    ASSERT_EQ(main.Engine().m_radix, 16u);
    const QString largest(400, u'F');
    QGuiApplication::clipboard()->setText(largest);
    main.OnCommand(ID_PASTE_MEMORY);
    EXPECT_TRUE(memory->toPlainText() == largest);
    main.OnCommand(ID_DIGIT_0 + 1);
    main.OnCommand(ID_MPLUS);
    EXPECT_EQ(Str(memory->toPlainText()), "値が大きすぎます");
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    main.OnCommand(ID_COPY_MEMORY);
    EXPECT_EQ(Str(QGuiApplication::clipboard()->text()), "kept");
    // MC gives a number again, and Copy copies it.
    main.OnCommand(ID_MC);
    EXPECT_EQ(Str(memory->toPlainText()), "0");
    main.OnCommand(ID_COPY_MEMORY);
    EXPECT_EQ(Str(QGuiApplication::clipboard()->text()), "0");
}
