// The shared dialog helpers (up-down control, data transfer with range
// checks) and the three tool dialogs, driven through Open as the main window
// runs them: golden dumps of their controls, live results while typing, the
// "連動" link, "終了" writing back, closing discarding, range refusals.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <functional>

#include "tests/support/box_recorder.h"
#include "tests/support/gmp.h"
#include "tests/support/qt_support.h"
#include "tools/lucas_dlg.h"
#include "tools/mersenne_fermat_dlg.h"
#include "tools/progression_dlg.h"

namespace {

using P = ProgressionDlg;
using L = LucasDlg;
using MF = MersenneFermatDlg;

std::string Range(const char* min, const char* max) {
    return std::string(min) + " から " + max + " までの整数を入力してください。";
}

TEST(DialogSupport, UpDownStepsAndReadingAndTheRangeCheck) {
    const struct {
        qint64 min, max;
        const char* before;
        int steps;
        const char* after;
    } steps[] = {
        {-3, 3, "3", 1, "3"}, {-3, 3, "-3", -1, "-3"},
        {-3, 3, "99", -1, "3"},   // typed beyond the range: stepped, then clamped
        {-3, 3, "-4", 3, "-1"}, {-3, 3, " 2xyz", -1, "1"},
        {0, 4294967295LL, "4294967294", 1, "4294967295"}, {0, 4294967295LL, "99999999999999999999", -1, "4294967295"},
        {-2147483647, 2147483647, "-9223372036854775808", -1, "-2147483647"},
    };
    for (const auto& r : steps) {
        QLineEdit edit;
        UpDownControl spin(&edit, r.min, r.max);
        edit.setText(r.before);
        spin.StepBy(r.steps);
        EXPECT_EQ(edit.text().toStdString(), r.after) << r.min << ".." << r.max << " from " << r.before << " by " << r.steps;
    }
    const struct {
        const char* text;
        qint64 min, max;
        bool ok;
    } parses[] = {
        {"  +5  ", 0, 10, true}, {"10", 0, 10, true}, {"11", 0, 10, false}, {"0", 1, 10, false},
        {"-10", -10, 10, true}, {"", 0, 10, false}, {"-", -10, 10, false},
        {"5x", 0, 10, false},  // trailing garbage refused, unlike the live reading
        {"5 5", 0, 100, false}, {"4294967295", 0, 4294967295LL, true}, {"4294967296", 0, 4294967295LL, false},
        {"-2147483648", -2147483647, 2147483647, false},
    };
    for (const auto& r : parses) {
        qint64 value = -99;
        EXPECT_EQ(DataExchange::ParseInteger(r.text, r.min, r.max, &value), r.ok) << '"' << r.text << "\" " << r.min << ".." << r.max;
    }
    // Arrows, keys and the wheel step; typed text is never clamped.
    QWidget window;
    auto* edit = new QLineEdit(&window);
    auto* spin = new UpDownControl(edit, 0, 10, &window);
    window.setLayout(BuddyRow(edit, spin));
    window.show();
    edit->setText("5");
    QTest::mouseClick(spin->UpButton(), Qt::LeftButton);
    QTest::keyClick(edit, Qt::Key_Up);
    QTest::mouseClick(spin->DownButton(), Qt::LeftButton);
    const QPointF at(2, 2);
    QWheelEvent wheel(at, edit->mapToGlobal(at), QPoint(), QPoint(0, -240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(edit, &wheel);
    EXPECT_EQ(edit->text(), "4");
    TypeInto(edit, "99");
    EXPECT_EQ(edit->text(), "99");
}

TEST(DialogSupport, RefusalShowsTheRangeFocusesTheFieldAndWritesNothing) {
    QDialog dialog;
    auto* signedEdit = new QLineEdit(&dialog);
    auto* unsignedEdit = new QLineEdit(&dialog);
    auto* check = new QCheckBox(&dialog);
    auto* radio0 = new QRadioButton(&dialog);
    auto* radio1 = new QRadioButton(&dialog);
    auto* layout = new QVBoxLayout(&dialog);
    for (QWidget* w : {static_cast<QWidget*>(signedEdit), static_cast<QWidget*>(unsignedEdit), static_cast<QWidget*>(check),
                       static_cast<QWidget*>(radio0), static_cast<QWidget*>(radio1)})
        layout->addWidget(w);
    int signedField = -7, checkField = 1, radioField = 1;
    uint32_t unsignedField = 4000000000u;
    DataExchange dx(&dialog);
    dx.AddInt(signedEdit, &signedField, -2147483647, 2147483647);
    dx.AddUInt(unsignedEdit, &unsignedField, 0, 4294967295u);
    dx.AddCheck(check, &checkField);
    dx.AddRadioGroup({radio0, radio1}, &radioField);
    ShowActive(&dialog);
    dx.ToControls();
    EXPECT_EQ(unsignedEdit->text(), "4000000000");
    EXPECT_TRUE(check->isChecked() && radio1->isChecked() && !radio0->isChecked());
    signedEdit->setText("12");
    unsignedEdit->setText("-1");
    check->setChecked(false);
    {
        ModalScript script({ExpectBox(Range("0", "4294967295"), {}, "Kalvora")});
        EXPECT_FALSE(dx.FromControls());
    }
    EXPECT_EQ(dialog.focusWidget(), unsignedEdit);
    EXPECT_EQ(unsignedEdit->selectedText(), "-1");
    EXPECT_EQ(signedField, -7) << "nothing is written, not even the valid fields";
    EXPECT_EQ(checkField, 1);
    unsignedEdit->setText(" 4294967295 ");
    radio0->setChecked(true);
    EXPECT_TRUE(dx.FromControls());
    EXPECT_EQ(signedField, 12);
    EXPECT_EQ(unsignedField, 4294967295u);
    EXPECT_EQ(checkField, 0);
    EXPECT_EQ(radioField, 0);
}

/// Runs Dlg::Open(inputs) and plays `script` on the dialog once it is up;
/// the boxes it expects follow in `boxes`. Returns the dialog's result.
template <class Dlg, class Inputs>
int RunOpen(Inputs& inputs, std::function<void(Dlg*)> script, std::vector<ModalStep> boxes = {}) {
    std::vector<ModalStep> steps{ExpectDialog<Dlg>("the dialog", [script](Dlg* d) {
        script(d);
        if (d->isVisible()) d->close();
    })};
    steps.insert(steps.end(), boxes.begin(), boxes.end());
    ModalScript modal(steps);
    const int result = Dlg::Open(inputs);
    EXPECT_TRUE(modal.WaitDone());
    return result;
}

std::string Result(QWidget* d, int id) { return Ctl<QPlainTextEdit>(d, id)->toPlainText().toStdString(); }
void Type(QWidget* d, int id, const char* text) { TypeInto(Ctl<QLineEdit>(d, id), QString::fromUtf8(text)); }
void End(QWidget* d) { Ctl<QPushButton>(d, ToolDialog::ID_OK)->click(); }

TEST(ToolDialogs, GoldenDumpsAtOpening) {
    ProgressionInputs progression;
    RunOpen<P>(progression, [](P* d) { EXPECT_TRUE(MatchesGolden("progression_dialog", DumpWidgets(d))); });
    LucasInputs lucas;
    RunOpen<L>(lucas, [](L* d) { EXPECT_TRUE(MatchesGolden("lucas_dialog", DumpWidgets(d))); });
    MersenneFermatInputs mf;
    RunOpen<MF>(mf, [](MF* d) { EXPECT_TRUE(MatchesGolden("mersenne_fermat_dialog", DumpWidgets(d))); });
}

TEST(ToolDialogs, ProgressionFollowsTheTypingAndTheLink) {
    const struct {
        int id;
        const char* text;
        const char *a1, *a2, *g1, *g2;
    } steps[] = {
        {P::IDC_FIRST, "3", "3", "3", "3", "3"},
        {P::IDC_DIFFERENCE, "2", "3", "3", "3", "3"},
        {P::IDC_ARITH_TERM_N, "5", "11", "3", "3", "3"},
        {P::IDC_GEOM_SUM_N, "5", "11", "3", "3", "93"},
        {P::IDC_DIFFERENCE, "-1", "-1", "3", "3", "3"},   // d = -1, n odd: a
        {P::IDC_FIRST, " 7x", "3", "7", "7", "7"},        // read up to the first non-digit
        {P::IDC_DIFFERENCE, "32767", "131075", "7", "7", "8069711690498375687"},
        {P::IDC_GEOM_SUM_N, "108", "131075", "7", "7", "値が大きすぎます"},  // 32767^108 > 2^1616
        {P::IDC_ARITH_TERM_N, "", "-32760", "7", "7", "値が大きすぎます"},   // empty reads as 0
    };
    ProgressionInputs inputs;
    RunOpen<P>(inputs, [&](P* d) {
        for (const auto& s : steps) {
            Type(d, s.id, s.text);
            EXPECT_EQ(Result(d, P::IDC_ARITH_TERM) + " " + Result(d, P::IDC_ARITH_SUM) + " " + Result(d, P::IDC_GEOM_TERM) + " " +
                          Result(d, P::IDC_GEOM_SUM),
                      std::string(s.a1) + " " + s.a2 + " " + s.g1 + " " + s.g2)
                << "typed \"" << s.text << "\" into " << s.id;
        }
    });
    // With "連動" a typed term number goes to the other three, in the documented order.
    const std::pair<int, std::vector<int>> links[] = {
        {P::IDC_ARITH_TERM_N, {P::IDC_GEOM_TERM_N, P::IDC_ARITH_SUM_N, P::IDC_GEOM_SUM_N}},
        {P::IDC_GEOM_TERM_N, {P::IDC_ARITH_TERM_N, P::IDC_ARITH_SUM_N, P::IDC_GEOM_SUM_N}},
        {P::IDC_ARITH_SUM_N, {P::IDC_ARITH_TERM_N, P::IDC_GEOM_TERM_N, P::IDC_GEOM_SUM_N}},
        {P::IDC_GEOM_SUM_N, {P::IDC_ARITH_TERM_N, P::IDC_ARITH_SUM_N, P::IDC_GEOM_TERM_N}},
    };
    for (const auto& [changed, order] : links) {
        ProgressionInputs linked;
        linked.first = 3, linked.difference = 2, linked.linked = 1;
        RunOpen<P>(linked, [&](P* d) {
            std::vector<int> written;
            for (int id : order) QObject::connect(Ctl<QLineEdit>(d, id), &QLineEdit::textChanged, d, [&written, id] { written.push_back(id); });
            Type(d, changed, "7");
            EXPECT_EQ(written, order) << changed;
            EXPECT_EQ(Result(d, P::IDC_GEOM_SUM), "381");
            End(d);
        });
        EXPECT_EQ(linked.arithTerm + linked.geomTerm + linked.arithSum + linked.geomSum, 28) << changed;
    }
}

TEST(ToolDialogs, ProgressionEndWritesBackRefusesOutOfRangeAndClosingDiscards) {
    ProgressionInputs inputs;
    int result = RunOpen<P>(
        inputs,
        [](P* d) {
            Type(d, P::IDC_ARITH_TERM_N, "0");
            EXPECT_EQ(Result(d, P::IDC_ARITH_TERM), "0") << "used as typed while live";
            End(d);
            EXPECT_EQ(d->focusWidget(), Ctl(d, P::IDC_ARITH_TERM_N));
            Type(d, P::IDC_ARITH_TERM_N, "32767");
            Type(d, P::IDC_DIFFERENCE, "-32769");
            End(d);
            Type(d, P::IDC_DIFFERENCE, "-32768");
            Type(d, P::IDC_GEOM_SUM_N, "32768");
            End(d);
            Type(d, P::IDC_GEOM_SUM_N, "32767");
            Type(d, P::IDC_FIRST, "-32768");
            QTest::keyClick(Ctl<QLineEdit>(d, P::IDC_FIRST), Qt::Key_Down);  // the arrows stop at -32768
            QTest::keyClick(Ctl<QLineEdit>(d, P::IDC_FIRST), Qt::Key_Up);
            Ctl<QCheckBox>(d, P::IDC_LINK)->click();
            End(d);
            EXPECT_FALSE(d->isVisible());
        },
        {ExpectBox(Range("1", "32767")), ExpectBox(Range("-32768", "32767")), ExpectBox(Range("1", "32767"))});
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(std::vector<int>({inputs.first, inputs.difference, inputs.arithTerm, inputs.geomSum, inputs.linked}),
              std::vector<int>({-32767, -32768, 32767, 32767, 1}));
    result = RunOpen<P>(inputs, [](P* d) {
        EXPECT_EQ(Result(d, P::IDC_ARITH_TERM), "-1073709055");  // -32767 - 32768 * 32766
        Type(d, P::IDC_FIRST, "9");
        QTest::keyClick(d, Qt::Key_Escape);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(inputs.first, -32767) << "Esc discards";
    // A negative term number typed while live leaves a remainder: the developer notice.
    inputs.difference = 3;
    RunOpen<P>(inputs, [](P* d) { Type(d, P::IDC_GEOM_SUM_N, "-1"); },
               {ExpectBox("開発者にご連絡下さい(in GeometricSum)"), ExpectBox("32767"), ExpectBox("2")});
}

TEST(ToolDialogs, LucasAndMersenneFermat) {
    LucasInputs lucas;
    int result = RunOpen<L>(
        lucas,
        [](L* d) {
            EXPECT_EQ(Result(d, L::IDC_TERM), "1");
            Type(d, L::IDC_N, "10");
            EXPECT_EQ(Result(d, L::IDC_TERM), "55");
            Type(d, L::IDC_F0, "2");
            EXPECT_EQ(Result(d, L::IDC_TERM), "123");  // the Lucas numbers
            Type(d, L::IDC_N, "4294967295");            // typed while live: answered at once
            EXPECT_EQ(Result(d, L::IDC_TERM), "値が大きすぎます");
            Type(d, L::IDC_N, "513");
            End(d);
            Type(d, L::IDC_N, "512");
            Type(d, L::IDC_A, "33");
            End(d);
            Type(d, L::IDC_A, "32");
            End(d);
        },
        {ExpectBox(Range("0", "512")), ExpectBox(Range("0", "32"))});
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(std::vector<unsigned>({lucas.a, lucas.b, lucas.f0, lucas.f1, lucas.n}), std::vector<unsigned>({32, 1, 2, 1, 512}));
    result = RunOpen<L>(lucas, [](L* d) { Type(d, L::IDC_N, "3"); });
    EXPECT_EQ(lucas.n, 512u) << "closing discards";

    MersenneFermatInputs mf;
    gmp::Mpz m = gmp::Pow2(1000);
    mpz_sub_ui(m, m, 1);
    result = RunOpen<MF>(
        mf,
        [&](MF* d) {
            Type(d, MF::IDC_MERSENNE_K, "1000");
            Type(d, MF::IDC_FERMAT_K, "5");
            EXPECT_EQ(Result(d, MF::IDC_MERSENNE), gmp::Text(m).substr(0, ToolDialog::RESULT_MAX_CHARS));
            EXPECT_EQ(Result(d, MF::IDC_FERMAT), "4294967297");
            Type(d, MF::IDC_FERMAT_K, "32");
            EXPECT_EQ(Result(d, MF::IDC_FERMAT), "値が大きすぎます");
            End(d);
            Type(d, MF::IDC_MERSENNE_K, "800");
            End(d);
            Type(d, MF::IDC_FERMAT_K, "9");
            End(d);
        },
        {ExpectBox(Range("0", "800")), ExpectBox(Range("0", "9"))});
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(mf.mersenneExponent, 800u);
    EXPECT_EQ(mf.fermatIndex, 9u);
}

}  // namespace
