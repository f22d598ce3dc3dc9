// The prime console through its real dialog: runs, aborts, enabling, the
// priority option, the target edit, the trial count and the way settings
// travel back to the opener.

#include <gmp.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <string>
#include <vector>

#include "calc/qt_message_box.h"
#include "console/method_settings_dlg.h"
#include "console/prime_dlg.h"
#include "console/worker_control.h"
#include "tests/gui_console/console_test_support.h"
#include "tests/gui_console/modal_script.h"
#include "tests/gui_console/recording_presenter.h"

namespace {

const std::set<int> ALL_IDS = {1100, 1101, 1102, 1103, 1095, 1096, 1106, 1105, 1107, 1108, 1112, 1110, 1111, 1115,
                               1113, 1114, 1126, 1127, 1128, 1116, 1135, 1136, 1097, 1094, 1129, 1,    2};
/// Enabled while idle with the pseudo-prime test chosen, before any run.
const std::set<int> IDLE_PSEUDO = {1100, 1101, 1103, 1095, 1096, 1097, 1129, 1};
/// Enabled while a worker runs.
const std::set<int> RUNNING = {1094, 1129};

std::set<int> Union(std::set<int> a, const std::set<int>& b) {
    a.insert(b.begin(), b.end());
    return a;
}

/// Decimal text of base^exp + add, made by GMP.
std::string PowerText(unsigned long base, unsigned long exp, long add) {
    mpz_t z;
    mpz_init(z);
    mpz_ui_pow_ui(z, base, exp);
    if (add >= 0) {
        mpz_add_ui(z, z, static_cast<unsigned long>(add));
    } else {
        mpz_sub_ui(z, z, static_cast<unsigned long>(-add));
    }
    char* s = mpz_get_str(nullptr, 10, z);
    std::string text(s);
    void (*freefunc)(void*, size_t);
    mp_get_memory_functions(nullptr, nullptr, &freefunc);
    freefunc(s, text.size() + 1);
    mpz_clear(z);
    return text;
}

/// The text of `z` in `radix`, upper-case digits, made by GMP.
std::string GmpText(const mpz_t z, int radix) {
    char* s = mpz_get_str(nullptr, -radix, z);
    std::string text(s);
    void (*freefunc)(void*, size_t);
    mp_get_memory_functions(nullptr, nullptr, &freefunc);
    freefunc(s, text.size() + 1);
    return text;
}

BigInt Parse(const std::string& decimal) {
    BigInt v;
    EXPECT_EQ(v.FromString(decimal.c_str(), 10), 0) << decimal.substr(0, 40);
    return v;
}

/// (2^127 - 1)(2^521 - 1): two Mersenne primes, far beyond what a few ECM
/// curves find, and narrow enough (648 bits) for the search to run normally.
std::string HardCompositeText() {
    mpz_t a, b;
    mpz_inits(a, b, nullptr);
    mpz_ui_pow_ui(a, 2, 127);
    mpz_sub_ui(a, a, 1);
    mpz_ui_pow_ui(b, 2, 521);
    mpz_sub_ui(b, b, 1);
    mpz_mul(a, a, b);
    char* s = mpz_get_str(nullptr, 10, a);
    std::string text(s);
    void (*freefunc)(void*, size_t);
    mp_get_memory_functions(nullptr, nullptr, &freefunc);
    freefunc(s, text.size() + 1);
    mpz_clears(a, b, nullptr);
    return text;
}

std::string Decimal(BigInt v) {
    char buffer[BIGINT_TEXT_SIZE];
    return v.ToString(buffer, 10);
}

class PrimeDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(g_workerControl.RunState.load(), RUN_IDLE);
        TestPresenter().Clear();
    }
    void TearDown() override {
        // No test may leave a worker behind.
        EXPECT_EQ(g_workerControl.RunState.load(), RUN_IDLE);
    }

    /// Makes and shows the console for `settings`.
    void Open(const PrimeSettings& settings) {
        dlg = std::make_unique<PrimeDlg>(settings);
        ShowActive(dlg.get());
    }
    QWidget* W(int id) { return Ctl(dlg.get(), id); }
    void Click(int id) { Ctl<QAbstractButton>(dlg.get(), id)->click(); }
    std::set<int> Enabled() { return EnabledAmong(dlg.get(), ALL_IDS); }
    /// Presses "開始"; returns when the run (and its boxes) has ended.
    void Start() { QTest::mouseClick(Ctl<QPushButton>(dlg.get(), IDC_START), Qt::LeftButton); }

    static void ExpectClean(const ModalScript& script) {
        std::string seen;
        for (const std::string& t : script.Seen()) seen += "\"" + t + "\" ";
        std::string asked;
        for (const RecordedBox& b : TestPresenter().Boxes()) asked += "\"" + b.text + "\" ";
        EXPECT_TRUE(script.Done()) << "still expected: " << script.Pending() << "; boxes seen: " << seen
                                   << "; boxes asked for: " << asked;
        for (const std::string& u : script.Unexpected()) ADD_FAILURE() << u;
    }

    std::unique_ptr<PrimeDlg> dlg;
};

// --- Texts and the state on creation ----------------------------------------------

TEST_F(PrimeDlgTest, ControlsCarryTheirTexts) {
    Open(PrimeSettings{});
    EXPECT_EQ(dlg->windowTitle().toStdString(), "素数判別、素因数分解");
    struct Row {
        int id;
        const char* text;
    };
    const Row rows[] = {
        {1101, "擬素数判別"},
        {1102, "素数判別"},
        {1103, "素因数の発見"},
        {1106, "Brute Force除算"},
        {1105, "ρ法"},
        {1107, "P-1法"},
        {1108, "楕円曲線法(ECM)"},
        {1112, "複数多項式二次ふるい法(MPQS)"},
        {1110, "数体ふるい法(NFS)"},
        {1111, "素因数分解 : ρ → p-1 "},
        {1115, "設定..."},
        {1113, "設定..."},
        {1114, "設定..."},
        {1126, "設定..."},
        {1127, "設定..."},
        {1128, "設定..."},
        {1116, "先にBrute Force除算をする(未実装)"},
        {1135, "次の素数"},
        {1136, "前の素数"},
        {1097, "開始"},
        {1094, "中断"},
        {1129, "PRIORITYを下げる(他のアプリへの影響を低くします)"},
        {1, "終了"},
        {2, "ｷｬﾝｾﾙ"},
    };
    for (const Row& r : rows) {
        auto* b = Ctl<QAbstractButton>(dlg.get(), r.id);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->text().toStdString(), r.text) << "control " << r.id;
    }
    EXPECT_FALSE(W(2)->isVisible()) << "the cancel button is hidden";
    EXPECT_TRUE(Ctl<QPushButton>(dlg.get(), 1)->isDefault());
}

TEST_F(PrimeDlgTest, StaticTextsAndTheirEnabling) {
    Open(PrimeSettings{});
    struct Row {
        const char* text;  // "\n" where the text has its "\r"
        bool enabled;
    };
    const Row rows[] = {
        {"説明 : Miller-Rabinの方法で判別します(判別時間小)", true},
        {"( 20～200 )", true},
        {"※値が大きいほど", true},
        {"・判別は正確", true},
        {"・計算時間大", true},
        {"説明 : Adleman-Pomerance-Rumely(Cohen-Lenstra改良版)", false},
        {"の方法で判別します(判別時間大)", false},
        {"→ NFS", false},
        {"※素数を素因数分解しようとした場合、処理が異常になる場合があります。\n   その場合は強制終了して下さい。", true},
    };
    const auto labels = dlg->findChildren<QLabel*>();
    for (const Row& r : rows) {
        const QLabel* found = nullptr;
        for (const QLabel* l : labels) {
            if (l->text().toStdString() == r.text) found = l;
        }
        ASSERT_NE(found, nullptr) << "missing text: " << r.text;
        EXPECT_EQ(found->isEnabled(), r.enabled) << r.text;
    }
    std::set<std::string> groups;
    for (const QGroupBox* g : dlg->findChildren<QGroupBox*>()) groups.insert(g->title().toStdString());
    for (const char* title : {"ターゲットの数", "アクション", "設定", "次の素数", "前の素数"}) {
        EXPECT_TRUE(groups.count(title)) << "missing group " << title;
    }
}

TEST_F(PrimeDlgTest, EnabledControlsOnCreationFollowTheAction) {
    struct Row {
        const char* what;
        int action;
        int method;
        std::set<int> enabled;
    };
    const std::set<int> base = {1100, 1101, 1103, 1097, 1129, 1};
    const std::set<int> methods = {1106, 1105, 1107, 1108, 1111};
    const Row rows[] = {
        {"pseudo-prime test", 0, 0, IDLE_PSEUDO},
        {"prime test: trial count and methods off", 1, 0, base},
        {"factor search, brute force: its button, no 1116", 2, 0, Union(Union(base, methods), {1115})},
        {"factor search, rho", 2, 1, Union(Union(base, methods), {1113, 1116})},
        {"factor search, p-1", 2, 2, Union(Union(base, methods), {1114, 1116})},
        {"factor search, ECM", 2, 3, Union(Union(base, methods), {1126, 1116})},
        {"factor search, full factorisation: no settings button", 2, 6, Union(Union(base, methods), {1116})},
    };
    for (const Row& r : rows) {
        PrimeSettings s;
        s.action = r.action;
        s.method = r.method;
        Open(s);
        EXPECT_EQ(IdsText(Enabled()), IdsText(r.enabled)) << r.what;
        EXPECT_TRUE(Ctl<QRadioButton>(dlg.get(), IDC_PRIME_PSEUDO + r.action)->isChecked()) << r.what;
        EXPECT_EQ(Ctl<QLineEdit>(dlg.get(), IDC_PRIME_TARGET)->text().toStdString(), "7");
        EXPECT_EQ(Ctl<QLineEdit>(dlg.get(), IDC_PRIME_TRIALS)->text().toStdString(), "30");
        EXPECT_TRUE(Ctl<QCheckBox>(dlg.get(), IDC_LOWER_PRIORITY)->isChecked());
    }
}

TEST_F(PrimeDlgTest, InvalidActionOnOpeningIsReported) {
    PrimeSettings s;
    s.action = 5;
    ModalScript script({ExpectBox("Error in OnInitDialog")});
    Open(s);
    script.WaitDone();
    ExpectClean(script);
}

// --- Selecting the action and the method ---------------------------------------

TEST_F(PrimeDlgTest, ClicksSwitchTheEnablingSets) {
    Open(PrimeSettings{});
    const std::set<int> base = {1100, 1101, 1103, 1097, 1129, 1};
    const std::set<int> methods = {1106, 1105, 1107, 1108, 1111};
    struct Row {
        int click;
        int action;
        int method;
        std::set<int> enabled;
    };
    const Row rows[] = {
        {1103, 2, 0, Union(Union(base, methods), {1115})},
        {1108, 2, 3, Union(Union(base, methods), {1126, 1116})},
        {1106, 2, 0, Union(Union(base, methods), {1115})},
        {1105, 2, 1, Union(Union(base, methods), {1113, 1116})},
        {1107, 2, 2, Union(Union(base, methods), {1114, 1116})},
        {1111, 2, 6, Union(Union(base, methods), {1116})},
        {1101, 0, 6, IDLE_PSEUDO},
        {1103, 2, 6, Union(Union(base, methods), {1116})},
        {1101, 0, 6, IDLE_PSEUDO},
    };
    for (const Row& r : rows) {
        Click(r.click);
        EXPECT_EQ(dlg->Settings().action, r.action) << "after " << r.click;
        EXPECT_EQ(dlg->Settings().method, r.method) << "after " << r.click;
        EXPECT_EQ(IdsText(Enabled()), IdsText(r.enabled)) << "after " << r.click;
    }
}

// --- Runs ------------------------------------------------------------------------------

TEST_F(PrimeDlgTest, DefaultRunEndsWithPrimeAndStartStaysOffWhileTheBoxIsOpen) {
    Open(PrimeSettings{});
    EXPECT_EQ(IdsText(Enabled()), IdsText(IDLE_PSEUDO));
    std::set<int> duringRun;
    bool running = false;
    ModalScript script({ExpectBox("素数です", [&] {
        duringRun = Enabled();
        running = dlg->IsRunning();
    })});
    Start();
    ExpectClean(script);
    EXPECT_TRUE(running);
    EXPECT_EQ(IdsText(duringRun), IdsText(RUNNING)) << "only abort and the priority box while the result is shown";
    // After the first run the prime test can be chosen.
    EXPECT_EQ(IdsText(Enabled()), IdsText(Union(IDLE_PSEUDO, {1102})));
    EXPECT_FALSE(dlg->IsRunning());

    const auto boxes = TestPresenter().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Kalvora");
    EXPECT_FALSE(boxes[0].onGuiThread) << "the worker asks for its box from its own thread";
}

TEST_F(PrimeDlgTest, CarmichaelNumberTypedIntoTheDialogIsNotPrime) {
    Open(PrimeSettings{});
    TypeInto(Ctl<QLineEdit>(dlg.get(), IDC_PRIME_TARGET), QStringLiteral("561"));
    TypeInto(Ctl<QLineEdit>(dlg.get(), IDC_PRIME_TRIALS), QStringLiteral("20"));
    Ctl<QLineEdit>(dlg.get(), IDC_PRIME_TARGET)->setFocus(Qt::TabFocusReason);  // leaving 1095 transfers it
    EXPECT_EQ(Decimal(dlg->Settings().target), "561");
    EXPECT_EQ(dlg->Settings().mrTrials, 20);
    ModalScript script({ExpectBox("素数ではありません")});
    Start();
    ExpectClean(script);
}

TEST_F(PrimeDlgTest, WorkerMessagesOfTheMethods) {
    struct Row {
        const char* what;
        int method;
        const char* target;
        std::vector<std::string> boxes;
    };
    const Row rows[] = {
        {"rho with 10000 steps closes both cycles of 8051 before its first gcd", 1, "8051",
         {"素因数を発見できませんでした"}},
        {"rho on 0", 1, "0", {"ターゲットが不正です"}},
        {"trial division finds 3", 0, "561", {"素因数\r 3 \rを発見しました !"}},
        {"full factorisation of 24", 6, "24", {"この機能は完全ではありません。", "2^3 * 3"}},
        {"MPQS is not implemented", 4, "15", {"この機能は実装されておりません。"}},
        {"NFS is not implemented", 5, "15", {"この機能は実装されておりません。"}},
    };
    for (const Row& r : rows) {
        PrimeSettings s;
        s.action = ACTION_FACTOR;
        s.method = r.method;
        s.lowerPriority = 0;
        Open(s);
        TypeInto(Ctl<QLineEdit>(dlg.get(), IDC_PRIME_TARGET), QString::fromLatin1(r.target));
        std::vector<ModalStep> steps;
        for (const std::string& b : r.boxes) steps.push_back(ExpectBox(b));
        ModalScript script(steps);
        Start();
        ExpectClean(script);
        EXPECT_FALSE(dlg->IsRunning()) << r.what;
    }
}

TEST_F(PrimeDlgTest, AbortDuringALongEcmRunEndsWithInterrupted) {
    PrimeSettings s;
    s.action = ACTION_FACTOR;
    s.method = METHOD_ECM;
    s.ecmTrials = 10000;
    s.ecmSmoothness = 100000;
    s.lowerPriority = 0;
    Open(s);
    TypeInto(Ctl<QLineEdit>(dlg.get(), IDC_PRIME_TARGET), QString::fromStdString(HardCompositeText()));
    ASSERT_EQ(Decimal(dlg->Settings().target), HardCompositeText());

    bool abortOffAtOnce = false;
    int stateAfterClick = -1;
    std::set<int> duringRun;
    auto* abort = Ctl<QPushButton>(dlg.get(), IDC_ABORT);
    ModalScript script({ExpectBox("この機能にはバグが残っています。",
                                  [&] {
                                      // Abort once the search itself is under way.
                                      QTimer::singleShot(300, [&] {
                                          duringRun = Enabled();
                                          abort->click();
                                          abortOffAtOnce = !abort->isEnabled();
                                          stateAfterClick = g_workerControl.RunState.load();
                                      });
                                  }),
                        ExpectBox("中断しました")});
    Start();
    ExpectClean(script);
    EXPECT_EQ(IdsText(duringRun), IdsText(RUNNING));
    EXPECT_TRUE(abortOffAtOnce);
    EXPECT_EQ(stateAfterClick, RUN_ABORT);
    EXPECT_EQ(script.Seen().size(), 2u) << "no partial result after the abort";
    EXPECT_EQ(IdsText(Enabled()),
              IdsText({1100, 1101, 1102, 1103, 1106, 1105, 1107, 1108, 1111, 1126, 1116, 1097, 1129, 1}));
}

TEST_F(PrimeDlgTest, AbortBeforeTheSearchStartsAlsoEndsWithInterrupted) {
    // Aborted while the warnings of ECM and the full factorisation are still open.
    for (int method : {METHOD_ECM, METHOD_FACTORISE}) {
        PrimeSettings s;
        s.action = ACTION_FACTOR;
        s.method = method;
        s.lowerPriority = 0;
        Open(s);
        TypeInto(Ctl<QLineEdit>(dlg.get(), IDC_PRIME_TARGET), QString::fromStdString(HardCompositeText()));
        auto* abort = Ctl<QPushButton>(dlg.get(), IDC_ABORT);
        const char* warning = method == METHOD_ECM ? "この機能にはバグが残っています。" : "この機能は完全ではありません。";
        ModalScript script({ExpectBox(warning, [&] { abort->click(); }), ExpectBox("中断しました")});
        Start();
        ExpectClean(script);
    }
}

TEST_F(PrimeDlgTest, ConsoleFormatsAndReducesWhileTheWorkerRuns) {
    // The window thread formats in several radices and reduces through the
    // shared caches while the worker tests 2^607 - 1 (a prime narrow enough
    // for the test's squares) with the same caches; every text and remainder
    // must match GMP's.
    mpz_t prime, modulus, x, r;
    mpz_inits(prime, modulus, x, r, nullptr);
    mpz_ui_pow_ui(prime, 2, 607);
    mpz_sub_ui(prime, prime, 1);
    mpz_ui_pow_ui(modulus, 2, 521);
    mpz_sub_ui(modulus, modulus, 25);
    mpz_ui_pow_ui(x, 3, 900);
    mpz_mod(r, x, modulus);
    const std::string primeText = GmpText(prime, 10);
    const std::string expected[3] = {GmpText(prime, 16), GmpText(prime, 2), primeText};
    const int radices[3] = {16, 2, 10};
    const BigInt xValue = Parse(GmpText(x, 10));
    const BigInt mValue = Parse(GmpText(modulus, 10));
    const std::string remainder = GmpText(r, 10);
    mpz_clears(prime, modulus, x, r, nullptr);

    PrimeSettings s;
    s.mrTrials = 200;
    s.lowerPriority = 0;
    Open(s);
    TypeInto(Ctl<QLineEdit>(dlg.get(), IDC_PRIME_TARGET), QString::fromStdString(primeText));
    const BigInt target = Parse(primeText);

    bool ranDuringRun = false;
    int rounds = 0;
    int mismatches = 0;
    QTimer::singleShot(0, dlg.get(), [&] {
        ranDuringRun = dlg->IsRunning();
        for (int i = 0; i < 150; ++i, ++rounds) {
            BigInt copy = target;
            char buffer[BIGINT_TEXT_SIZE];
            if (copy.ToString(buffer, static_cast<uint16_t>(radices[i % 3])) != expected[i % 3]) ++mismatches;
            BigInt reduced = xValue.ModCached(mValue);
            if (reduced.ToString(buffer, 10) != remainder) ++mismatches;
        }
    });
    ModalScript script({ExpectBox("素数です")});
    Start();
    ExpectClean(script);
    EXPECT_TRUE(ranDuringRun);
    EXPECT_EQ(rounds, 150);
    EXPECT_EQ(mismatches, 0);
}

TEST_F(PrimeDlgTest, ProgramPresenterShowsTheWorkerBoxesWhileTheConsoleRuns) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "Qt's blocking queued call synchronises inside uninstrumented code";
#else
    // The presenter that the program installs at start-up, instead of the tests' own.
    QtMessageBoxPresenter programPresenter;
    InstallMessageBoxPresenter(&programPresenter);
    PrimeSettings s;
    s.action = ACTION_FACTOR;
    s.method = METHOD_FACTORISE;
    s.target = 360;
    s.lowerPriority = 0;
    Open(s);
    std::set<int> whileWarning;
    ModalScript script({ExpectBox("この機能は完全ではありません。", [&] { whileWarning = Enabled(); }),
                        ExpectBox("2^3 * 3^2 * 5")});
    Start();
    InstallMessageBoxPresenter(&TestPresenter());
    ExpectClean(script);
    EXPECT_EQ(IdsText(whileWarning), IdsText(RUNNING));
    EXPECT_FALSE(dlg->IsRunning());
#endif
}

TEST_F(PrimeDlgTest, LateAbortClickLeavesAnEndedRunIdle) {
    // A click that reaches the console after the worker has written its end
    // must not turn the idle state into an abort request nobody will clear.
    Open(PrimeSettings{});
    ASSERT_EQ(g_workerControl.RunState.load(), RUN_IDLE);
    dlg->OnAbort();
    EXPECT_EQ(g_workerControl.RunState.load(), RUN_IDLE);
    EXPECT_FALSE(W(IDC_ABORT)->isEnabled());
    // And the next run still starts and ends normally.
    ModalScript script({ExpectBox("素数です")});
    Start();
    ExpectClean(script);
}

TEST_F(PrimeDlgTest, CloseIsRefusedWhileAWorkerRuns) {
    Open(PrimeSettings{});
    bool visibleAfterClose = false;
    ModalScript script({ExpectBox("素数です", [&] {
        dlg->reject();
        dlg->close();
        visibleAfterClose = dlg->isVisible();
    })});
    Start();
    ExpectClean(script);
    EXPECT_TRUE(visibleAfterClose);
    EXPECT_TRUE(dlg->isVisible());
}

TEST_F(PrimeDlgTest, PrimeTestOnlyShowsItsMessageAndChangesNoControl) {
    Open(PrimeSettings{});
    {
        ModalScript script({ExpectBox("素数です")});
        Start();
        ExpectClean(script);
    }
    ASSERT_TRUE(W(IDC_PRIME_TEST)->isEnabled());
    Click(IDC_PRIME_TEST);
    EXPECT_EQ(dlg->Settings().action, ACTION_PRIME_TEST);
    const std::set<int> before = Enabled();
    EXPECT_EQ(IdsText(before), IdsText({1100, 1101, 1102, 1103, 1097, 1129, 1}));
    std::set<int> whileShown;
    ModalScript script({ExpectBox("この機能は実装されておりません。", [&] { whileShown = Enabled(); })});
    Start();
    ExpectClean(script);
    EXPECT_EQ(IdsText(whileShown), IdsText(before));
    EXPECT_EQ(IdsText(Enabled()), IdsText(before));
    EXPECT_EQ(g_workerControl.RunState.load(), RUN_IDLE);
    const auto boxes = TestPresenter().Boxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_TRUE(boxes.back().onGuiThread);
}

TEST_F(PrimeDlgTest, PriorityOptionTakesEffectAtTheNextRun) {
    PrimeSettings s;
    s.action = ACTION_FACTOR;
    s.method = METHOD_FACTORISE;
    s.target = 24;
    ASSERT_EQ(s.lowerPriority, 1);
    Open(s);
    auto* priority = Ctl<QCheckBox>(dlg.get(), IDC_LOWER_PRIORITY);

    // Run 1 starts lowered; the option is switched off while it runs.
    bool enabledDuringRun = false;
    ModalScript run1({ExpectBox("この機能は完全ではありません。",
                                [&] {
                                    enabledDuringRun = priority->isEnabled();
                                    QTest::mouseClick(priority, Qt::LeftButton);
                                }),
                      ExpectBox("2^3 * 3")});
    Start();
    ExpectClean(run1);
    EXPECT_TRUE(enabledDuringRun);
    EXPECT_FALSE(priority->isChecked());
    EXPECT_EQ(dlg->Settings().lowerPriority, 0);
    auto boxes = TestPresenter().Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(RecordingPresenter::IsLowered(boxes[0]));
    EXPECT_TRUE(RecordingPresenter::IsLowered(boxes[1])) << "the running worker keeps its priority";

    // Run 2 uses the new setting.
    TestPresenter().Clear();
    ModalScript run2({ExpectBox("この機能は完全ではありません。"), ExpectBox("2^3 * 3")});
    Start();
    ExpectClean(run2);
    boxes = TestPresenter().Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_FALSE(RecordingPresenter::IsLowered(boxes[0]));
    EXPECT_FALSE(RecordingPresenter::IsLowered(boxes[1]));

    // Switched on again between runs: run 3 is lowered.
    QTest::mouseClick(priority, Qt::LeftButton);
    EXPECT_EQ(dlg->Settings().lowerPriority, 1);
    TestPresenter().Clear();
    ModalScript run3({ExpectBox("この機能は完全ではありません。"), ExpectBox("2^3 * 3")});
    Start();
    ExpectClean(run3);
    boxes = TestPresenter().Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(RecordingPresenter::IsLowered(boxes[0]));
}

// --- Target edit ------------------------------------------------------------------------------

TEST_F(PrimeDlgTest, TargetTextIsParsedOnEveryChange) {
    const std::string max = PowerText(2, 1600, -1);  // the largest magnitude that parses
    const std::string tooLarge = PowerText(2, 1600, 0);
    struct Row {
        std::string text;
        std::string box;         // "" when the text is accepted
        std::string editAfter;   // what the edit shows afterwards
        std::string target;      // decimal target afterwards
        std::string targetText;  // the stored target text afterwards
    };
    const std::vector<Row> rows = {
        {"561", "", "561", "561", "561"},
        {"007", "", "007", "7", "7"},
        {"", "", "", "0", "0"},
        {"-12", "", "-12", "-12", "-12"},
        {"-", "", "-", "0", "0"},
        {max, "", max, max, max},
        {"-" + max, "", "-" + max, "-" + max, "-" + max},
        {"12a", "不正な文字が含まれています", "7", "7", "7"},
        {"+5", "不正な文字が含まれています", "7", "7", "7"},
        {" 5", "不正な文字が含まれています", "7", "7", "7"},
        {"5 ", "不正な文字が含まれています", "7", "7", "7"},
        {"0x1F", "不正な文字が含まれています", "7", "7", "7"},
        {"１２", "不正な文字が含まれています", "7", "7", "7"},
        {"FF", "不正な文字が含まれています", "7", "7", "7"},
        {tooLarge, "値が大きすぎます", "7", "7", "7"},
        {"-" + tooLarge, "値が大きすぎます", "7", "7", "7"},
        {"1" + std::string(500, '0'), "値が大きすぎます", "7", "7", "7"},
        // The edit takes at most 817 characters; 817 nines are still far too large.
        {std::string(900, '9'), "値が大きすぎます", "7", "7", "7"},
    };
    for (const Row& r : rows) {
        Open(PrimeSettings{});
        auto* edit = Ctl<QLineEdit>(dlg.get(), IDC_PRIME_TARGET);
        std::vector<ModalStep> steps;
        if (!r.box.empty()) steps.push_back(ExpectBox(r.box));
        ModalScript script(steps);
        edit->setText(QString::fromStdString(r.text));
        script.WaitDone();
        ExpectClean(script);
        EXPECT_TRUE(script.Seen().size() == steps.size()) << "text " << r.text.substr(0, 40);
        EXPECT_EQ(edit->text().toStdString(), r.editAfter) << r.text.substr(0, 40);
        EXPECT_EQ(Decimal(dlg->Settings().target), r.target) << r.text.substr(0, 40);
        EXPECT_EQ(dlg->TargetText().toStdString(), r.targetText) << r.text.substr(0, 40);
    }
}

TEST_F(PrimeDlgTest, TargetEditTakesAtMost817Characters) {
    Open(PrimeSettings{});
    auto* edit = Ctl<QLineEdit>(dlg.get(), IDC_PRIME_TARGET);
    EXPECT_EQ(edit->maxLength(), 817);
    ModalScript script({ExpectBox("値が大きすぎます")});
    edit->setText(QString(900, QLatin1Char('9')));
    script.WaitDone();
    ExpectClean(script);
}

TEST_F(PrimeDlgTest, TypingALetterRestoresThePreviousTarget) {
    Open(PrimeSettings{});
    auto* edit = Ctl<QLineEdit>(dlg.get(), IDC_PRIME_TARGET);
    ModalScript script({ExpectBox("不正な文字が含まれています")});
    TypeInto(edit, QStringLiteral("45x"));
    script.WaitDone();
    ExpectClean(script);
    EXPECT_EQ(edit->text().toStdString(), "45");
    EXPECT_EQ(Decimal(dlg->Settings().target), "45");
    // The restored text parses again: typing goes on from there.
    QTest::keyClicks(edit, QStringLiteral("6"));
    EXPECT_EQ(Decimal(dlg->Settings().target), "456");
}

// --- Trial count -------------------------------------------------------------------------------

TEST_F(PrimeDlgTest, TrialCountIsValidatedWhenFocusLeavesIt) {
    struct Row {
        const char* typed;
        bool accepted;
        int mrTrials;  // afterwards
    };
    const Row rows[] = {
        {"20", true, 20},  {"200", true, 200}, {"137", true, 137}, {"19", false, 30},
        {"201", false, 30}, {"0", false, 30},   {"-20", false, 30}, {"abc", false, 30},
        {"", false, 30},
    };
    for (const Row& r : rows) {
        Open(PrimeSettings{});
        auto* trials = Ctl<QLineEdit>(dlg.get(), IDC_PRIME_TRIALS);
        std::vector<ModalStep> steps;
        if (!r.accepted) steps.push_back(ExpectBox("20 から 200 までの整数を入力してください。"));
        ModalScript script(steps);
        TypeInto(trials, QString::fromLatin1(r.typed));
        Ctl<QLineEdit>(dlg.get(), IDC_PRIME_TARGET)->setFocus(Qt::TabFocusReason);
        script.WaitDone();
        ExpectClean(script);
        EXPECT_EQ(script.Seen().size(), steps.size()) << r.typed;
        EXPECT_EQ(dlg->Settings().mrTrials, r.mrTrials) << r.typed;
        if (!r.accepted) {
            EXPECT_EQ(dlg->focusWidget(), trials) << "focus back on the field: " << r.typed;
        }
    }
}

TEST_F(PrimeDlgTest, EndRefusesAnInvalidTrialCountAndStaysOpen) {
    Open(PrimeSettings{});
    auto* trials = Ctl<QLineEdit>(dlg.get(), IDC_PRIME_TRIALS);
    trials->setText(QStringLiteral("201"));
    ModalScript script({ExpectBox("20 から 200 までの整数を入力してください。")});
    Click(IDC_PRIME_OK);
    ExpectClean(script);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    trials->setText(QStringLiteral("200"));
    Click(IDC_PRIME_OK);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(dlg->Settings().mrTrials, 200);
}

TEST_F(PrimeDlgTest, TrialCountSpinStaysWithin20And200) {
    Open(PrimeSettings{});
    auto* trials = Ctl<QLineEdit>(dlg.get(), IDC_PRIME_TRIALS);
    auto* spin = Ctl<UpDownControl>(dlg.get(), IDC_PRIME_TRIALS_SPIN);
    EXPECT_EQ(spin->Minimum(), 20);
    EXPECT_EQ(spin->Maximum(), 200);
    trials->setText(QStringLiteral("199"));
    spin->UpButton()->click();
    spin->UpButton()->click();
    EXPECT_EQ(trials->text().toStdString(), "200");
    trials->setText(QStringLiteral("21"));
    spin->DownButton()->click();
    spin->DownButton()->click();
    EXPECT_EQ(trials->text().toStdString(), "20");
}

// --- Settings travel back only with "終了" -------------------------------------------------

TEST_F(PrimeDlgTest, OpenerGetsTheValuesOnlyWhenTheConsoleEndsWithEnd) {
    struct Row {
        const char* what;
        bool end;  // "終了" (true) or closing the window
    };
    for (const Row& r : {Row{"ended with 終了", true}, Row{"closed", false}}) {
        PrimeSettings opener;
        auto* ecmAnswer = new bool(false);
        ModalScript script({
            ExpectDialog<PrimeDlg>("console",
                                   [](PrimeDlg* d) {
                                       Ctl<QLineEdit>(d, IDC_PRIME_TARGET)->setText(QStringLiteral("561"));
                                       Ctl<QAbstractButton>(d, IDC_PRIME_FACTOR)->click();
                                       Ctl<QAbstractButton>(d, IDC_METHOD_ECM)->click();
                                       // The settings dialog runs its own modal loop: open it after this step.
                                       QTimer::singleShot(0, d, [d] { Ctl<QAbstractButton>(d, IDC_SETTINGS_ECM)->click(); });
                                   }),
            ExpectDialog<EcmSettingsDlg>("ECM settings",
                                         [ecmAnswer](EcmSettingsDlg* e) {
                                             *ecmAnswer = Ctl<QRadioButton>(e, IDC_ECM_SMOOTH_1000)->isChecked();
                                             Ctl<QAbstractButton>(e, IDC_ECM_SMOOTH_100000)->click();
                                             Ctl<QLineEdit>(e, IDC_ECM_TRIALS)->setText(QStringLiteral("250"));
                                             Ctl<QAbstractButton>(e, 1)->click();
                                         }),
            ExpectDialog<PrimeDlg>("console again",
                                   [r](PrimeDlg* d) {
                                       EXPECT_EQ(d->Settings().ecmSmoothness, 100000);
                                       EXPECT_EQ(d->Settings().ecmTrials, 250);
                                       if (r.end) {
                                           Ctl<QAbstractButton>(d, IDC_PRIME_OK)->click();
                                       } else {
                                           d->close();
                                       }
                                   }),
        });
        const int result = PrimeDlg::Open(opener);
        ExpectClean(script);
        EXPECT_TRUE(*ecmAnswer) << "the ECM dialog opens with 10^3 checked";
        delete ecmAnswer;
        if (r.end) {
            EXPECT_EQ(result, QDialog::Accepted) << r.what;
            EXPECT_EQ(Decimal(opener.target), "561") << r.what;
            EXPECT_EQ(opener.action, ACTION_FACTOR) << r.what;
            EXPECT_EQ(opener.method, METHOD_ECM) << r.what;
            EXPECT_EQ(opener.ecmSmoothness, 100000) << r.what;
            EXPECT_EQ(opener.ecmTrials, 250) << r.what;
        } else {
            EXPECT_EQ(result, QDialog::Rejected) << r.what;
            EXPECT_EQ(Decimal(opener.target), "7") << r.what;
            EXPECT_EQ(opener.action, ACTION_PSEUDO_PRIME) << r.what;
            EXPECT_EQ(opener.ecmSmoothness, 1000) << r.what;
            EXPECT_EQ(opener.ecmTrials, 100) << r.what;
        }
    }
}

TEST_F(PrimeDlgTest, SettingsDialogsCopyBackOnlyOnOk) {
    struct Row {
        int method;
        int button;
        bool ok;
    };
    const Row rows[] = {
        {METHOD_TRIAL_DIVISION, IDC_SETTINGS_TRIAL_DIVISION, true},
        {METHOD_TRIAL_DIVISION, IDC_SETTINGS_TRIAL_DIVISION, false},
        {METHOD_RHO, IDC_SETTINGS_RHO, true},
        {METHOD_RHO, IDC_SETTINGS_RHO, false},
        {METHOD_PM1, IDC_SETTINGS_PM1, true},
        {METHOD_PM1, IDC_SETTINGS_PM1, false},
    };
    for (const Row& r : rows) {
        PrimeSettings s;
        s.action = ACTION_FACTOR;
        s.method = r.method;
        Open(s);
        const int button = r.ok ? 1 : 2;
        std::vector<ModalStep> steps;
        if (r.method == METHOD_TRIAL_DIVISION) {
            steps.push_back(ExpectDialog<TrialDivSettingsDlg>("brute force", [button](TrialDivSettingsDlg* d) {
                Ctl<QLineEdit>(d, IDC_TD_BOUND)->setText(QStringLiteral("262139"));
                Ctl<QAbstractButton>(d, button)->click();
            }));
        } else if (r.method == METHOD_RHO) {
            steps.push_back(ExpectDialog<RhoSettingsDlg>("rho", [button](RhoSettingsDlg* d) {
                Ctl<QLineEdit>(d, IDC_RHO_X0)->setText(QStringLiteral("4294967295"));
                Ctl<QLineEdit>(d, IDC_RHO_EXPONENT)->setText(QStringLiteral("3"));
                Ctl<QLineEdit>(d, IDC_RHO_ADDEND)->setText(QStringLiteral("-2147483647"));
                Ctl<QLineEdit>(d, IDC_RHO_TRIALS)->setText(QStringLiteral("100000"));
                Ctl<QAbstractButton>(d, button)->click();
            }));
        } else {
            steps.push_back(ExpectDialog<Pm1SettingsDlg>("p-1", [button](Pm1SettingsDlg* d) {
                Ctl<QLineEdit>(d, IDC_PM1_SMALL_EXPONENT)->setText(QStringLiteral("2"));
                Ctl<QLineEdit>(d, IDC_PM1_BOUND)->setText(QStringLiteral("16777216"));
                Ctl<QLineEdit>(d, IDC_PM1_LARGE_EXPONENT)->setText(QStringLiteral("4"));
                Ctl<QAbstractButton>(d, button)->click();
            }));
        }
        ModalScript script(steps);
        Click(r.button);
        ExpectClean(script);
        const PrimeSettings& got = dlg->Settings();
        const PrimeSettings def;
        if (r.method == METHOD_TRIAL_DIVISION) {
            EXPECT_EQ(got.trialDivBound, r.ok ? 262139 : def.trialDivBound);
        } else if (r.method == METHOD_RHO) {
            EXPECT_EQ(got.rhoX0, r.ok ? 4294967295u : def.rhoX0);
            EXPECT_EQ(got.rhoExponent, r.ok ? 3 : def.rhoExponent);
            EXPECT_EQ(got.rhoAddend, r.ok ? -2147483647 : def.rhoAddend);
            EXPECT_EQ(got.rhoTrials, r.ok ? 100000 : def.rhoTrials);
        } else {
            EXPECT_EQ(got.pm1SmallExponent, r.ok ? 2 : def.pm1SmallExponent);
            EXPECT_EQ(got.pm1Bound, r.ok ? 16777216 : def.pm1Bound);
            EXPECT_EQ(got.pm1LargeExponent, r.ok ? 4 : def.pm1LargeExponent);
        }
    }
}

TEST_F(PrimeDlgTest, SettingsReachTheWorker) {
    // Rho on 8051 finds nothing with its default 10000 steps (both cycles
    // close before the first gcd) but finds 97 with 4 steps: the trial count
    // set in the settings dialog is the one the worker uses.
    PrimeSettings s;
    s.action = ACTION_FACTOR;
    s.method = METHOD_RHO;
    s.lowerPriority = 0;
    s.target = 8051;
    Open(s);
    ModalScript settings({ExpectDialog<RhoSettingsDlg>("rho", [](RhoSettingsDlg* d) {
        Ctl<QLineEdit>(d, IDC_RHO_TRIALS)->setText(QStringLiteral("4"));
        Ctl<QAbstractButton>(d, 1)->click();
    })});
    Click(IDC_SETTINGS_RHO);
    ExpectClean(settings);
    ASSERT_EQ(dlg->Settings().rhoTrials, 4);
    ModalScript run({ExpectBox("素因数\r 97 \rを発見しました !")});
    Start();
    ExpectClean(run);
}

}  // namespace
