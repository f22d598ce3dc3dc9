// The four settings dialogs of the factoring methods: texts, the ranges that
// OK refuses, the up-down limits, the ECM smoothness mapping and cancel.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>
#include <climits>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "console/method_settings_dlg.h"
#include "tests/gui_console/console_test_support.h"
#include "tests/gui_console/modal_script.h"

namespace {

enum class Kind { TRIAL_DIV, RHO, PM1, ECM };

std::unique_ptr<MethodSettingsDlg> Make(Kind kind) {
    switch (kind) {
    case Kind::TRIAL_DIV: return std::make_unique<TrialDivSettingsDlg>();
    case Kind::RHO: return std::make_unique<RhoSettingsDlg>();
    case Kind::PM1: return std::make_unique<Pm1SettingsDlg>();
    case Kind::ECM: return std::make_unique<EcmSettingsDlg>();
    }
    return nullptr;
}

/// Every text the dialog shows: labels ("\r" shown as a line break), buttons, group titles.
std::set<std::string> Texts(QWidget* dlg) {
    std::set<std::string> texts;
    for (const QLabel* l : dlg->findChildren<QLabel*>()) texts.insert(l->text().toStdString());
    for (const QAbstractButton* b : dlg->findChildren<QAbstractButton*>()) texts.insert(b->text().toStdString());
    for (const QGroupBox* g : dlg->findChildren<QGroupBox*>()) texts.insert(g->title().toStdString());
    return texts;
}

std::string OnScreen(std::string s) {
    for (char& c : s) {
        if (c == '\r') c = '\n';
    }
    return s;
}

TEST(MethodSettingsDlgTest, CaptionsAndTexts) {
    struct Row {
        Kind kind;
        const char* caption;
        std::vector<std::string> texts;
    };
    const Row rows[] = {
        {Kind::TRIAL_DIV,
         "Brute Force除算の設定",
         {"2 ～", "までの素数で試し割りします。", "( 65537 ～ 262139 )",
          "※入力した数が素数でない場合は\r   手前の素数までになります。", "OK", "ｷｬﾝｾﾙ"}},
        {Kind::RHO,
         "ρ法の設定",
         {"式の設定", "a :", "b :", "c :", "( 0～4294967295 )", "( 2～256 )", "( -2147483647\r  ～2147483647 )",
          "※ X[0] = a  ,  X[i+1] = X[i]^b + c\r    をもとに計算します。", "試行回数 :", "回  ( 2～100000 )", "OK",
          "ｷｬﾝｾﾙ"}},
        {Kind::PM1,
         "P-1法の設定",
         {"262144未満の素数を", "乗してかけていき、", "までの素数を", "乗してかける。", "( 2～16 )",
          "( 262144～16777216 )", "( 1～4 )", "※(その数)-1とターゲットとのGCDをとり素因数を求める。", "OK", "ｷｬﾝｾﾙ"}},
        {Kind::ECM,
         "楕円曲線法(ECM)の設定",
         {"Mの値", "10^2 スムーズ", "10^3 スムーズ", "10^4 スムーズ", "10^5 スムーズ", "試行回数", "回",
          "( 1 ～ 10000 )", "※楕円曲線 y^2 = x^3 + ax + b を用いて素因数を探します。",
          "(1) a , b , 初期点P(x,y)をランダムに決めます。", "(2) PをM倍します。", "OK", "ｷｬﾝｾﾙ"}},
    };
    for (const Row& r : rows) {
        auto dlg = Make(r.kind);
        EXPECT_EQ(dlg->windowTitle().toStdString(), r.caption);
        const auto texts = Texts(dlg.get());
        for (const std::string& t : r.texts) EXPECT_TRUE(texts.count(OnScreen(t))) << r.caption << ": missing " << t;
        EXPECT_NE(FindControl(dlg.get(), 1), nullptr);
        EXPECT_NE(FindControl(dlg.get(), 2), nullptr);
    }
}

/// Reads the dialog's field that a row checks.
using Field = std::function<long long(MethodSettingsDlg*)>;

Field TrialDivBound() {
    return [](MethodSettingsDlg* d) { return static_cast<TrialDivSettingsDlg*>(d)->trialDivBound; };
}
Field RhoX0() {
    return [](MethodSettingsDlg* d) { return static_cast<long long>(static_cast<RhoSettingsDlg*>(d)->rhoX0); };
}
Field RhoExponent() {
    return [](MethodSettingsDlg* d) { return static_cast<RhoSettingsDlg*>(d)->rhoExponent; };
}
Field RhoAddend() {
    return [](MethodSettingsDlg* d) { return static_cast<RhoSettingsDlg*>(d)->rhoAddend; };
}
Field RhoTrials() {
    return [](MethodSettingsDlg* d) { return static_cast<RhoSettingsDlg*>(d)->rhoTrials; };
}
Field Pm1Small() {
    return [](MethodSettingsDlg* d) { return static_cast<Pm1SettingsDlg*>(d)->pm1SmallExponent; };
}
Field Pm1Bound() {
    return [](MethodSettingsDlg* d) { return static_cast<Pm1SettingsDlg*>(d)->pm1Bound; };
}
Field Pm1Large() {
    return [](MethodSettingsDlg* d) { return static_cast<Pm1SettingsDlg*>(d)->pm1LargeExponent; };
}
Field EcmTrials() {
    return [](MethodSettingsDlg* d) { return static_cast<EcmSettingsDlg*>(d)->ecmTrials; };
}

TEST(MethodSettingsDlgTest, OkAcceptsTheRangeAndRefusesTheRest) {
    struct Row {
        Kind kind;
        int id;
        const char* typed;
        Field field;
        long long start;     // the field's start value (kept on refusal)
        long long expected;  // the field after OK; the start value after a refusal
        const char* message; // nullptr when OK closes the dialog
    };
    const char* const TD = "65537 から 262139 までの整数を入力してください。";
    const char* const X0 = "0 から 4294967295 までの整数を入力してください。";
    const char* const EXP = "2 から 256 までの整数を入力してください。";
    const char* const ADD = "-2147483647 から 2147483647 までの整数を入力してください。";
    const char* const RT = "2 から 100000 までの整数を入力してください。";
    const char* const PS = "2 から 16 までの整数を入力してください。";
    const char* const PB = "262144 から 16777216 までの整数を入力してください。";
    const char* const PL = "1 から 4 までの整数を入力してください。";
    const char* const ET = "1 から 10000 までの整数を入力してください。";
    const Row rows[] = {
        {Kind::TRIAL_DIV, IDC_TD_BOUND, "65537", TrialDivBound(), 65537, 65537, nullptr},
        {Kind::TRIAL_DIV, IDC_TD_BOUND, "262139", TrialDivBound(), 65537, 262139, nullptr},
        {Kind::TRIAL_DIV, IDC_TD_BOUND, "262140", TrialDivBound(), 65537, 65537, TD},
        {Kind::TRIAL_DIV, IDC_TD_BOUND, "65536", TrialDivBound(), 65537, 65537, TD},
        {Kind::TRIAL_DIV, IDC_TD_BOUND, "7x", TrialDivBound(), 65537, 65537, TD},
        {Kind::RHO, IDC_RHO_X0, "0", RhoX0(), 2, 0, nullptr},
        {Kind::RHO, IDC_RHO_X0, "4294967295", RhoX0(), 2, 4294967295LL, nullptr},
        // Refused by OK, but typing already stored the text's value (modulo 2^32).
        {Kind::RHO, IDC_RHO_X0, "4294967296", RhoX0(), 2, 0, X0},
        {Kind::RHO, IDC_RHO_X0, "-1", RhoX0(), 2, 4294967295LL, X0},
        {Kind::RHO, IDC_RHO_X0, "12a", RhoX0(), 2, 12, X0},
        {Kind::RHO, IDC_RHO_EXPONENT, "1", RhoExponent(), 2, 2, EXP},
        {Kind::RHO, IDC_RHO_EXPONENT, "256", RhoExponent(), 2, 256, nullptr},
        {Kind::RHO, IDC_RHO_EXPONENT, "257", RhoExponent(), 2, 2, EXP},
        {Kind::RHO, IDC_RHO_ADDEND, "-2147483647", RhoAddend(), 1, -2147483647LL, nullptr},
        {Kind::RHO, IDC_RHO_ADDEND, "-2147483648", RhoAddend(), 1, 1, ADD},
        {Kind::RHO, IDC_RHO_ADDEND, "2147483647", RhoAddend(), 1, 2147483647LL, nullptr},
        {Kind::RHO, IDC_RHO_ADDEND, "2147483648", RhoAddend(), 1, 1, ADD},
        {Kind::RHO, IDC_RHO_TRIALS, "1", RhoTrials(), 10000, 10000, RT},
        {Kind::RHO, IDC_RHO_TRIALS, "2", RhoTrials(), 10000, 2, nullptr},
        {Kind::RHO, IDC_RHO_TRIALS, "100000", RhoTrials(), 10000, 100000, nullptr},
        {Kind::RHO, IDC_RHO_TRIALS, "100001", RhoTrials(), 10000, 10000, RT},
        {Kind::PM1, IDC_PM1_SMALL_EXPONENT, "1", Pm1Small(), 16, 16, PS},
        {Kind::PM1, IDC_PM1_SMALL_EXPONENT, "2", Pm1Small(), 16, 2, nullptr},
        {Kind::PM1, IDC_PM1_SMALL_EXPONENT, "17", Pm1Small(), 16, 16, PS},
        {Kind::PM1, IDC_PM1_BOUND, "262143", Pm1Bound(), 1048576, 1048576, PB},
        {Kind::PM1, IDC_PM1_BOUND, "262144", Pm1Bound(), 1048576, 262144, nullptr},
        {Kind::PM1, IDC_PM1_BOUND, "16777216", Pm1Bound(), 1048576, 16777216, nullptr},
        {Kind::PM1, IDC_PM1_BOUND, "16777217", Pm1Bound(), 1048576, 1048576, PB},
        {Kind::PM1, IDC_PM1_LARGE_EXPONENT, "0", Pm1Large(), 1, 1, PL},
        {Kind::PM1, IDC_PM1_LARGE_EXPONENT, "4", Pm1Large(), 1, 4, nullptr},
        {Kind::PM1, IDC_PM1_LARGE_EXPONENT, "5", Pm1Large(), 1, 1, PL},
        {Kind::ECM, IDC_ECM_TRIALS, "0", EcmTrials(), 100, 100, ET},
        {Kind::ECM, IDC_ECM_TRIALS, "1", EcmTrials(), 100, 1, nullptr},
        {Kind::ECM, IDC_ECM_TRIALS, "10000", EcmTrials(), 100, 10000, nullptr},
        {Kind::ECM, IDC_ECM_TRIALS, "10001", EcmTrials(), 100, 100, ET},
    };
    for (const Row& r : rows) {
        auto dlg = Make(r.kind);
        ShowActive(dlg.get());
        auto* edit = Ctl<QLineEdit>(dlg.get(), r.id);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(r.field(dlg.get()), r.start) << "start value of " << r.id;
        EXPECT_EQ(edit->text().toLongLong(), r.start) << "the field is shown on opening: " << r.id;
        std::vector<ModalStep> steps;
        if (r.message) steps.push_back(ExpectBox(r.message));
        ModalScript script(steps);
        TypeInto(edit, QString::fromLatin1(r.typed));
        Ctl<QAbstractButton>(dlg.get(), 1)->click();
        script.WaitDone();
        EXPECT_TRUE(script.Done()) << r.typed;
        for (const std::string& u : script.Unexpected()) ADD_FAILURE() << u << " (typed " << r.typed << ")";
        EXPECT_EQ(r.field(dlg.get()), r.expected) << "id " << r.id << " typed " << r.typed;
        if (r.message) {
            EXPECT_TRUE(dlg->isVisible()) << "refused, the dialog stays open: " << r.typed;
            EXPECT_EQ(dlg->focusWidget(), edit) << "focus on the refused field: " << r.typed;
        } else {
            EXPECT_FALSE(dlg->isVisible()) << r.typed;
            EXPECT_EQ(dlg->result(), QDialog::Accepted) << r.typed;
        }
    }
}

TEST(MethodSettingsDlgTest, RhoStartValueFollowsTheTypedText) {
    RhoSettingsDlg dlg;
    ShowActive(&dlg);
    auto* x0 = Ctl<QLineEdit>(&dlg, IDC_RHO_X0);
    struct Row {
        const char* typed;
        uint32_t rhoX0;
    };
    const Row rows[] = {{"123", 123u}, {"4294967295", 4294967295u}, {"2147483653", 2147483653u},
                        {"  77", 77u}, {"12ab", 12u},               {"", 0u}};
    for (const Row& r : rows) {
        x0->setText(QString::fromLatin1(r.typed));
        EXPECT_EQ(dlg.rhoX0, r.rhoX0) << r.typed;
    }
}

TEST(MethodSettingsDlgTest, CancelKeepsTheFields) {
    RhoSettingsDlg dlg;
    ShowActive(&dlg);
    Ctl<QLineEdit>(&dlg, IDC_RHO_EXPONENT)->setText(QStringLiteral("9"));
    Ctl<QLineEdit>(&dlg, IDC_RHO_TRIALS)->setText(QStringLiteral("999999"));  // out of range: no message on cancel
    ModalScript script({});
    Ctl<QAbstractButton>(&dlg, 2)->click();
    EXPECT_TRUE(script.Unexpected().empty());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.rhoExponent, 2);
    EXPECT_EQ(dlg.rhoTrials, 10000);
}

TEST(MethodSettingsDlgTest, UpDownControlsStopAtTheirLimits) {
    struct Row {
        Kind kind;
        int edit;
        int spin;
        const char* start;
        int steps;  // positive: up
        const char* after;
    };
    const Row rows[] = {
        {Kind::PM1, IDC_PM1_SMALL_EXPONENT, IDC_PM1_SMALL_EXPONENT_SPIN, "15", 3, "16"},
        {Kind::PM1, IDC_PM1_SMALL_EXPONENT, IDC_PM1_SMALL_EXPONENT_SPIN, "3", -3, "2"},
        {Kind::PM1, IDC_PM1_LARGE_EXPONENT, IDC_PM1_LARGE_EXPONENT_SPIN, "3", 2, "4"},
        {Kind::PM1, IDC_PM1_LARGE_EXPONENT, IDC_PM1_LARGE_EXPONENT_SPIN, "2", -2, "1"},
        {Kind::ECM, IDC_ECM_TRIALS, IDC_ECM_TRIALS_SPIN, "9999", 2, "10000"},
        {Kind::ECM, IDC_ECM_TRIALS, IDC_ECM_TRIALS_SPIN, "2", -2, "1"},
    };
    for (const Row& r : rows) {
        auto dlg = Make(r.kind);
        ShowActive(dlg.get());
        auto* edit = Ctl<QLineEdit>(dlg.get(), r.edit);
        auto* spin = Ctl<UpDownControl>(dlg.get(), r.spin);
        ASSERT_NE(spin, nullptr);
        edit->setText(QString::fromLatin1(r.start));
        for (int i = 0; i < std::abs(r.steps); ++i) (r.steps > 0 ? spin->UpButton() : spin->DownButton())->click();
        EXPECT_EQ(edit->text().toStdString(), r.after) << "spin " << r.spin << " from " << r.start;
    }
}

TEST(MethodSettingsDlgTest, EcmSmoothnessMapsToItsRadioAndBack) {
    struct ToIndex {
        int smoothness;
        int index;
    };
    const ToIndex toIndex[] = {{0, 0},         {1, 0},         {100, 0},  {101, 1},     {1000, 1},
                               {1001, 2},      {10000, 2},     {10001, 3}, {100000, 3}, {INT_MAX, 3},
                               // unsigned comparisons: negative values are huge
                               {-1, 3},        {INT_MIN, 3}};
    for (const ToIndex& r : toIndex) EXPECT_EQ(EcmSettingsDlg::SmoothnessToIndex(r.smoothness), r.index) << r.smoothness;
    struct ToSmoothness {
        int index;
        int smoothness;
    };
    const ToSmoothness toSmoothness[] = {{0, 100}, {1, 1000}, {2, 10000}, {3, 100000}, {-1, 100000}, {4, 100000}};
    for (const ToSmoothness& r : toSmoothness) {
        EXPECT_EQ(EcmSettingsDlg::IndexToSmoothness(r.index), r.smoothness) << r.index;
    }
}

TEST(MethodSettingsDlgTest, EcmRadiosOnOpeningAndOk) {
    struct Row {
        int opening;  // ecmSmoothness when opened
        int checked;  // radio checked on opening
        int click;    // radio the user picks (0: none)
        bool ok;
        int stored;   // ecmSmoothness afterwards
    };
    const Row rows[] = {
        {1000, IDC_ECM_SMOOTH_1000, IDC_ECM_SMOOTH_100000, true, 100000},
        {1000, IDC_ECM_SMOOTH_1000, IDC_ECM_SMOOTH_100000, false, 1000},
        {100, IDC_ECM_SMOOTH_100, IDC_ECM_SMOOTH_10000, true, 10000},
        {100000, IDC_ECM_SMOOTH_100000, IDC_ECM_SMOOTH_100, true, 100},
        {5000, IDC_ECM_SMOOTH_10000, 0, true, 10000},  // an odd value is normalised by OK
        {50, IDC_ECM_SMOOTH_100, 0, true, 100},
    };
    for (const Row& r : rows) {
        EcmSettingsDlg dlg;
        dlg.ecmSmoothness = r.opening;
        ShowActive(&dlg);
        for (int id = IDC_ECM_SMOOTH_100; id <= IDC_ECM_SMOOTH_100000; ++id) {
            EXPECT_EQ(Ctl<QRadioButton>(&dlg, id)->isChecked(), id == r.checked) << r.opening << " radio " << id;
        }
        if (r.click) Ctl<QAbstractButton>(&dlg, r.click)->click();
        Ctl<QAbstractButton>(&dlg, r.ok ? 1 : 2)->click();
        EXPECT_EQ(dlg.ecmSmoothness, r.stored) << r.opening;
    }
}

}  // namespace
