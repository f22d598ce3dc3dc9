// The shared dialog helpers on the offscreen platform: the up-down control's
// stepping and its respect for typed text, the data transfer's parsing,
// refusal, focus and all-or-nothing writing, control ids.
#include "widgets/dialog_support.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "box_answerer.h"

namespace {

struct StepRow {
    qint64 min, max;
    const char* before;
    int steps;  // positive: up
    const char* after;
};

TEST(UpDownControl, StepsWithinTheRange) {
    const StepRow rows[] = {
        {-3, 3, "2", 1, "3"},
        {-3, 3, "3", 1, "3"},       // stays at the top
        {-3, 3, "-3", -1, "-3"},    // and at the bottom
        {-3, 3, "0", -2, "-2"},
        {-3, 3, "99", 1, "3"},      // typed beyond the range: stepped, then clamped
        {-3, 3, "99", -1, "3"},
        {-3, 3, "4", -1, "3"},
        {-3, 3, "-99", 1, "-3"},
        {-3, 3, "-4", 1, "-3"},
        {-3, 3, "-4", 3, "-1"},
        {-3, 3, "abc", 1, "1"},     // no digits reads as 0
        {-3, 3, " 2xyz", -1, "1"},  // the decimal reading stops at the first non-digit
        {1, 32767, "", 1, "1"},     // 0 + 1
        {1, 32767, "", -1, "1"},
        {0, 4294967295LL, "4294967294", 1, "4294967295"},
        {0, 4294967295LL, "4294967295", 1, "4294967295"},
        {0, 4294967295LL, "99999999999999999999", -1, "4294967295"},
        {-2147483647, 2147483647, "-9223372036854775808", -1, "-2147483647"},
        {-2147483647, 2147483647, "9223372036854775807", 1, "2147483647"},
        {-2147483647, 2147483647, "-2147483647", -1, "-2147483647"},
        {-2147483647, 2147483647, "2147483646", 3, "2147483647"},
    };
    for (const StepRow& r : rows) {
        QLineEdit edit;
        UpDownControl spin(&edit, r.min, r.max);
        edit.setText(QString::fromUtf8(r.before));
        spin.StepBy(r.steps);
        EXPECT_EQ(edit.text(), QString::fromUtf8(r.after))
            << r.min << ".." << r.max << " from \"" << r.before << "\" by " << r.steps;
    }
}

TEST(UpDownControl, ArrowsKeysAndWheelStep) {
    QWidget window;
    auto* edit = new QLineEdit(&window);
    auto* spin = new UpDownControl(edit, 0, 10, &window);
    auto* row = BuddyRow(edit, spin);
    window.setLayout(row);
    window.show();
    edit->setText("5");

    QTest::mouseClick(spin->UpButton(), Qt::LeftButton);
    EXPECT_EQ(edit->text(), "6");
    QTest::mouseClick(spin->DownButton(), Qt::LeftButton);
    QTest::mouseClick(spin->DownButton(), Qt::LeftButton);
    EXPECT_EQ(edit->text(), "4");

    QTest::keyClick(edit, Qt::Key_Up);
    QTest::keyClick(edit, Qt::Key_Up);
    EXPECT_EQ(edit->text(), "6");
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(edit->text(), "5");

    const QPointF at(2, 2);
    QWheelEvent up(at, edit->mapToGlobal(at), QPoint(), QPoint(0, 240), Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
    QApplication::sendEvent(edit, &up);
    EXPECT_EQ(edit->text(), "7");
    QWheelEvent down(at, spin->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                     Qt::NoScrollPhase, false);
    QApplication::sendEvent(spin, &down);
    EXPECT_EQ(edit->text(), "6");

    // Up 20 times from 6 stops at 10.
    for (int i = 0; i < 20; ++i) QTest::keyClick(edit, Qt::Key_Up);
    EXPECT_EQ(edit->text(), "10");
}

TEST(UpDownControl, TypedTextIsNeverClamped) {
    QLineEdit edit;
    UpDownControl spin(&edit, 1, 32767);
    int steps = 0;
    QObject::connect(&spin, &UpDownControl::Stepped, [&steps](qint64) { ++steps; });
    edit.setText("1");
    edit.selectAll();
    QTest::keyClicks(&edit, "99999");
    EXPECT_EQ(edit.text(), "99999");
    edit.selectAll();
    QTest::keyClicks(&edit, "-5");
    EXPECT_EQ(edit.text(), "-5");
    EXPECT_EQ(steps, 0);
    EXPECT_EQ(spin.Position(), 1);
}

struct ParseRow {
    const char* text;
    qint64 min, max;
    bool ok;
    qint64 value;
};

TEST(DataExchange, ParsesWholeIntegersWithinTheRange) {
    const ParseRow rows[] = {
        {"5", 0, 10, true, 5},
        {"  5  ", 0, 10, true, 5},
        {"+5", 0, 10, true, 5},
        {"-5", -10, 10, true, -5},
        {"0010", 0, 10, true, 10},
        {"11", 0, 10, false, 0},
        {"-1", 0, 10, false, 0},
        {"", 0, 10, false, 0},
        {"   ", 0, 10, false, 0},
        {"-", -10, 10, false, 0},
        {"5x", 0, 10, false, 0},   // trailing garbage refused, unlike the live reading
        {"x5", 0, 10, false, 0},
        {"- 5", -10, 10, false, 0},
        {"5 5", 0, 100, false, 0},
        {"4294967295", 0, 4294967295LL, true, 4294967295LL},
        {"4294967296", 0, 4294967295LL, false, 0},
        {"99999999999999999999999", 0, 4294967295LL, false, 0},
        {"-2147483647", -2147483647, 2147483647, true, -2147483647},
        {"-2147483648", -2147483647, 2147483647, false, 0},
        {"2147483647", -2147483647, 2147483647, true, 2147483647},
    };
    for (const ParseRow& r : rows) {
        qint64 value = 0;
        EXPECT_EQ(DataExchange::ParseInteger(QString::fromUtf8(r.text), r.min, r.max, &value), r.ok)
            << '"' << r.text << "\" in " << r.min << ".." << r.max;
        if (r.ok) {
            EXPECT_EQ(value, r.value) << '"' << r.text << '"';
        }
    }
}

TEST(DataExchange, RangeMessageText) {
    EXPECT_EQ(RangeMessageText(1, 32767), QStringLiteral("1 から 32767 までの整数を入力してください。"));
    EXPECT_EQ(RangeMessageText(-2147483647, 2147483647),
              QStringLiteral("-2147483647 から 2147483647 までの整数を入力してください。"));
    EXPECT_EQ(RangeMessageText(0, 4294967295LL),
              QStringLiteral("0 から 4294967295 までの整数を入力してください。"));
}

// A dialog with one field of every kind.
struct Form {
    QDialog dialog;
    QLineEdit* signedEdit = new QLineEdit(&dialog);
    QLineEdit* unsignedEdit = new QLineEdit(&dialog);
    QCheckBox* check = new QCheckBox(&dialog);
    QRadioButton* radio0 = new QRadioButton(&dialog);
    QRadioButton* radio1 = new QRadioButton(&dialog);
    QLineEdit* textEdit = new QLineEdit(&dialog);
    int signedField = -7;
    uint32_t unsignedField = 4000000000u;
    int checkField = 1;
    int radioField = 1;
    QString textField = "abc";
    DataExchange dx{&dialog};

    Form() {
        auto* layout = new QVBoxLayout(&dialog);
        for (QWidget* w : std::initializer_list<QWidget*>{signedEdit, unsignedEdit, check, radio0, radio1,
                                                          textEdit}) {
            layout->addWidget(w);
        }
        dx.AddInt(signedEdit, &signedField, -2147483647, 2147483647);
        dx.AddUInt(unsignedEdit, &unsignedField, 0, 4294967295u);
        dx.AddCheck(check, &checkField);
        dx.AddRadioGroup({radio0, radio1}, &radioField);
        dx.AddText(textEdit, &textField, 8);
    }
};

TEST(DataExchange, FieldsToControlsAndBack) {
    Form f;
    f.dx.ToControls();
    EXPECT_EQ(f.signedEdit->text(), "-7");
    EXPECT_EQ(f.unsignedEdit->text(), "4000000000");
    EXPECT_TRUE(f.check->isChecked());
    EXPECT_FALSE(f.radio0->isChecked());
    EXPECT_TRUE(f.radio1->isChecked());
    EXPECT_EQ(f.textEdit->text(), "abc");
    EXPECT_EQ(f.textEdit->maxLength(), 8);

    f.signedEdit->setText(" -2147483647 ");
    f.unsignedEdit->setText("4294967295");
    f.check->setChecked(false);
    f.radio0->setChecked(true);
    f.textEdit->setText("xyz");
    BoxAnswerer answerer;
    EXPECT_TRUE(f.dx.FromControls());
    EXPECT_TRUE(answerer.boxes.empty());
    EXPECT_EQ(f.signedField, -2147483647);
    EXPECT_EQ(f.unsignedField, 4294967295u);
    EXPECT_EQ(f.checkField, 0);
    EXPECT_EQ(f.radioField, 0);
    EXPECT_EQ(f.textField, "xyz");
}

TEST(DataExchange, RefusalShowsTheRangeFocusesTheFieldAndWritesNothing) {
    Form f;
    f.dialog.show();
    f.dx.ToControls();
    f.signedEdit->setText("12");
    f.unsignedEdit->setText("-1");
    f.check->setChecked(false);
    f.signedEdit->setFocus();
    BoxAnswerer answerer;
    EXPECT_FALSE(f.dx.FromControls());
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].first, "Kalvora");
    EXPECT_EQ(answerer.boxes[0].second, QStringLiteral("0 から 4294967295 までの整数を入力してください。"));
    EXPECT_EQ(f.dialog.focusWidget(), f.unsignedEdit);
    EXPECT_EQ(f.unsignedEdit->selectedText(), "-1");
    // Nothing written, not even the valid field before the refused one.
    EXPECT_EQ(f.signedField, -7);
    EXPECT_EQ(f.unsignedField, 4000000000u);
    EXPECT_EQ(f.checkField, 1);
    EXPECT_EQ(f.unsignedEdit->text(), "-1");  // the text stays as typed

    // The first invalid field in binding order is the one refused.
    f.signedEdit->setText("2147483648");
    f.unsignedEdit->setText("x");
    EXPECT_FALSE(f.dx.FromControls());
    ASSERT_EQ(answerer.boxes.size(), 2u);
    EXPECT_EQ(answerer.boxes[1].second,
              QStringLiteral("-2147483647 から 2147483647 までの整数を入力してください。"));
    EXPECT_EQ(f.dialog.focusWidget(), f.signedEdit);
}

TEST(ControlIds, FoundByTheirDocumentedId) {
    QDialog dialog;
    auto* outer = new QWidget(&dialog);
    auto* inner = new QLineEdit(outer);
    SetControlId(inner, 1080);
    SetControlId(outer, 5);
    EXPECT_EQ(ControlId(inner), 1080);
    EXPECT_EQ(inner->property("id").toInt(), 1080);
    EXPECT_EQ(inner->property("id").typeId(), QMetaType::Int);
    EXPECT_EQ(FindControl(&dialog, 1080), inner);
    EXPECT_EQ(FindControlAs<QLineEdit>(&dialog, 1080), inner);
    EXPECT_EQ(FindControlAs<QCheckBox>(&dialog, 1080), nullptr);
    EXPECT_EQ(FindControl(&dialog, 5), outer);
    EXPECT_EQ(FindControl(&dialog, 1081), nullptr);
    EXPECT_EQ(ControlId(&dialog), 0);
}

}  // namespace
