// The prime console and its method settings dialogs through the real
// widgets, with the program's own message-box presenter: texts and ids
// against golden dumps, the enabling sets against a golden list, runs and
// aborts on the worker thread, the progress line, the next/previous prime
// buttons, the target edit, the trial count, and how the settings travel
// between the dialogs, the opener and the worker.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "console/method_settings_dlg.h"
#include "console/prime_dlg.h"
#include "console/worker_control.h"
#include "tests/support/gmp.h"
#include "tests/support/qt_support.h"

namespace {

const int ALL_IDS[] = {1100, 1101, 1102, 1103, 1095, 1096, 1106, 1105, 1107, 1108, 1112, 1110, 1111, 1115,
                       1113, 1114, 1126, 1127, 1128, 1116, 1135, 1136, 1097, 1094, 1129, 1,    2};
const std::string NOT_PRIME = "素数ではありません", PRIME = "素数です", TRIALS_RANGE = "20 から 200 までの整数を入力してください。";

class Console : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(g_workerControl.RunState.load(), RUN_IDLE); }
    void TearDown() override { EXPECT_EQ(g_workerControl.RunState.load(), RUN_IDLE) << "a worker was left behind"; }

    void Open(const PrimeSettings& settings = PrimeSettings{}) {
        dlg = std::make_unique<PrimeDlg>(settings);
        ShowActive(dlg.get());
    }
    PrimeSettings Factor(int method, const char* target = "7") {
        PrimeSettings s;
        s.action = ACTION_FACTOR;
        s.method = method;
        s.lowerPriority = 0;
        s.target = gmp::Parse(target).Big();
        return s;
    }
    void Click(int id) { Ctl<QAbstractButton>(dlg.get(), id)->click(); }
    QLineEdit* Edit(int id) { return Ctl<QLineEdit>(dlg.get(), id); }
    /// The enabled controls, as a line for the golden list.
    std::string Enabled(const std::string& state) {
        std::string s = state + ":";
        for (int id : ALL_IDS) {
            if (FindControl(dlg.get(), id)->isEnabled()) s += " " + std::to_string(id);
        }
        return s + "\n";
    }
    /// Presses "開始" and answers the run's boxes; returns when the run has ended.
    void Run(std::vector<ModalStep> boxes) {
        ModalScript script(std::move(boxes));
        QTest::mouseClick(Ctl<QPushButton>(dlg.get(), IDC_START), Qt::LeftButton);
        EXPECT_TRUE(script.WaitDone());
        EXPECT_FALSE(dlg->IsRunning());
    }

    std::unique_ptr<PrimeDlg> dlg;
};

TEST_F(Console, TextsAndIdsOfTheConsoleAndItsSettingsDialogs) {
    Open();
    EXPECT_TRUE(MatchesGolden("prime_console", DumpWidgets(dlg.get())));
    TrialDivSettingsDlg td;
    RhoSettingsDlg rho;
    Pm1SettingsDlg pm1;
    EcmSettingsDlg ecm;
    MpqsSettingsDlg mpqs;
    std::string dumps;
    for (QDialog* d : std::initializer_list<QDialog*>{&td, &rho, &pm1, &ecm, &mpqs}) {
        d->show();
        dumps += DumpWidgets(d);
        d->close();
    }
    EXPECT_TRUE(MatchesGolden("method_settings_dialogs", dumps));
}

TEST_F(Console, EnablingSetsOnOpeningOnClicksAndDuringARun) {
    std::string sets;
    for (const auto& [action, method] : std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 6}}) {
        PrimeSettings s;
        s.action = action;
        s.method = method;
        Open(s);
        sets += Enabled("open with action " + std::to_string(action) + " method " + std::to_string(method));
    }
    Open();
    for (int id : {1103, 1108, 1106, 1105, 1107, 1111, 1112, 1101, 1103, 1101, 1102}) {
        Click(id);
        sets += Enabled("click " + std::to_string(id) + " (action " + std::to_string(dlg->Settings().action) + " method " +
                        std::to_string(dlg->Settings().method) + ")");
    }
    Run({ExpectBox(PRIME, [&] {
        sets += Enabled("while the result of a run is shown");
        dlg->reject();  // closing is refused while a worker runs
        EXPECT_TRUE(dlg->isVisible());
    })});
    sets += Enabled("after the first run");
    Click(IDC_PRIME_FACTOR);
    Click(IDC_METHOD_MPQS);
    Edit(IDC_PRIME_TARGET)->setText("15");
    Run({ExpectBox("3 * 5", [&] { sets += Enabled("while the result of MPQS is shown"); })});
    sets += Enabled("after MPQS");
    Click(IDC_NEXT_PRIME);  // no box
    sets += Enabled("after the next prime");
    EXPECT_EQ(Edit(IDC_PRIME_TARGET)->text(), "17");
    EXPECT_TRUE(MatchesGolden("prime_console_enabling", sets));
    // An invalid action on opening is reported.
    PrimeSettings bad;
    bad.action = 5;
    ModalScript script({ExpectBox("Error in OnInitDialog")});
    Open(bad);
    EXPECT_TRUE(script.WaitDone());
}

TEST_F(Console, WorkerResultsOfTheActionsAndMethods) {
    Open();
    TypeInto(Edit(IDC_PRIME_TARGET), "561");
    TypeInto(Edit(IDC_PRIME_TRIALS), "20");
    Edit(IDC_PRIME_TARGET)->setFocus(Qt::TabFocusReason);  // leaving the trial count transfers it
    EXPECT_EQ(dlg->Settings().mrTrials, 20);
    Run({ExpectBox(NOT_PRIME)});  // a Carmichael number
    const struct {
        int method;
        const char* target;
        std::vector<std::string> boxes;
    } rows[] = {
        {METHOD_RHO, "8051", {"素因数を発見できませんでした"}},  // both cycles close before the first gcd
        {METHOD_RHO, "0", {"ターゲットが不正です"}},
        {METHOD_TRIAL_DIVISION, "561", {"素因数\r 3 \rを発見しました !"}},
        {METHOD_FACTORISE, "360", {"2^3 * 3^2 * 5"}},
        {METHOD_MPQS, "-15", {"3 * 5"}},
        {METHOD_NFS, "15", {"この機能は実装されておりません。"}},
    };
    for (const auto& r : rows) {
        Open(Factor(r.method, r.target));
        std::vector<ModalStep> boxes;
        for (const std::string& b : r.boxes) boxes.push_back(ExpectBox(b));
        Run(boxes);
    }
    // The trial count set in the rho dialog is the one the worker uses: 4 steps find 97.
    Open(Factor(METHOD_RHO, "8051"));
    ModalScript settings({ExpectDialog<RhoSettingsDlg>("rho", [](RhoSettingsDlg* d) {
        TypeInto(Ctl<QLineEdit>(d, IDC_RHO_TRIALS), "4");
        Ctl<QAbstractButton>(d, 1)->click();
    })});
    Click(IDC_SETTINGS_RHO);
    EXPECT_TRUE(settings.WaitDone());
    Run({ExpectBox("素因数\r 97 \rを発見しました !")});
}

TEST_F(Console, AbortWhileTheSearchRunsAndWhileItsWarningIsOpen) {
    // (2^127 - 1)(2^521 - 1): far beyond what a few ECM curves find.
    const gmp::Mpz a = gmp::Parse("2^127-1"), b = gmp::Parse("2^521-1");
    gmp::Mpz hard;
    mpz_mul(hard, a, b);
    PrimeSettings s = Factor(METHOD_ECM);
    s.target = hard.Big();
    s.ecmTrials = 10000;
    s.ecmSmoothness = 100000;
    Open(s);
    auto* abort = Ctl<QPushButton>(dlg.get(), IDC_ABORT);
    bool abortOffAtOnce = false;
    Run({ExpectBox("この機能にはバグが残っています。",
                   [&] {
                       QTimer::singleShot(300, abort, [&] {
                           abort->click();
                           abortOffAtOnce = !abort->isEnabled() && g_workerControl.RunState.load() == RUN_ABORT;
                       });
                   }),
         ExpectBox("中断しました")});
    EXPECT_TRUE(abortOffAtOnce);
    s.method = METHOD_FACTORISE;
    // 21 p q (gp: p = nextprime(10^49 + 12345), q = nextprime(10^59 + 6789)).
    s.target = gmp::Parse("21000000000000000000000000000000000000000000025974900001449210000000000000000000000000000000000000001792527849").Big();
    Open(s);
    QTimer::singleShot(300, dlg.get(), [&] { Ctl<QPushButton>(dlg.get(), IDC_ABORT)->click(); });
    Run({ExpectBox("中断しました"), ExpectBox("3 * 7 * 1000000000000000000000000000000000000000000001236900000069010000000000000000000000000000000000000000085358469(合成数)")});
    // A click that arrives after the worker has ended leaves the state idle.
    dlg->OnAbort();
    EXPECT_EQ(g_workerControl.RunState.load(), RUN_IDLE);
}

TEST_F(Console, PrimeTestShowsItsProgressAndStopsOnAbort) {
    PrimeSettings s = Factor(METHOD_RHO, "2^1599+1775");  // a 1600-bit prime (gp): a proof of seconds
    s.action = ACTION_PRIME_TEST;
    Open(s);
    auto* line = Ctl<QLabel>(dlg.get(), IDC_PROGRESS_LINE);
    QString seen;
    QTimer watch;
    watch.setInterval(2);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!line->text().startsWith("APR-CL: ")) return;
        seen = line->text();
        Click(IDC_ABORT);
        watch.stop();
    });
    watch.start();
    Run({ExpectBox("中断しました", [&] { EXPECT_EQ(line->text(), "") << "cleared before the result"; })});
    EXPECT_TRUE(seen.contains('/')) << seen.toStdString();
    EXPECT_EQ(line->text(), "");
}

TEST_F(Console, NextAndPreviousPrimeReplaceTheTarget) {
    const struct {
        const char* target;
        int button;
        const char* box;  // nullptr: the target becomes `after`
        const char* after;
    } rows[] = {
        {"7", IDC_NEXT_PRIME, nullptr, "11"}, {"7", IDC_PREVIOUS_PRIME, nullptr, "5"},
        {"2", IDC_PREVIOUS_PRIME, "前の素数はありません", "2"},
    };
    for (const auto& r : rows) {
        Open(Factor(METHOD_ECM, r.target));
        ModalScript script(r.box ? std::vector<ModalStep>{ExpectBox(r.box)} : std::vector<ModalStep>{});
        Click(r.button);
        EXPECT_TRUE(script.WaitDone());
        const std::string after = gmp::Text(gmp::Parse(r.after));
        EXPECT_EQ(gmp::Text(gmp::Mpz(dlg->Settings().target)), after) << r.target;
        EXPECT_EQ(Edit(IDC_PRIME_TARGET)->text().toStdString(), after) << r.target;
        EXPECT_EQ(dlg->TargetText().toStdString(), after) << r.target;
    }
}

TEST_F(Console, TargetEditParsesEveryChange) {
    const std::string max = gmp::Text(gmp::Parse("2^1600-1")), tooLarge = gmp::Text(gmp::Parse("2^1600"));
    const struct {
        std::string text;
        const char* box;  // nullptr: accepted
        std::string target;
    } rows[] = {
        {"007", nullptr, "7"}, {"", nullptr, "0"}, {"-12", nullptr, "-12"}, {"-", nullptr, "0"}, {max, nullptr, max},
        {"12a", "不正な文字が含まれています", "7"}, {"+5", "不正な文字が含まれています", "7"},
        {" 5", "不正な文字が含まれています", "7"}, {"１２", "不正な文字が含まれています", "7"},
        {tooLarge, "値が大きすぎます", "7"}, {"-" + tooLarge, "値が大きすぎます", "7"},
        {std::string(900, '9'), "値が大きすぎます", "7"},  // the edit keeps 817 of them: still too large
    };
    for (const auto& r : rows) {
        Open();
        ModalScript script(r.box != nullptr ? std::vector<ModalStep>{ExpectBox(r.box)} : std::vector<ModalStep>{});
        Edit(IDC_PRIME_TARGET)->setText(QString::fromStdString(r.text));
        EXPECT_TRUE(script.WaitDone());
        EXPECT_EQ(gmp::Text(gmp::Mpz(dlg->Settings().target)), r.target) << r.text.substr(0, 30);
        EXPECT_EQ(Edit(IDC_PRIME_TARGET)->text().toStdString(), r.box ? "7" : r.text) << r.text.substr(0, 30);
    }
    // Typing goes on from the restored text.
    ModalScript script({ExpectBox("不正な文字が含まれています")});
    TypeInto(Edit(IDC_PRIME_TARGET), "45x6");
    EXPECT_TRUE(script.WaitDone());
    EXPECT_EQ(gmp::Text(gmp::Mpz(dlg->Settings().target)), "456");
}

TEST_F(Console, TrialCountIsCheckedWhenTheFocusLeavesAndByEnd) {
    for (const auto& [typed, accepted] : std::vector<std::pair<const char*, bool>>{
             {"20", true}, {"200", true}, {"19", false}, {"201", false}, {"abc", false}, {"", false}}) {
        Open();
        ModalScript script(accepted ? std::vector<ModalStep>{} : std::vector<ModalStep>{ExpectBox(TRIALS_RANGE)});
        TypeInto(Edit(IDC_PRIME_TRIALS), typed);
        Edit(IDC_PRIME_TARGET)->setFocus(Qt::TabFocusReason);
        EXPECT_TRUE(script.WaitDone());
        EXPECT_EQ(dlg->Settings().mrTrials, accepted ? std::atoi(typed) : 30) << typed;
        if (!accepted) {
            EXPECT_EQ(dlg->focusWidget(), Edit(IDC_PRIME_TRIALS)) << typed;
        }
    }
    Open();
    auto* spin = Ctl<UpDownControl>(dlg.get(), IDC_PRIME_TRIALS_SPIN);
    Edit(IDC_PRIME_TRIALS)->setText("199");
    spin->UpButton()->click();
    spin->UpButton()->click();
    EXPECT_EQ(Edit(IDC_PRIME_TRIALS)->text(), "200");
    Edit(IDC_PRIME_TRIALS)->setText("201");
    {
        ModalScript script({ExpectBox(TRIALS_RANGE)});
        Click(IDC_PRIME_OK);
        EXPECT_TRUE(script.WaitDone());
    }
    EXPECT_TRUE(dlg->isVisible());
    Edit(IDC_PRIME_TRIALS)->setText("200");
    Click(IDC_PRIME_OK);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
}

TEST_F(Console, SettingsTravelBackOnlyWithOkAndEnd) {
    for (const bool end : {true, false}) {
        PrimeSettings opener;
        ModalScript script({ExpectDialog<PrimeDlg>("console",
                                                   [](PrimeDlg* d) {
                                                       Ctl<QLineEdit>(d, IDC_PRIME_TARGET)->setText("561");
                                                       Ctl<QAbstractButton>(d, IDC_PRIME_FACTOR)->click();
                                                       Ctl<QAbstractButton>(d, IDC_METHOD_ECM)->click();
                                                       Ctl<QCheckBox>(d, IDC_LOWER_PRIORITY)->click();
                                                       Ctl<QCheckBox>(d, IDC_TRIAL_DIVISION_FIRST)->click();
                                                       Ctl<QAbstractButton>(d, IDC_SETTINGS_ECM)->click();
                                                   }),
                            ExpectDialog<EcmSettingsDlg>("ECM settings",
                                                         [](EcmSettingsDlg* e) {
                                                             EXPECT_TRUE(Ctl<QRadioButton>(e, IDC_ECM_SMOOTH_1000)->isChecked());
                                                             Ctl<QAbstractButton>(e, IDC_ECM_SMOOTH_100000)->click();
                                                             Ctl<QLineEdit>(e, IDC_ECM_TRIALS)->setText("250");
                                                             Ctl<QAbstractButton>(e, 1)->click();
                                                         })});
        script.Append(ExpectDialog<PrimeDlg>("console again", [end](PrimeDlg* d) {
            if (end) Ctl<QAbstractButton>(d, IDC_PRIME_OK)->click();
            else d->close();
        }));
        EXPECT_EQ(PrimeDlg::Open(opener), end ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_TRUE(script.WaitDone());
        EXPECT_EQ(gmp::Text(gmp::Mpz(opener.target)) + " " + std::to_string(opener.action) + " " + std::to_string(opener.method) +
                      " " + std::to_string(opener.lowerPriority) + " " + std::to_string(opener.ecmSmoothness) + " " +
                      std::to_string(opener.ecmTrials) + " " + std::to_string(opener.trialDivFirst),
                  end ? "561 2 3 0 100000 250 1" : "7 0 0 1 1000 100 0");
    }
    // Each settings dialog hands its fields back with OK only.
    for (const int button : {1, 2}) {
        Open(Factor(METHOD_MPQS));
        ModalScript script({ExpectDialog<MpqsSettingsDlg>("MPQS", [button](MpqsSettingsDlg* d) {
            EXPECT_EQ(Ctl<QLineEdit>(d, IDC_MPQS_THREADS)->text(), "0");
            Ctl<QLineEdit>(d, IDC_MPQS_THREADS)->setText("3");
            Ctl<QAbstractButton>(d, button)->click();
        })});
        Click(IDC_SETTINGS_MPQS);
        EXPECT_TRUE(script.WaitDone());
        EXPECT_EQ(dlg->Settings().mpqsThreads, button == 1 ? 3 : 0);
    }
    for (const int button : {1, 2}) {
        Open(Factor(METHOD_PM1));
        ModalScript script({ExpectDialog<Pm1SettingsDlg>("p-1", [button](Pm1SettingsDlg* d) {
            Ctl<QLineEdit>(d, IDC_PM1_SMALL_EXPONENT)->setText("2");
            Ctl<QLineEdit>(d, IDC_PM1_BOUND)->setText("16777216");
            Ctl<QLineEdit>(d, IDC_PM1_LARGE_EXPONENT)->setText("4");
            Ctl<QAbstractButton>(d, button)->click();
        })});
        Click(IDC_SETTINGS_PM1);
        EXPECT_TRUE(script.WaitDone());
        const PrimeSettings& s = dlg->Settings();
        EXPECT_EQ(std::to_string(s.pm1SmallExponent) + " " + std::to_string(s.pm1Bound) + " " + std::to_string(s.pm1LargeExponent),
                  button == 1 ? "2 16777216 4" : "16 1048576 1");
    }
}

TEST_F(Console, MethodSettingsRangesOnOk) {
    const struct {
        int id;
        const char* typed;
        const char* refusal;  // nullptr: OK closes the dialog
    } rows[] = {
        {IDC_TD_BOUND, "65537", nullptr}, {IDC_TD_BOUND, "262139", nullptr}, {IDC_TD_BOUND, "262140", "65537 から 262139"},
        {IDC_TD_BOUND, "65536", "65537 から 262139"},
        {IDC_RHO_X0, "4294967295", nullptr}, {IDC_RHO_X0, "4294967296", "0 から 4294967295"}, {IDC_RHO_X0, "-1", "0 から 4294967295"},
        {IDC_RHO_EXPONENT, "256", nullptr}, {IDC_RHO_EXPONENT, "1", "2 から 256"}, {IDC_RHO_EXPONENT, "257", "2 から 256"},
        {IDC_RHO_ADDEND, "-2147483647", nullptr}, {IDC_RHO_ADDEND, "-2147483648", "-2147483647 から 2147483647"},
        {IDC_RHO_TRIALS, "2", nullptr}, {IDC_RHO_TRIALS, "100000", nullptr}, {IDC_RHO_TRIALS, "1", "2 から 100000"},
        {IDC_RHO_TRIALS, "100001", "2 から 100000"},
        {IDC_PM1_SMALL_EXPONENT, "16", nullptr}, {IDC_PM1_SMALL_EXPONENT, "17", "2 から 16"},
        {IDC_PM1_BOUND, "262144", nullptr}, {IDC_PM1_BOUND, "262143", "262144 から 16777216"},
        {IDC_PM1_BOUND, "16777217", "262144 から 16777216"}, {IDC_PM1_LARGE_EXPONENT, "0", "1 から 4"},
        {IDC_ECM_TRIALS, "10000", nullptr}, {IDC_ECM_TRIALS, "10001", "1 から 10000"},
        {IDC_MPQS_THREADS, "0", nullptr}, {IDC_MPQS_THREADS, "64", nullptr}, {IDC_MPQS_THREADS, "65", "0 から 64"},
        {IDC_MPQS_THREADS, "-1", "0 から 64"},
    };
    const std::vector<int> rhoIds = {IDC_RHO_X0, IDC_RHO_EXPONENT, IDC_RHO_ADDEND, IDC_RHO_TRIALS};
    for (const auto& r : rows) {
        std::unique_ptr<QDialog> d;
        if (r.id == IDC_TD_BOUND) d = std::make_unique<TrialDivSettingsDlg>();
        else if (std::count(rhoIds.begin(), rhoIds.end(), r.id)) d = std::make_unique<RhoSettingsDlg>();
        else if (r.id == IDC_ECM_TRIALS) d = std::make_unique<EcmSettingsDlg>();
        else if (r.id == IDC_MPQS_THREADS) d = std::make_unique<MpqsSettingsDlg>();
        else d = std::make_unique<Pm1SettingsDlg>();
        ShowActive(d.get());
        ModalScript script(r.refusal ? std::vector<ModalStep>{ExpectBox(std::string(r.refusal) + " までの整数を入力してください。")}
                                     : std::vector<ModalStep>{});
        TypeInto(Ctl<QLineEdit>(d.get(), r.id), r.typed);
        Ctl<QAbstractButton>(d.get(), 1)->click();
        EXPECT_TRUE(script.WaitDone()) << r.typed;
        EXPECT_EQ(d->isVisible(), r.refusal != nullptr) << r.id << " " << r.typed;
        if (r.refusal) {
            EXPECT_EQ(d->focusWidget(), Ctl(d.get(), r.id)) << r.typed;
        }
    }
    // The rho start value follows the text as typed (modulo 2^32); cancel keeps the fields.
    RhoSettingsDlg rho;
    ShowActive(&rho);
    for (const auto& [typed, value] : std::vector<std::pair<const char*, uint32_t>>{{"2147483653", 2147483653u}, {"  77", 77u}, {"12ab", 12u}, {"-1", 4294967295u}}) {
        Ctl<QLineEdit>(&rho, IDC_RHO_X0)->setText(typed);
        EXPECT_EQ(rho.rhoX0, value) << typed;
    }
    Ctl<QLineEdit>(&rho, IDC_RHO_TRIALS)->setText("999999");
    Ctl<QAbstractButton>(&rho, 2)->click();
    EXPECT_EQ(rho.rhoTrials, 10000);
    // The ECM bound: the radio shown for a stored value (unsigned comparisons) and the value OK stores.
    for (const auto& [stored, radio, after] : std::vector<std::tuple<int, int, int>>{
             {100, IDC_ECM_SMOOTH_100, 100}, {101, IDC_ECM_SMOOTH_1000, 1000}, {1001, IDC_ECM_SMOOTH_10000, 10000},
             {10001, IDC_ECM_SMOOTH_100000, 100000}, {-1, IDC_ECM_SMOOTH_100000, 100000}, {0, IDC_ECM_SMOOTH_100, 100}}) {
        EcmSettingsDlg ecm;
        ecm.ecmSmoothness = stored;
        ShowActive(&ecm);
        EXPECT_TRUE(Ctl<QRadioButton>(&ecm, radio)->isChecked()) << stored;
        Ctl<QAbstractButton>(&ecm, 1)->click();
        EXPECT_EQ(ecm.ecmSmoothness, after) << stored;
    }
}

}  // namespace
