// The three tool dialogs, driven through Open as the main window runs them:
// live results while typing, the "連動" link with its order and counts, the
// initialisation rule, "終了" writing back, closing discarding, and range
// refusal on "終了".
#include <gmp.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "box_answerer.h"
#include "widgets/dialog_support.h"
#include "tools/lucas_dlg.h"
#include "tools/mersenne_fermat_dlg.h"
#include "tools/progression_dlg.h"

namespace {

const QString TOO_LARGE = QStringLiteral("値が大きすぎます");

// Runs Dlg::Open(inputs) and plays `script` on the dialog once it is modal.
// A dialog the script leaves open is closed with the window's close box.
template <class Dlg, class Inputs>
int RunOpen(Inputs& inputs, const std::function<void(Dlg&)>& script) {
    bool ran = false;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dlg = qobject_cast<Dlg*>(QApplication::activeModalWidget());
        if (dlg == nullptr || ran) return;
        ran = true;
        poll.stop();
        script(*dlg);
        if (dlg->isVisible()) dlg->close();
    });
    poll.start();
    const int result = Dlg::Open(inputs);
    EXPECT_TRUE(ran) << "the dialog never became modal";
    return result;
}

QLineEdit* Edit(QWidget& dlg, int id) {
    QLineEdit* e = FindControlAs<QLineEdit>(&dlg, id);
    EXPECT_NE(e, nullptr) << "edit " << id;
    return e;
}

QString Result(QWidget& dlg, int id) {
    QPlainTextEdit* e = FindControlAs<QPlainTextEdit>(&dlg, id);
    EXPECT_NE(e, nullptr) << "result " << id;
    return e ? e->toPlainText() : QString();
}

// Replaces the field's text by typing, one key at a time, as a user does.
void Type(QWidget& dlg, int id, const char* text) {
    QLineEdit* e = Edit(dlg, id);
    e->selectAll();
    if (*text == '\0') QTest::keyClick(e, Qt::Key_Backspace);
    QTest::keyClicks(e, QString::fromUtf8(text));
}

void PressEnd(QWidget& dlg) {
    FindControlAs<QPushButton>(&dlg, ToolDialog::ID_OK)->click();
}

std::set<QString> LabelTexts(QWidget& dlg) {
    std::set<QString> texts;
    for (QLabel* l : dlg.findChildren<QLabel*>()) texts.insert(l->text());
    return texts;
}

std::string MpzText(const mpz_t v) {
    std::string s(mpz_sizeinbase(v, 10) + 2, '\0');
    mpz_get_str(s.data(), 10, v);
    s.resize(std::strlen(s.c_str()));
    return s;
}

std::string GmpText(void (*fn)(mpz_ptr, unsigned long), unsigned long n) {
    mpz_t v;
    mpz_init(v);
    fn(v, n);
    const std::string s = MpzText(v);
    mpz_clear(v);
    return s;
}

// Every widget of the dialog carries an id: its documented one, or -1 for a
// static text.
void CheckEveryControlHasAnId(QWidget& dlg) {
    for (QWidget* w : dlg.findChildren<QWidget*>()) {
        const bool control = qobject_cast<QLabel*>(w) || qobject_cast<QLineEdit*>(w) ||
                             qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QAbstractButton*>(w) ||
                             qobject_cast<UpDownControl*>(w);
        if (!control || qobject_cast<UpDownControl*>(w->parentWidget())) continue;  // the arrows belong to their control
        if (w->parentWidget() && w->parentWidget()->inherits("QAbstractScrollArea")) continue;
        EXPECT_TRUE(w->property("id").isValid()) << w->metaObject()->className();
        if (qobject_cast<QLabel*>(w)) {
            EXPECT_EQ(ControlId(w), -1) << qobject_cast<QLabel*>(w)->text().toStdString();
        }
    }
}

void CheckFrame(QWidget& dlg, const char* caption, const char* cancelText) {
    EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8(caption));
    auto* ok = FindControlAs<QPushButton>(&dlg, ToolDialog::ID_OK);
    auto* cancel = FindControlAs<QPushButton>(&dlg, ToolDialog::ID_CANCEL);
    ASSERT_NE(ok, nullptr);
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("終了"));
    EXPECT_TRUE(ok->isVisible());
    EXPECT_EQ(cancel->text(), QString::fromUtf8(cancelText));
    EXPECT_FALSE(cancel->isVisible());
}

// --- Progression ----------------------------------------------------------------

using P = ProgressionDlg;

TEST(ProgressionDlg, OpensWithTheStartValuesShowingOneEverywhere) {
    ProgressionInputs inputs;
    BoxAnswerer answerer;
    RunOpen<P>(inputs, [](P& dlg) {
        CheckFrame(dlg, "等差・等比 数列", "ｷｬﾝｾﾙ");
        CheckEveryControlHasAnId(dlg);
        for (int id : {P::IDC_FIRST, P::IDC_DIFFERENCE, P::IDC_ARITH_TERM_N, P::IDC_GEOM_TERM_N,
                       P::IDC_ARITH_SUM_N, P::IDC_GEOM_SUM_N}) {
            EXPECT_EQ(Edit(dlg, id)->text(), "1") << id;
        }
        for (int id : {P::IDC_ARITH_TERM, P::IDC_ARITH_SUM, P::IDC_GEOM_TERM, P::IDC_GEOM_SUM}) {
            EXPECT_EQ(Result(dlg, id), "1") << id;
            EXPECT_TRUE(FindControlAs<QPlainTextEdit>(&dlg, id)->isReadOnly());
        }
        EXPECT_FALSE(FindControlAs<QCheckBox>(&dlg, P::IDC_LINK)->isChecked());
        EXPECT_EQ(FindControlAs<QCheckBox>(&dlg, P::IDC_LINK)->text(), QStringLiteral("連動"));
        // Each quantity computed exactly once by the initialisation, none by
        // the change notifications of the transfer into the edits.
        for (int q = 0; q < P::QUANTITY_COUNT; ++q) EXPECT_EQ(dlg.RecomputeCount(P::Quantity(q)), 1) << q;
        const std::set<QString> labels = LabelTexts(dlg);
        for (const char* text : {"初項", "、項差(比)", "等差数列の、第", "等比数列の、第", "項 =", "項までの和 ="}) {
            EXPECT_TRUE(labels.count(QString::fromUtf8(text))) << text;
        }
        for (auto [spin, edit] : std::map<int, int>{{1082, 1080}, {1083, 1081}, {1085, 1084},
                                                    {1087, 1086}, {1089, 1088}, {1095, 1094}}) {
            auto* s = FindControlAs<UpDownControl>(&dlg, spin);
            ASSERT_NE(s, nullptr) << spin;
            EXPECT_EQ(s->Buddy(), Edit(dlg, edit));
        }
    });
    EXPECT_TRUE(answerer.boxes.empty());
}

TEST(ProgressionDlg, NothingIsComputedBeforeInitialisation) {
    ProgressionDlg dlg;
    dlg.m_inputs.first = 3;
    Edit(dlg, P::IDC_FIRST)->setText("9");
    Edit(dlg, P::IDC_GEOM_TERM_N)->setText("4");
    EXPECT_EQ(dlg.Initialised(), 0);
    for (int q = 0; q < P::QUANTITY_COUNT; ++q) EXPECT_EQ(dlg.RecomputeCount(P::Quantity(q)), 0);
    EXPECT_EQ(Result(dlg, P::IDC_GEOM_TERM), "");
    EXPECT_EQ(dlg.m_inputs.first, 3);  // the edit's change was not read
    dlg.show();
    EXPECT_EQ(dlg.Initialised(), 1);
    EXPECT_EQ(Edit(dlg, P::IDC_FIRST)->text(), "3");  // the fields went into the edits
    EXPECT_EQ(Result(dlg, P::IDC_GEOM_TERM), "3");
    dlg.close();
}

struct ProgressionTyping {
    int id;
    const char* text;
    const char* arithTerm;
    const char* arithSum;
    const char* geomTerm;
    const char* geomSum;
};

// 7 (32767^107 - 1) / 32766, by Python.
const char* const SUM_107 =
    "302969908150057287425679008209686997397978216643927762251705424776314499685194790564306528"
    "995125076267405707888818720684715667346784051770605851198293663367616949713098441802124342"
    "949734220044159947811466794887327748349927181653543787838464670753087468130756391270570970"
    "455633640047420417351423632236732493282172247533070781523443530376278558949131363029706876"
    "485308332581045899018616741989581208636124016862555173691340910520759293942799187329249552"
    "804476435922080848110502182919";

TEST(ProgressionDlg, ResultsFollowTheTypingLive) {
    const ProgressionTyping steps[] = {
        {P::IDC_FIRST, "3", "3", "3", "3", "3"},
        {P::IDC_DIFFERENCE, "2", "3", "3", "3", "3"},
        {P::IDC_ARITH_TERM_N, "5", "11", "3", "3", "3"},
        {P::IDC_ARITH_SUM_N, "5", "11", "35", "3", "3"},
        {P::IDC_GEOM_TERM_N, "5", "11", "35", "48", "3"},
        {P::IDC_GEOM_SUM_N, "5", "11", "35", "48", "93"},
        {P::IDC_DIFFERENCE, "-1", "-1", "5", "3", "3"},   // d = -1, n4 odd: a
        {P::IDC_GEOM_SUM_N, "4", "-1", "5", "3", "0"},    //          n4 even: 0
        {P::IDC_DIFFERENCE, "0", "3", "15", "0", "3"},    // d = 0
        {P::IDC_DIFFERENCE, "1", "7", "25", "3", "12"},   // d = 1 branch
        {P::IDC_FIRST, " 7x", "11", "45", "7", "28"},     // read up to the first non-digit
        {P::IDC_DIFFERENCE, "32767", "131075", "327705", "8069465414925680647", "246275572695040"},
        {P::IDC_GEOM_TERM_N, "32767", "131075", "327705", "値が大きすぎます", "246275572695040"},
        {P::IDC_GEOM_TERM_N, "1", "131075", "327705", "7", "246275572695040"},
        {P::IDC_GEOM_SUM_N, "108", "131075", "327705", "7", "値が大きすぎます"},  // 32767^108 > 2^1616
        {P::IDC_GEOM_SUM_N, "107", "131075", "327705", "7", SUM_107},
        {P::IDC_ARITH_TERM_N, "", "-32760", "327705", "7", SUM_107},  // empty reads as 0
    };
    ProgressionInputs inputs;
    BoxAnswerer answerer;
    RunOpen<P>(inputs, [&](P& dlg) {
        for (const ProgressionTyping& s : steps) {
            Type(dlg, s.id, s.text);
            SCOPED_TRACE(testing::Message() << "typed \"" << s.text << "\" into " << s.id);
            EXPECT_EQ(Result(dlg, P::IDC_ARITH_TERM), QString::fromUtf8(s.arithTerm));
            EXPECT_EQ(Result(dlg, P::IDC_ARITH_SUM), QString::fromUtf8(s.arithSum));
            EXPECT_EQ(Result(dlg, P::IDC_GEOM_TERM), QString::fromUtf8(s.geomTerm));
            EXPECT_EQ(Result(dlg, P::IDC_GEOM_SUM), QString::fromUtf8(s.geomSum));
        }
    });
    EXPECT_TRUE(answerer.boxes.empty());
    EXPECT_TRUE(answerer.engineBoxes.empty());
}

struct LinkRow {
    int changed;
    int others[3];  // in the order they are written
    P::Quantity own;
};

TEST(ProgressionDlg, LinkCopiesATermNumberIntoTheOthersInOrder) {
    const LinkRow rows[] = {
        {P::IDC_ARITH_TERM_N, {P::IDC_GEOM_TERM_N, P::IDC_ARITH_SUM_N, P::IDC_GEOM_SUM_N}, P::QUANTITY_A1},
        {P::IDC_GEOM_TERM_N, {P::IDC_ARITH_TERM_N, P::IDC_ARITH_SUM_N, P::IDC_GEOM_SUM_N}, P::QUANTITY_G1},
        {P::IDC_ARITH_SUM_N, {P::IDC_ARITH_TERM_N, P::IDC_GEOM_TERM_N, P::IDC_GEOM_SUM_N}, P::QUANTITY_A2},
        {P::IDC_GEOM_SUM_N, {P::IDC_ARITH_TERM_N, P::IDC_ARITH_SUM_N, P::IDC_GEOM_TERM_N}, P::QUANTITY_G2},
    };
    for (const LinkRow& row : rows) {
        ProgressionInputs inputs;
        inputs.first = 3;
        inputs.difference = 2;
        inputs.linked = 1;
        BoxAnswerer answerer;
        RunOpen<P>(inputs, [&](P& dlg) {
            SCOPED_TRACE(testing::Message() << "typing into " << row.changed);
            EXPECT_TRUE(FindControlAs<QCheckBox>(&dlg, P::IDC_LINK)->isChecked());
            std::vector<int> written;
            for (int id : row.others) {
                QObject::connect(Edit(dlg, id), &QLineEdit::textChanged, &dlg,
                                 [&written, id] { written.push_back(id); });
            }
            int before[P::QUANTITY_COUNT];
            for (int q = 0; q < P::QUANTITY_COUNT; ++q) before[q] = dlg.RecomputeCount(P::Quantity(q));

            Type(dlg, row.changed, "7");

            EXPECT_EQ(written, std::vector<int>(row.others, row.others + 3));
            for (int id : row.others) EXPECT_EQ(Edit(dlg, id)->text(), "7") << id;
            // The typed field's quantity once; each other quantity once by its
            // own notification and once more by the link.
            for (int q = 0; q < P::QUANTITY_COUNT; ++q) {
                EXPECT_EQ(dlg.RecomputeCount(P::Quantity(q)) - before[q], q == row.own ? 1 : 2) << "quantity " << q;
            }
            EXPECT_EQ(dlg.Propagating(), 0);
            EXPECT_EQ(Result(dlg, P::IDC_ARITH_TERM), "15");
            EXPECT_EQ(Result(dlg, P::IDC_ARITH_SUM), "63");
            EXPECT_EQ(Result(dlg, P::IDC_GEOM_TERM), "192");
            EXPECT_EQ(Result(dlg, P::IDC_GEOM_SUM), "381");
            PressEnd(dlg);
        });
        EXPECT_EQ(inputs.arithTerm, 7);
        EXPECT_EQ(inputs.geomTerm, 7);
        EXPECT_EQ(inputs.arithSum, 7);
        EXPECT_EQ(inputs.geomSum, 7);
    }
}

TEST(ProgressionDlg, WithoutLinkOnlyTheTypedFieldChanges) {
    ProgressionInputs inputs;
    RunOpen<P>(inputs, [](P& dlg) {
        auto* link = FindControlAs<QCheckBox>(&dlg, P::IDC_LINK);
        link->click();  // on
        EXPECT_EQ(dlg.m_inputs.linked, 1);
        link->click();  // off again
        EXPECT_EQ(dlg.m_inputs.linked, 0);
        Type(dlg, P::IDC_GEOM_TERM_N, "7");
        for (int id : {P::IDC_ARITH_TERM_N, P::IDC_ARITH_SUM_N, P::IDC_GEOM_SUM_N}) {
            EXPECT_EQ(Edit(dlg, id)->text(), "1") << id;
        }
        EXPECT_EQ(dlg.RecomputeCount(P::QUANTITY_G1), 2);
        EXPECT_EQ(dlg.RecomputeCount(P::QUANTITY_A1), 1);
        EXPECT_EQ(dlg.RecomputeCount(P::QUANTITY_A2), 1);
        EXPECT_EQ(dlg.RecomputeCount(P::QUANTITY_G2), 1);
        // Checking the link copies nothing by itself; the next change does.
        link->click();
        EXPECT_EQ(Edit(dlg, P::IDC_ARITH_TERM_N)->text(), "1");
        QTest::mouseClick(FindControlAs<UpDownControl>(&dlg, 1085)->UpButton(), Qt::LeftButton);
        for (int id : {P::IDC_ARITH_TERM_N, P::IDC_GEOM_TERM_N, P::IDC_ARITH_SUM_N, P::IDC_GEOM_SUM_N}) {
            EXPECT_EQ(Edit(dlg, id)->text(), "2") << id;
        }
        EXPECT_EQ(Result(dlg, P::IDC_GEOM_SUM), "2");
    });
}

TEST(ProgressionDlg, EndWritesBackAndClosingDiscards) {
    ProgressionInputs inputs;
    int result = RunOpen<P>(inputs, [](P& dlg) {
        Type(dlg, P::IDC_FIRST, "-5");
        Type(dlg, P::IDC_DIFFERENCE, "32767");
        Type(dlg, P::IDC_ARITH_TERM_N, "2");
        Type(dlg, P::IDC_GEOM_TERM_N, "3");
        Type(dlg, P::IDC_ARITH_SUM_N, "4");
        Type(dlg, P::IDC_GEOM_SUM_N, "32767");
        FindControlAs<QCheckBox>(&dlg, P::IDC_LINK)->click();
        PressEnd(dlg);
        EXPECT_FALSE(dlg.isVisible());
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(inputs.first, -5);
    EXPECT_EQ(inputs.difference, 32767);
    EXPECT_EQ(inputs.arithTerm, 2);
    EXPECT_EQ(inputs.geomTerm, 3);
    EXPECT_EQ(inputs.arithSum, 4);
    EXPECT_EQ(inputs.geomSum, 32767);
    EXPECT_EQ(inputs.linked, 1);

    // Reopened, the dialog shows the kept values; closing it keeps them.
    const ProgressionInputs kept = inputs;
    result = RunOpen<P>(inputs, [](P& dlg) {
        EXPECT_EQ(Edit(dlg, P::IDC_FIRST)->text(), "-5");
        EXPECT_EQ(Result(dlg, P::IDC_ARITH_TERM), "32762");
        EXPECT_TRUE(FindControlAs<QCheckBox>(&dlg, P::IDC_LINK)->isChecked());
        Type(dlg, P::IDC_FIRST, "9");
        Type(dlg, P::IDC_ARITH_TERM_N, "9");
        FindControlAs<QCheckBox>(&dlg, P::IDC_LINK)->click();
        dlg.close();
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(inputs.first, kept.first);
    EXPECT_EQ(inputs.arithTerm, kept.arithTerm);
    EXPECT_EQ(inputs.geomSum, kept.geomSum);
    EXPECT_EQ(inputs.linked, kept.linked);

    // Esc ends the dialog like the hidden cancel button: discarded too.
    result = RunOpen<P>(inputs, [](P& dlg) {
        Type(dlg, P::IDC_FIRST, "11");
        QTest::keyClick(&dlg, Qt::Key_Escape);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(inputs.first, -5);
}

TEST(ProgressionDlg, EndRefusesValuesOutsideTheirRanges) {
    ProgressionInputs inputs;
    BoxAnswerer answerer;
    const int result = RunOpen<P>(inputs, [&](P& dlg) {
        Type(dlg, P::IDC_FIRST, "3");
        Type(dlg, P::IDC_DIFFERENCE, "2");
        Type(dlg, P::IDC_ARITH_TERM_N, "0");
        EXPECT_EQ(Result(dlg, P::IDC_ARITH_TERM), "1");  // used as typed while live
        PressEnd(dlg);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.focusWidget(), Edit(dlg, P::IDC_ARITH_TERM_N));
        EXPECT_EQ(Edit(dlg, P::IDC_ARITH_TERM_N)->text(), "0");

        Type(dlg, P::IDC_ARITH_TERM_N, "5");
        Type(dlg, P::IDC_DIFFERENCE, "-32769");
        PressEnd(dlg);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.focusWidget(), Edit(dlg, P::IDC_DIFFERENCE));

        Type(dlg, P::IDC_DIFFERENCE, "-32768");
        Type(dlg, P::IDC_GEOM_SUM_N, "32768");
        PressEnd(dlg);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.focusWidget(), Edit(dlg, P::IDC_GEOM_SUM_N));

        Type(dlg, P::IDC_GEOM_SUM_N, "32767");
        PressEnd(dlg);
    });
    const std::vector<std::pair<QString, QString>> expected = {
        {"Kalvora", QStringLiteral("1 から 32767 までの整数を入力してください。")},
        {"Kalvora", QStringLiteral("-32768 から 32767 までの整数を入力してください。")},
        {"Kalvora", QStringLiteral("1 から 32767 までの整数を入力してください。")},
    };
    EXPECT_EQ(answerer.boxes, expected);
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(inputs.first, 3);
    EXPECT_EQ(inputs.difference, -32768);
    EXPECT_EQ(inputs.arithTerm, 5);
    EXPECT_EQ(inputs.geomSum, 32767);
}

TEST(ProgressionDlg, NegativeTermNumberLeavingARemainderShowsTheDeveloperNotice) {
    // Typed while live only: 3^(-1) is 0, so p = (0 - 1) * 1 = -1 and
    // q = 3 - 1 = 2 leave a remainder; the field shows r = 0 first.
    ProgressionInputs inputs;
    inputs.difference = 3;
    BoxAnswerer answerer;
    RunOpen<P>(inputs, [&](P& dlg) {
        Type(dlg, P::IDC_GEOM_SUM_N, "-");
        EXPECT_TRUE(answerer.engineBoxes.empty());  // no digits: n4 = 0, p = 0
        std::vector<QString> shownWhenBoxed;
        answerer.onEngineBox = [&] { shownWhenBoxed.push_back(Result(dlg, P::IDC_GEOM_SUM)); };
        Type(dlg, P::IDC_GEOM_SUM_N, "-1");
        answerer.onEngineBox = nullptr;
        EXPECT_EQ(Result(dlg, P::IDC_GEOM_SUM), "0");
        EXPECT_EQ(shownWhenBoxed, std::vector<QString>(3, "0"));  // the result is in place first
    });
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Kalvora", "開発者にご連絡下さい(in GeometricSum)"}, {"Kalvora", "-1"}, {"Kalvora", "2"}};
    EXPECT_EQ(answerer.engineBoxes, expected);
}

TEST(ProgressionDlg, UpDownControlsStepWithinTheirRanges) {
    ProgressionInputs inputs;
    inputs.first = 32767;
    inputs.arithTerm = 32767;
    RunOpen<P>(inputs, [](P& dlg) {
        QTest::mouseClick(FindControlAs<UpDownControl>(&dlg, 1082)->UpButton(), Qt::LeftButton);
        EXPECT_EQ(Edit(dlg, P::IDC_FIRST)->text(), "32767");
        QTest::mouseClick(FindControlAs<UpDownControl>(&dlg, 1082)->DownButton(), Qt::LeftButton);
        EXPECT_EQ(Edit(dlg, P::IDC_FIRST)->text(), "32766");
        EXPECT_EQ(Result(dlg, P::IDC_ARITH_TERM), "65532");  // 32766 + 32766 * 1
        QTest::keyClick(Edit(dlg, P::IDC_ARITH_TERM_N), Qt::Key_Up);
        EXPECT_EQ(Edit(dlg, P::IDC_ARITH_TERM_N)->text(), "32767");
        QTest::keyClick(Edit(dlg, P::IDC_GEOM_SUM_N), Qt::Key_Down);
        EXPECT_EQ(Edit(dlg, P::IDC_GEOM_SUM_N)->text(), "1");
        Type(dlg, P::IDC_DIFFERENCE, "-40000");
        EXPECT_EQ(Edit(dlg, P::IDC_DIFFERENCE)->text(), "-40000");  // typed text is not clamped
        QTest::keyClick(Edit(dlg, P::IDC_DIFFERENCE), Qt::Key_Down);
        EXPECT_EQ(Edit(dlg, P::IDC_DIFFERENCE)->text(), "-32768");
    });
}

// --- Lucas ----------------------------------------------------------------------

using L = LucasDlg;

TEST(LucasDlg, OpensWithTheTermAlreadyComputed) {
    LucasInputs inputs;
    RunOpen<L>(inputs, [](L& dlg) {
        CheckFrame(dlg, "Lucas型数列", "IDCANCEL");
        CheckEveryControlHasAnId(dlg);
        EXPECT_EQ(Result(dlg, L::IDC_TERM), "1");
        EXPECT_EQ(Edit(dlg, L::IDC_F0)->text(), "0");
        EXPECT_EQ(Edit(dlg, L::IDC_F1)->text(), "1");
        EXPECT_EQ(Edit(dlg, L::IDC_A)->text(), "1");
        EXPECT_EQ(Edit(dlg, L::IDC_B)->text(), "1");
        EXPECT_EQ(Edit(dlg, L::IDC_N)->text(), "2");
        const std::set<QString> labels = LabelTexts(dlg);
        for (const char* text : {"F(0) = f0 , F(1) = f1 , F(n+1) = a * F(n) + b * F(n-1)",
                                 "という数列を定義します。 ここで、",
                                 "(1)第0項 = 0 , 第1項 = 1 , a = b = 1 --> Fibonacci数",
                                 "(2)第0項 = 2 , 第1項 = 1 , a = b = 1 --> Lucas数", "になります。",
                                 "第0項(0～256)", "第1項(0～256)", "a(0～32)", "b(0～32)", "第",
                                 "項(0～512まで)", "各項の値"}) {
            EXPECT_TRUE(labels.count(QString::fromUtf8(text))) << text;
        }
    });
    inputs = {2, 0, 0, 1, 11};
    RunOpen<L>(inputs, [](L& dlg) { EXPECT_EQ(Result(dlg, L::IDC_TERM), "1024"); });
}

struct LucasTyping {
    int id;
    const char* text;
    std::string expected;
};

TEST(LucasDlg, TermFollowsTheTypingLive) {
    const LucasTyping steps[] = {
        {L::IDC_N, "10", "55"},
        {L::IDC_N, "15", "610"},
        {L::IDC_N, "0", "0"},
        {L::IDC_N, "1", "1"},
        {L::IDC_N, "512", GmpText(mpz_fib_ui, 512)},
        {L::IDC_F0, "2", GmpText(mpz_lucnum_ui, 512)},
        {L::IDC_N, "10", "123"},
        {L::IDC_A, "32", "37674042413218"},
        {L::IDC_B, "32", "131537903288320"},
        {L::IDC_N, "512", "値が大きすぎます"},
        {L::IDC_N, "4", "102400"},   // 2, 1, 96, 3104, 102400
        {L::IDC_N, "", "2"},         // no digits: n = 0
        {L::IDC_A, "0", "2"},
        {L::IDC_N, "9", "1048576"},  // a = 0: F(2k+1) = b^k f1 = 32^4
    };
    LucasInputs inputs;
    BoxAnswerer answerer;
    RunOpen<L>(inputs, [&](L& dlg) {
        for (const LucasTyping& s : steps) {
            Type(dlg, s.id, s.text);
            EXPECT_EQ(Result(dlg, L::IDC_TERM), QString::fromStdString(s.expected))
                << "typed \"" << s.text << "\" into " << s.id;
        }
    });
    EXPECT_TRUE(answerer.boxes.empty());
}

TEST(LucasDlg, EndWritesBackRefusesOutOfRangeAndClosingDiscards) {
    LucasInputs inputs;
    BoxAnswerer answerer;
    int result = RunOpen<L>(inputs, [](L& dlg) {
        Type(dlg, L::IDC_N, "513");
        PressEnd(dlg);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.focusWidget(), Edit(dlg, L::IDC_N));
        Type(dlg, L::IDC_N, "20");
        Type(dlg, L::IDC_A, "-1");  // live: the sign becomes a huge unsigned coefficient
        PressEnd(dlg);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.focusWidget(), Edit(dlg, L::IDC_A));
        Type(dlg, L::IDC_A, "3");
        Type(dlg, L::IDC_F1, "256");
        PressEnd(dlg);
    });
    const std::vector<std::pair<QString, QString>> expected = {
        {"Kalvora", QStringLiteral("0 から 512 までの整数を入力してください。")},
        {"Kalvora", QStringLiteral("0 から 32 までの整数を入力してください。")},
    };
    EXPECT_EQ(answerer.boxes, expected);
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(inputs.n, 20u);
    EXPECT_EQ(inputs.a, 3u);
    EXPECT_EQ(inputs.f1, 256u);
    EXPECT_EQ(inputs.f0, 0u);
    EXPECT_EQ(inputs.b, 1u);

    result = RunOpen<L>(inputs, [](L& dlg) {
        Type(dlg, L::IDC_N, "7");
        Type(dlg, L::IDC_B, "9");
        dlg.close();
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(inputs.n, 20u);
    EXPECT_EQ(inputs.b, 1u);
}

TEST(LucasDlg, HugeTypedTermNumberAnswersAtOnce) {
    LucasInputs inputs;
    inputs.f0 = inputs.f1 = 0;
    RunOpen<L>(inputs, [](L& dlg) {
        Type(dlg, L::IDC_N, "99999999999");  // saturates; zeros stay zero
        EXPECT_EQ(Result(dlg, L::IDC_TERM), "0");
        Type(dlg, L::IDC_F1, "1");
        EXPECT_EQ(Result(dlg, L::IDC_TERM), TOO_LARGE);
        Type(dlg, L::IDC_B, "0");  // a = 1, b = 0: constant f1
        EXPECT_EQ(Result(dlg, L::IDC_TERM), "1");
    });
}

// --- Mersenne and Fermat ------------------------------------------------------

using MF = MersenneFermatDlg;

std::string PowerOfTwoText(unsigned long e, long add) {
    mpz_t v;
    mpz_init(v);
    mpz_ui_pow_ui(v, 2, e);
    if (add < 0) mpz_sub_ui(v, v, static_cast<unsigned long>(-add));
    else mpz_add_ui(v, v, static_cast<unsigned long>(add));
    const std::string s = MpzText(v);
    mpz_clear(v);
    return s;
}

TEST(MersenneFermatDlg, OpensWithBothNumbersComputed) {
    MersenneFermatInputs inputs;
    RunOpen<MF>(inputs, [](MF& dlg) {
        CheckFrame(dlg, "Mersenne数、Fermat数", "ｷｬﾝｾﾙ");
        CheckEveryControlHasAnId(dlg);
        EXPECT_EQ(Result(dlg, MF::IDC_MERSENNE), "0");
        EXPECT_EQ(Result(dlg, MF::IDC_FERMAT), "3");
        const std::set<QString> labels = LabelTexts(dlg);
        for (const char* text : {"メルセンヌ(Mersenne)型数とはF(k) = 2^k - 1の形をしたものです。",
                                 "フェルマー(Fermat)数とはF(k) = 2^2^k + 1の形をしたものです。",
                                 "メルセンヌ数 M (", ")  (0～800) =", "フェルマー数 F(", ")  (0～9) ="}) {
            EXPECT_TRUE(labels.count(QString::fromUtf8(text))) << text;
        }
    });
    inputs = {800, 9};
    RunOpen<MF>(inputs, [](MF& dlg) {
        EXPECT_EQ(Result(dlg, MF::IDC_MERSENNE), QString::fromStdString(PowerOfTwoText(800, -1)));
        EXPECT_EQ(Result(dlg, MF::IDC_FERMAT), QString::fromStdString(PowerOfTwoText(512, 1)));
        EXPECT_EQ(Result(dlg, MF::IDC_MERSENNE).size(), 241);
        EXPECT_EQ(Result(dlg, MF::IDC_FERMAT).size(), 155);
    });
}

TEST(MersenneFermatDlg, NumbersFollowTheTypingLive) {
    struct Step {
        int id;
        const char* text;
        std::string mersenne, fermat;
    };
    const Step steps[] = {
        {MF::IDC_MERSENNE_K, "2", "3", "3"},
        {MF::IDC_MERSENNE_K, "7", "127", "3"},
        {MF::IDC_MERSENNE_K, "31", "2147483647", "3"},
        {MF::IDC_FERMAT_K, "1", "2147483647", "5"},
        {MF::IDC_FERMAT_K, "3", "2147483647", "257"},
        {MF::IDC_FERMAT_K, "4", "2147483647", "65537"},
        {MF::IDC_FERMAT_K, "5", "2147483647", "4294967297"},
        {MF::IDC_MERSENNE_K, "800", PowerOfTwoText(800, -1), "4294967297"},
        {MF::IDC_FERMAT_K, "10", PowerOfTwoText(800, -1), PowerOfTwoText(1024, 1)},  // beyond 9, still fits
        {MF::IDC_FERMAT_K, "40", PowerOfTwoText(800, -1), "値が大きすぎます"},
        {MF::IDC_MERSENNE_K, "2000", "値が大きすぎます", "値が大きすぎます"},
        {MF::IDC_MERSENNE_K, "", "0", "値が大きすぎます"},
        {MF::IDC_FERMAT_K, "abc", "0", "3"},
    };
    MersenneFermatInputs inputs;
    RunOpen<MF>(inputs, [&](MF& dlg) {
        for (const Step& s : steps) {
            Type(dlg, s.id, s.text);
            SCOPED_TRACE(testing::Message() << "typed \"" << s.text << "\" into " << s.id);
            EXPECT_EQ(Result(dlg, MF::IDC_MERSENNE), QString::fromStdString(s.mersenne));
            EXPECT_EQ(Result(dlg, MF::IDC_FERMAT), QString::fromStdString(s.fermat));
        }
    });
}

TEST(MersenneFermatDlg, EndWritesBackRefusesOutOfRangeAndClosingDiscards) {
    MersenneFermatInputs inputs;
    BoxAnswerer answerer;
    int result = RunOpen<MF>(inputs, [](MF& dlg) {
        Type(dlg, MF::IDC_MERSENNE_K, "801");
        Type(dlg, MF::IDC_FERMAT_K, "10");
        PressEnd(dlg);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.focusWidget(), Edit(dlg, MF::IDC_MERSENNE_K));
        Type(dlg, MF::IDC_MERSENNE_K, "127");
        PressEnd(dlg);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.focusWidget(), Edit(dlg, MF::IDC_FERMAT_K));
        QTest::keyClick(Edit(dlg, MF::IDC_FERMAT_K), Qt::Key_Down);  // from 10 down to 9
        EXPECT_EQ(Edit(dlg, MF::IDC_FERMAT_K)->text(), "9");
        PressEnd(dlg);
    });
    const std::vector<std::pair<QString, QString>> expected = {
        {"Kalvora", QStringLiteral("0 から 800 までの整数を入力してください。")},
        {"Kalvora", QStringLiteral("0 から 9 までの整数を入力してください。")},
    };
    EXPECT_EQ(answerer.boxes, expected);
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(inputs.mersenneExponent, 127u);
    EXPECT_EQ(inputs.fermatIndex, 9u);

    result = RunOpen<MF>(inputs, [](MF& dlg) {
        EXPECT_EQ(Edit(dlg, MF::IDC_MERSENNE_K)->text(), "127");
        Type(dlg, MF::IDC_MERSENNE_K, "5");
        Type(dlg, MF::IDC_FERMAT_K, "2");
        dlg.close();
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(inputs.mersenneExponent, 127u);
    EXPECT_EQ(inputs.fermatIndex, 9u);
}

}  // namespace
