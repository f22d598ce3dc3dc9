// Key sequences in, displays and boxes out.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "calc/calc_engine.h"
#include "tests/calc/key_driver.h"

namespace {

// The boxes as the user sees them (caption "Kalvora" throughout).
const std::string kTooLargeEntry = "box[Kalvora]: これ以上大きな値は扱えません.";
const std::string kDivZero = "box[Kalvora]: 0で除算しました.";
const std::string kLcmZero = "box[Kalvora]: 0との最小公倍数は求まりません.";
const std::string kRootNegative = "box[Kalvora]: 負の数の平方根は計算しません.";
const std::string kSqrtNegative = "box[Kalvora]: 負の数の平方根は範囲外です.";
const std::string kNegative = "box[Kalvora]: 負の数は計算できません.";
const std::string kOperandTooLarge = "box[Kalvora]: 元の値が大きすぎます.";
const std::string kNprOrder = "box[Kalvora]: n , ｢nPr｣ , r の順に入力して下さい.";
const std::string kNcrOrder = "box[Kalvora]: n , ｢nCr｣ , r の順に入力して下さい.";
const std::string kOutOfRange = "box[Kalvora]: 計算結果が扱える範囲を超えました.";
const std::string kNoInverse = "box[Kalvora]: 逆元は存在しません";
const std::string kBadCharacter = "box[Kalvora]: 不正な文字が入力されました.";
const std::string kBadClipboard = "box[Kalvora]: クリップボードの値が正しくありません";

const std::string ANY = "*";  // column not checked

struct KeyRow {
    std::string keys;
    std::string value;
    std::string remainder;
    std::string memory;
    std::string op;
    std::vector<std::string> events;
};

std::string Repeat(char c, size_t n) { return std::string(n, c); }

void RunRows(const std::vector<KeyRow>& rows) {
    for (const KeyRow& row : rows) {
        SCOPED_TRACE("keys: " + row.keys.substr(0, 120));
        Calculator calc;
        std::string bad;
        ASSERT_TRUE(calc.Keys(row.keys, &bad)) << "unknown key word " << bad;
        if (row.value != ANY) { EXPECT_EQ(calc.Value(), row.value); }
        if (row.remainder != ANY) { EXPECT_EQ(calc.Remainder(), row.remainder); }
        if (row.memory != ANY) { EXPECT_EQ(calc.Memory(), row.memory); }
        if (row.op != ANY) { EXPECT_EQ(calc.Op(), row.op); }
        EXPECT_EQ(calc.window.events, row.events);
        // Evaluate never leaves an invalid value in the main or remainder register.
        EXPECT_EQ(calc.engine.m_remainder.GetStatus(), 0);
    }
}

TEST(CalcEngineKeys, EntryStateMachine) {
    RunRows({
        {"7 / 2 =", "3", "1", "0", " ", {}},
        {"7 / 2 = =", "3", "0", "0", " ", {}},
        {"7 / 2 +", "3", "1", "0", "   +", {}},
        {"7 / 2 + 1 =", "4", "0", "0", " ", {}},
        {"5 + * 3 =", "15", "0", "0", " ", {}},
        {"5 + *", "5", "0", "0", "   *", {}},
        {"5 + MOD", "5", "0", "0", "MOD", {}},
        {"2 + 3 X^2", "9", "0", "0", " ", {}},
        {"2 + 3 X^2 =", "9", "0", "0", " ", {}},
        {"2 + 3 X^2 + 1 =", "10", "0", "0", " ", {}},
        {"5 + =", "10", "0", "0", " ", {}},
        {"1 + 2 + 3 *", "6", "0", "0", "   *", {}},
        {"1 + 2 + 3 * 4 =", "24", "0", "0", " ", {}},
        {"3 - 5 =", "-2", "0", "0", " ", {}},
        {"6 - 2 -", "4", "0", "0", "   -", {}},
        {"=", "0", "0", "0", " ", {}},
        {"5 = 3", "3", "0", "0", " ", {}},
        {"5 = +/- 3", "3", "0", "0", " ", {}},       // +/- keeps the fresh entry
        {"12 + 5 CE", "0", "0", "0", "   +", {}},
        {"12 + 5 CE 7 =", "19", "0", "0", " ", {}},
        {"7 / 2 + 5 CE", "0", "0", "0", "   +", {}},  // CE clears the remainder too
        {"12 + 5 Clear", "0", "0", "0", " ", {}},
        {"12 + 5 Clear 7 =", "7", "0", "0", " ", {}},
        {"12 + 5 AllClear 7 =", "7", "0", "0", " ", {}},
        {"123 Back", "12", "0", "0", " ", {}},
        {"123 Back 4", "124", "0", "0", " ", {}},
        {"5 Back", "0", "0", "0", " ", {}},
        {"25 Back Back Back", "0", "0", "0", " ", {}},
        {"7 / 2 = Back", "3", "1", "0", " ", {}},     // Back right after = does nothing
        {"5 +/-", "-5", "0", "0", " ", {}},
        {"5 +/- 3", "-47", "0", "0", " ", {}},        // a digit moves a negative value towards zero
        {"5 +/- 3 Back", "-4", "0", "0", " ", {}},
        {"5 +/- +/-", "5", "0", "0", " ", {}},
        {"0 +/-", "0", "0", "0", " ", {}},
        {"+/- 5", "5", "0", "0", " ", {}},
        {"007", "7", "0", "0", " ", {}},
        {"#1072 #32791 5", "5", "0", "0", " ", {}},   // window commands are not the engine's
    });
}

TEST(CalcEngineKeys, MemoryKeys) {
    RunRows({
        {"5 MS", "5", "0", "5", " ", {}},
        {"5 MS 3", "3", "0", "5", " ", {}},
        {"5 MS 3 M+", "3", "0", "8", " ", {}},
        {"5 MS 3 M+ MR", "8", "0", "8", " ", {}},
        {"5 MS MR 3", "3", "0", "5", " ", {}},
        {"5 M+ M+", "5", "0", "10", " ", {}},
        {"2 +/- M+", "-2", "0", "-2", " ", {}},
        {"5 MS 7 MC", "7", "0", "0", " ", {}},
        {"5 MS 7 MC 2", "72", "0", "0", " ", {}},      // MC leaves the entry state alone
        {"5 MS 7 Clear", "0", "0", "5", " ", {}},
        {"5 MS 7 AllClear", "0", "0", "0", " ", {}},
        {"4 + MR =", "4", "0", "0", " ", {}},
        {"9 MS 4 + MR =", "13", "0", "9", " ", {}},
        {"9 MS 4 + MR 2 =", "6", "0", "9", " ", {}},   // MR returns to fresh entry
    });
}

TEST(CalcEngineKeys, EvaluateRows) {
    RunRows({
        {"17 +/- / 5 =", "-3", "-2", "0", " ", {}},
        {"17 / 5 +/- =", "-3", "2", "0", " ", {}},
        {"17 +/- / 5 +/- =", "3", "-2", "0", " ", {}},
        {"17 MOD 5 =", "2", "0", "0", " ", {}},
        {"17 +/- MOD 5 =", "-2", "0", "0", " ", {}},
        {"27 ROOT 3 =", "3", "0", "0", " ", {}},
        {"30 ROOT 3 =", "3", "3", "0", " ", {}},
        {"30 ROOT 3 +", "3", "3", "0", "   +", {}},
        {"30 ROOT 3 + 1 =", "4", "0", "0", " ", {}},
        {"30 ROOT 1 =", "30", "0", "0", " ", {}},
        {"5 ROOT 3000000000 =", "1", "4", "0", " ", {}},  // index beyond an int: 2147483647
        {"0 ROOT 3000000000 =", "0", "0", "0", " ", {}},
        {"10 SQRT", "3", "1", "0", " ", {}},
        {"16 SQRT", "4", "0", "0", " ", {}},
        {"10 SQRT 5", "5", "1", "0", " ", {}},
        {"10 SQRT =", "3", "0", "0", " ", {}},
        {"4 LCM 6 =", "12", "0", "0", " ", {}},
        {"4 +/- LCM 6 =", "12", "0", "0", " ", {}},
        {"12 GCD 18 =", "6", "0", "0", " ", {}},
        {"12 +/- GCD 18 =", "6", "0", "0", " ", {}},
        {"12 +/- AND 10 =", "8", "0", "0", " ", {}},
        {"12 OR 3 =", "15", "0", "0", " ", {}},
        {"12 XOR 10 +/- =", "6", "0", "0", " ", {}},
        {"2 X^Y 10 =", "1024", "0", "0", " ", {}},
        {"3 +/- X^Y 3 =", "-27", "0", "0", " ", {}},
        {"2 X^Y 0 =", "1", "0", "0", " ", {}},
        {"5 nPr 2 =", "20", "0", "0", " ", {}},
        {"5 nPr 5 =", "120", "0", "0", " ", {}},
        {"5 nCr 2 =", "10", "0", "0", " ", {}},
        {"10 nCr 3 =", "120", "0", "0", " ", {}},
        {"2147483647 nPr 1 =", "2147483647", "0", "0", " ", {}},
        {"2147483647 nCr 2147483647 =", "1", "0", "0", " ", {}},
        {"5 !", "120", "0", "0", " ", {}},
        {"0 !", "1", "0", "0", " ", {}},
        {"3 X^2", "9", "0", "0", " ", {}},
        {"3 +/- X^2", "9", "0", "0", " ", {}},
        {"7 / 2 = 3 X^2", "9", "0", "0", " ", {}},
        {"3 1/X", "1", "0", "0", " ", {}},              // modulus 2 after start
        {"mod=7 3 1/X", "5", "0", "0", " ", {}},
        {"mod=7 3 +/- 1/X", "2", "0", "0", " ", {}},
        {"mod=4 2 1/X", "0", "0", "0", " ", {kNoInverse}},
        {"mod=7 5 + 3 1/X", "5", "0", "0", " ", {}},  // the unary key drops the pending +
        {"mod=7 5 + 3 1/X =", "5", "0", "0", " ", {}},
        {"mod=5 3 PMD 4 =", "1", "0", "0", " ", {}},
        {"mod=497 4 PMD 13 =", "445", "0", "0", " ", {}},
        {"mod=497 4 PMD", "4", "0", "0", "PMD", {}},
        {"mod=1 4 PMD 13 =", "0", "0", "0", " ", {}},
        {"5 ROOT", "5", "0", "0", "ROT", {}},
        {"5 nPr", "5", "0", "0", "nPr", {}},
        {"5 nCr", "5", "0", "0", "nCr", {}},
        {"5 X^Y", "5", "0", "0", "X^Y", {}},
        {"5 LCM", "5", "0", "0", "LCM", {}},
        {"5 GCD", "5", "0", "0", "GCD", {}},
        {"5 AND", "5", "0", "0", "AND", {}},
        {"5 OR", "5", "0", "0", "OR", {}},
        {"5 XOR", "5", "0", "0", "XOR", {}},
        {"5 /", "5", "0", "0", "   /", {}},
    });
}

TEST(CalcEngineKeys, Refusals) {
    RunRows({
        {"10 MOD 0 =", "0", "0", "0", " ", {kDivZero}},
        {"7 / 0 =", "0", "0", "0", " ", {kDivZero}},
        {"7 / 2 = 9 / 0 =", "0", "0", "0", " ", {kDivZero}},
        {"10 MOD 0 +", "0", "0", "0", "   +", {kDivZero}},
        {"10 MOD 0 + 3 =", "3", "0", "0", " ", {kDivZero}},
        {"0 GCD 5 =", "0", "0", "0", " ", {kLcmZero}},
        {"5 GCD 0 =", "0", "0", "0", " ", {kLcmZero}},
        {"0 LCM 5 =", "0", "0", "0", " ", {kLcmZero}},
        {"5 LCM 0 =", "0", "0", "0", " ", {kLcmZero}},
        {"5 nPr 7 =", "0", "0", "0", " ", {kNprOrder}},
        {"5 nCr 7 =", "0", "0", "0", " ", {kNcrOrder}},
        {"2147483648 nCr 1 =", "0", "0", "0", " ", {kOperandTooLarge}},
        {"5 nPr 2147483648 =", "0", "0", "0", " ", {kOperandTooLarge}},
        {"4294967296 nPr 1 =", "0", "0", "0", " ", {kOperandTooLarge}},
        {"5 +/- nPr 2 =", "0", "0", "0", " ", {kNegative}},
        {"5 nCr 2 +/- =", "0", "0", "0", " ", {kNegative}},
        {"2147483648 +/- nPr 1 =", "0", "0", "0", " ", {kNegative}},  // sign before size
        {"27 +/- ROOT 3 =", "0", "0", "0", " ", {kRootNegative}},
        {"27 ROOT 3 +/- =", "0", "0", "0", " ", {kRootNegative}},
        {"8 ROOT 0 =", "0", "0", "0", " ", {kOutOfRange}},
        {"5 nPr 0 =", "0", "0", "0", " ", {kOutOfRange}},
        {"5 nCr 0 =", "0", "0", "0", " ", {kOutOfRange}},
        {"4 +/- SQRT", "0", "0", "0", " ", {kSqrtNegative}},
        {"7 / 2 = 4 +/- SQRT", "0", "0", "0", " ", {kSqrtNegative}},
        {"248 !", "0", "0", "0", " ", {kOutOfRange}},
        {"5 +/- !", "0", "0", "0", " ", {kOutOfRange}},
        {"mod=0 3 PMD 4 =", "0", "0", "0", " ", {kOutOfRange}},
        {"mod=-5 3 PMD 4 =", "0", "0", "0", " ", {kOutOfRange}},
        {"3 +/- PMD 4 =", "0", "0", "0", " ", {kOutOfRange}},
        {"3 PMD 4 +/- =", "0", "0", "0", " ", {kOutOfRange}},
        {"2 X^Y 2000 =", "0", "0", "0", " ", {kOutOfRange}},
        {"0 X^Y 1 +/- =", "0", "0", "0", " ", {kOutOfRange}},
    });
}

TEST(CalcEngineKeys, BoundsOf1616Bits) {
    const std::string pow2_809 = "2" + Repeat('0', 202);   // hexadecimal
    const std::string pow2_807 = "8" + Repeat('0', 201);
    const std::string pow2_900 = "1" + Repeat('0', 225);
    const std::string max1600 = Repeat('F', 400);          // 2^1600 - 1
    RunRows({
        // Typing in radix 2: 1600 ones fit; the next 1 needs an addition past 2^1600.
        {"radix=2 " + Repeat('1', 1600), Repeat('1', 1600), "0", "0", " ", {}},
        {"radix=2 " + Repeat('1', 1601), Repeat('1', 1600), "0", "0", " ", {kTooLargeEntry}},
        // A 0 needs no addition, so the product alone decides.
        {"radix=2 " + Repeat('1', 1600) + "0", Repeat('1', 1600) + "0", "0", "0", " ", {}},
        {"radix=2 1" + Repeat('0', 1615), "1" + Repeat('0', 1615), "0", "0", " ", {}},
        {"radix=2 1" + Repeat('0', 1616), "1" + Repeat('0', 1615), "0", "0", " ", {kTooLargeEntry}},
        {"radix=2 1" + Repeat('0', 1616) + " 1", "1" + Repeat('0', 1615), "0", "0", " ",
         {kTooLargeEntry, kTooLargeEntry}},
        {"radix=16 clip=" + pow2_807 + " PasteV X^2", "4" + Repeat('0', 403), "0", "0", " ", {}},
        {"radix=16 clip=" + pow2_809 + " PasteV X^2", "0", "0", "0", " ", {kOutOfRange}},
        // The lcm would fit, the product of the operands does not.
        {"radix=16 clip=" + pow2_900 + " PasteV LCM PasteV =", "0", "0", "0", " ", {kOutOfRange}},
        {"radix=16 clip=" + pow2_900 + " PasteV GCD PasteV =", pow2_900, "0", "0", " ", {}},
        // M+ does not check its sum; MR carries the invalid value to the next evaluation.
        {"radix=16 clip=" + max1600 + " PasteM 1 M+ MR =", "0", "0", ANY, " ", {kOutOfRange}},
        {"radix=16 clip=" + max1600 + " PasteM 1 M+ MR + 1 =", "0", "0", ANY, " ", {kOutOfRange}},
        {"radix=16 clip=" + max1600 + " PasteM 1 M+ MC", "1", "0", "0", " ", {}},
    });
}

// A lone minus sign parses as a negative zero, which is not equal to zero.
// Pasting shows the value, and formatting turns it into a plain zero; a
// display edit leaves it as parsed, so the calculator's zero test lets it
// through and the arithmetic reports the division by zero itself.
TEST(CalcEngineKeys, NegativeZeroFromText) {
    const std::string kArithDivZero = "arith-box[Kalvora]: 0で除算しました.";
    RunRows({
        {"clip=- PasteV", "0", "0", "0", " ", {}},
        {"clip=- PasteV CopyV", "0", "0", "0", " ", {"clip<-0"}},
        {"clip=- PasteV +/-", "0", "0", "0", " ", {}},
        {"clip=-000 PasteV 5", "5", "0", "0", " ", {}},
        {"7 / clip=- PasteV =", "0", "0", "0", " ", {kDivZero}},
        {"7 MOD display=- =", "0", "0", "0", " ", {kArithDivZero, kOutOfRange}},
        {"7 / display=- =", "0", "0", "0", " ", {kArithDivZero, kArithDivZero, kOutOfRange}},
        {"7 / display=- +/- =", "0", "0", "0", " ", {kDivZero}},
    });
}

TEST(CalcEngineKeys, OverflowedMemoryIsInvalid) {
    Calculator calc;
    ASSERT_TRUE(calc.Keys("radix=16 clip=" + Repeat('F', 400) + " PasteM 1 M+"));
    EXPECT_EQ(calc.engine.m_memory.GetStatus(), 1);
    EXPECT_TRUE(calc.window.events.empty());
    ASSERT_TRUE(calc.Keys("MR"));
    EXPECT_EQ(calc.engine.m_value.GetStatus(), 1);
    ASSERT_TRUE(calc.Keys("="));
    EXPECT_EQ(calc.engine.m_value.GetStatus(), 0);
    EXPECT_EQ(calc.Value(), "0");
}

TEST(CalcEngineKeys, RadixChanges) {
    RunRows({
        {"255 radix=16", "FF", "0", "0", " ", {}},
        {"255 radix=16 radix=10", "255", "0", "0", " ", {}},
        {"255 radix=16 radix=10 5", "2555", "0", "0", " ", {}},  // typing continues
        {"255 = radix=16 5", "5", "0", "0", " ", {}},
        {"radix=16 FF", "FF", "0", "0", " ", {}},
        {"radix=16 FF radix=10", "255", "0", "0", " ", {}},
        {"radix=17 255", "255", "0", "0", " ", {}},
        {"radix=1 9", "9", "0", "0", " ", {}},
        {"radix=8 7 8", "7", "0", "0", " ", {}},            // a digit at or above the radix is ignored
        {"radix=8 78 9 6", "76", "0", "0", " ", {}},
        {"radix=2 #2002 1 #2015 0", "10", "0", "0", " ", {}},
        {"radix=11 A", "A", "0", "0", " ", {}},
        {"radix=11 A radix=10", "10", "0", "0", " ", {}},
        {"7 / 2 = radix=2", "11", "1", "0", " ", {}},
        {"17 / 5 = radix=2", "11", "10", "0", " ", {}},
        {"10 MS radix=16", "A", "0", "A", " ", {}},
        {"radix=16 A / 3 = radix=10", "3", "1", "0", " ", {}},
        {"radix=16 FF +/- radix=2", "-11111111", "0", "0", " ", {}},
        {"radix=16 FF + 1 = radix=8", "400", "0", "0", " ", {}},
        {"radix=16 FF +", "FF", "0", "0", "   +", {}},
        {"radix=16 7 + 9 =", "10", "0", "0", " ", {}},
        {"radix=16 F Back", "0", "0", "0", " ", {}},
        {"radix=16 FE Back", "F", "0", "0", " ", {}},
        {"radix=2 1011 Back", "101", "0", "0", " ", {}},
    });
}

TEST(CalcEngineKeys, RadixTextRule) {
    struct Row {
        std::string text;
        unsigned radix;
    };
    const std::vector<Row> rows = {
        {"16", 16}, {" 8", 8},  {"\t8", 8},  {"+8", 8},  {"8x", 8},  {"016", 16}, {"2", 2},
        {"-8", 10}, {"1", 10},  {"17", 10},  {"", 10},   {"abc", 10}, {"0", 10},
        {"99999999999999999999999", 10},    {"x8", 10},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("radix text '" + row.text + "'");
        Calculator calc;
        calc.engine.OnRadixTextChanged(row.text);
        EXPECT_EQ(calc.engine.m_radix, row.radix);
        for (int d = 0; d < 16; ++d) EXPECT_EQ(calc.window.digitEnabled[d], d < static_cast<int>(row.radix));
    }
}

TEST(CalcEngineKeys, RadixChangeRendersRemainderValueMemory) {
    Calculator calc;
    ASSERT_TRUE(calc.Keys("9 MS 7 / 2 ="));
    calc.window.log.clear();
    calc.engine.OnRadixTextChanged("2");
    const std::vector<std::string> expected = {"set[1002]=1", "set[1000]=11", "set[1001]=1001"};
    EXPECT_EQ(calc.window.log, expected);
    EXPECT_EQ(calc.engine.m_freshEntry, 1);
    // An ignored radix text writes nothing.
    calc.window.log.clear();
    calc.engine.OnRadixTextChanged("20");
    EXPECT_TRUE(calc.window.log.empty());
}

TEST(CalcEngineKeys, Clipboard) {
    RunRows({
        {"255 radix=16 CopyV", "FF", "0", "0", " ", {"clip<-FF"}},
        {"255 radix=16 CopyV radix=10 PasteV", "0", "0", "0", " ", {"clip<-FF", kBadClipboard}},
        {"clip=123\\n456 PasteV", "123", "0", "0", " ", {}},
        {"clip=123\\r\\n456 PasteV", "123", "0", "0", " ", {}},
        {"clip=123\\r456 PasteV", "123", "0", "0", " ", {}},
        {"radix=16 clip=ff PasteV", "FF", "0", "0", " ", {}},
        {"radix=16 clip=ff PasteV radix=10", "255", "0", "0", " ", {}},
        {"7 clip=123\\s PasteV", "0", "0", "0", " ", {kBadClipboard}},
        {"7 clip=+123 PasteV", "0", "0", "0", " ", {kBadClipboard}},
        {"7 clip=\\s123 PasteV", "0", "0", "0", " ", {kBadClipboard}},
        {"7 clip= PasteV", "0", "0", "0", " ", {}},
        {"7 clip=\\n5 PasteV", "0", "0", "0", " ", {}},
        {"clip=12 PasteV 4", "124", "0", "0", " ", {}},
        {"7 noclip PasteV", "7", "0", "0", " ", {}},
        {"7 = noclip PasteV 4", "74", "0", "0", " ", {}},
        {"5 +/- CopyV", "-5", "0", "0", " ", {"clip<--5"}},
        {"clip=-5 PasteV", "-5", "0", "0", " ", {}},
        {"clip=- PasteV", "0", "0", "0", " ", {}},
        {"radix=2 clip=-101 PasteV radix=10", "-5", "0", "0", " ", {}},
        {"radix=8 clip=9 PasteV", "0", "0", "0", " ", {kBadClipboard}},
        {"7 / 2 = CopyR", "3", "1", "0", " ", {"clip<-1"}},
        {"5 MS CopyM", "5", "0", "5", " ", {"clip<-5"}},
        {"radix=16 FF MS CopyM", "FF", "0", "FF", " ", {"clip<-FF"}},
        {"clip=42 PasteM", "0", "0", "42", " ", {}},
        {"5 MS clip=x PasteM", "5", "0", "0", " ", {kBadClipboard}},
        {"5 MS noclip PasteM", "5", "0", "5", " ", {}},
        {"3 + clip=4 PasteV", "4", "0", "0", "   +", {}},
        {"3 + clip=4 PasteV =", "7", "0", "0", " ", {}},
        {"radix=2 clip=" + Repeat('1', 1600) + " PasteV", Repeat('1', 1600), "0", "0", " ", {}},
        {"radix=2 clip=1" + Repeat('0', 1600) + " PasteV", "0", "0", "0", " ", {kBadClipboard}},
        {"radix=2 clip=" + Repeat('1', 1601) + " PasteM", "0", "0", "0", " ", {kBadClipboard}},
    });
}

TEST(CalcEngineKeys, CopyThenPasteRoundTripsInEveryRadix) {
    for (unsigned radix = 2; radix <= 16; ++radix) {
        SCOPED_TRACE("radix " + std::to_string(radix));
        Calculator calc;
        ASSERT_TRUE(calc.Keys("radix=10 clip=-123456789012345678901234567890 PasteV"));
        ASSERT_TRUE(calc.Keys("radix=" + std::to_string(radix) + " CopyV Clear PasteV radix=10"));
        EXPECT_EQ(calc.Value(), "-123456789012345678901234567890");
        EXPECT_EQ(calc.window.events.size(), 1u);
    }
}

TEST(CalcEngineKeys, MainDisplayParse) {
    RunRows({
        {"radix=16 12 display=12G", "12", "0", "0", " ", {kBadCharacter, "box[Kalvora]: 12"}},
        {"9 display=12\\s", "9", "0", "0", " ", {kBadCharacter, "box[Kalvora]: 9"}},
        {"display=99 + 1 =", "100", "0", "0", " ", {}},
        {"5 display=123 4", "1234", "0", "0", " ", {}},    // the entry state is kept
        {"5 = display=123 4", "4", "0", "0", " ", {}},
        {"radix=16 display=ff", "ff", "0", "0", " ", {}},  // the user's text stays on show
        {"radix=16 display=ff radix=10", "255", "0", "0", " ", {}},
        {"7 display= + 1 =", "1", "0", "0", " ", {}},
        {"radix=2 1 display=" + Repeat('1', 1601), "1", "0", "0", " ", {kTooLargeEntry}},
        {"radix=8 display=78", "0", "0", "0", " ", {kBadCharacter, "box[Kalvora]: 0"}},
    });
}

TEST(CalcEngineKeys, MainDisplayParseOrderOfWritesAndBoxes) {
    {
        Calculator calc;
        ASSERT_TRUE(calc.Keys("radix=2 1"));
        calc.window.log.clear();
        calc.engine.OnValueTextChanged(Repeat('1', 1601));
        const std::vector<std::string> expected = {"set[1000]=1", kTooLargeEntry, "set[1000]=1"};
        EXPECT_EQ(calc.window.log, expected);
        EXPECT_EQ(calc.engine.m_valueText, "1");
    }
    {
        Calculator calc;
        ASSERT_TRUE(calc.Keys("radix=16 12"));
        calc.window.log.clear();
        calc.engine.OnValueTextChanged("12G");
        const std::vector<std::string> expected = {kBadCharacter, "box[Kalvora]: 12", "set[1000]=12"};
        EXPECT_EQ(calc.window.log, expected);
        EXPECT_EQ(calc.engine.m_valueText, "12");
    }
    {
        Calculator calc;
        calc.engine.OnValueTextChanged("77");
        EXPECT_TRUE(calc.window.log.empty());  // the control keeps the user's text
        EXPECT_EQ(calc.engine.m_valueText, "77");
        EXPECT_TRUE(calc.engine.m_value == 77);
    }
}

TEST(CalcEngineKeys, ModulusThroughTheDialog) {
    RunRows({
        {"modcancel=7 3 1/X", "1", "0", "0", " ", {}},
        {"mod=7 modcancel=11 3 1/X", "5", "0", "0", " ", {}},
        {"mod= 3 1/X", "0", "0", "0", " ", {kNoInverse}},  // the empty text is 0
        {"mod=7x 3 1/X", "1", "0", "0", " ", {"box[Kalvora]: 不正な文字が含まれています"}},
        {"radix=16 mod=11 3 1/X radix=10", "4", "0", "0", " ", {}},  // decimal whatever the radix
    });
}

TEST(CalcEngineKeys, ModulusDialogLogic) {
    struct Row {
        std::string start;                 // modulus when the dialog opens (decimal)
        std::vector<std::string> edits;    // texts of edit 1003, one change each
        std::string entered;               // m_entered afterwards (decimal)
        std::string enteredText;
        std::vector<std::string> log;      // boxes and edit rewrites
    };
    const std::string bigText = Repeat('9', 500);
    const std::vector<Row> rows = {
        {"2", {}, "2", "2", {}},
        {"2", {"17"}, "17", "17", {}},
        {"2", {"007"}, "7", "7", {}},  // the edit is not rewritten on success
        {"2", {""}, "0", "0", {}},
        {"2", {"-5"}, "-5", "-5", {}},
        {"2", {"-"}, "0", "0", {}},
        {"2", {"17x"}, "2", "2", {"box[Kalvora]: 不正な文字が含まれています", "edit=2"}},
        {"2", {"FF"}, "2", "2", {"box[Kalvora]: 不正な文字が含まれています", "edit=2"}},
        {"2", {" 5"}, "2", "2", {"box[Kalvora]: 不正な文字が含まれています", "edit=2"}},
        {"2", {bigText}, "2", "2", {"box[Kalvora]: 値が大きすぎます", "edit=2"}},
        {"2", {"1", "12", "12a", "12"}, "12", "12",
         {"box[Kalvora]: 不正な文字が含まれています", "edit=12"}},
        {"-9", {"x"}, "-9", "-9", {"box[Kalvora]: 不正な文字が含まれています", "edit=-9"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("start " + row.start);
        RecordingWindow window;
        BigInt start;
        ASSERT_EQ(start.FromString(row.start.c_str(), 10), 0);
        ModulusDlgLogic dlg(start);
        EXPECT_EQ(dlg.m_enteredText, row.start);
        for (const std::string& edit : row.edits) dlg.OnChangeEdit(edit, window);
        char buffer[BIGINT_TEXT_SIZE];
        EXPECT_EQ(std::string(dlg.m_entered.ToString(buffer, 10)), row.entered);
        EXPECT_EQ(dlg.m_enteredText, row.enteredText);
        EXPECT_EQ(window.log, row.log);
    }
}

TEST(CalcEngineKeys, ModulusDialogShowsDecimalInAnyRadix) {
    Calculator calc;
    ASSERT_TRUE(calc.Keys("radix=16"));
    EXPECT_EQ(calc.engine.OpenModulusDlg().m_enteredText, "2");
    ASSERT_TRUE(calc.Keys("mod=255"));
    EXPECT_EQ(calc.engine.OpenModulusDlg().m_enteredText, "255");
    EXPECT_TRUE(calc.engine.m_modulus == 255);
    ModulusDlgLogic dlg = calc.engine.OpenModulusDlg();
    dlg.OnChangeEdit("9", calc.window);
    calc.engine.EndModulusDlg(dlg, false);
    EXPECT_TRUE(calc.engine.m_modulus == 255);
}

TEST(CalcEngineStartUp, StartValues) {
    Calculator calc;
    CalcEngine& e = calc.engine;
    EXPECT_EQ(calc.Value(), "0");
    EXPECT_EQ(calc.Remainder(), "0");
    EXPECT_EQ(calc.Memory(), "0");
    EXPECT_EQ(calc.Op(), " ");
    EXPECT_EQ(e.m_radix, 10u);
    for (int d = 0; d < 16; ++d) EXPECT_EQ(calc.window.digitEnabled[d], d < 10) << d;
    EXPECT_EQ(e.m_freshEntry, 1);
    EXPECT_EQ(e.m_pendingOp, OP_NONE);
    EXPECT_EQ(e.m_logicSignMode, 0);
    EXPECT_TRUE(e.m_modulus == 2);
    EXPECT_EQ(e.m_modulusText, "2");
    EXPECT_EQ(e.m_lucasInputs.a, 1u);
    EXPECT_EQ(e.m_lucasInputs.b, 1u);
    EXPECT_EQ(e.m_lucasInputs.f0, 0u);
    EXPECT_EQ(e.m_lucasInputs.f1, 1u);
    EXPECT_EQ(e.m_lucasInputs.n, 2u);
    EXPECT_EQ(e.m_mersenneFermatInputs.mersenneExponent, 0u);
    EXPECT_EQ(e.m_mersenneFermatInputs.fermatIndex, 0u);
    EXPECT_EQ(e.m_progressionInputs.first, 1);
    EXPECT_EQ(e.m_progressionInputs.difference, 1);
    EXPECT_EQ(e.m_progressionInputs.arithTerm, 1);
    EXPECT_EQ(e.m_progressionInputs.geomSum, 1);
    EXPECT_EQ(e.m_progressionInputs.linked, 0);
    EXPECT_TRUE(e.m_primeSettings.target == 7);
    EXPECT_EQ(e.m_primeSettings.mrTrials, 30);
    EXPECT_EQ(e.m_primeSettings.lowerPriority, 1);
    EXPECT_EQ(e.m_primeSettings.trialDivBound, 65537);
    EXPECT_EQ(e.m_primeSettings.pm1Bound, 1048576);
    EXPECT_EQ(e.m_primeSettings.ecmTrials, 100);
}

TEST(CalcEngineStartUp, StartUpResetsRegistersAndToolInputs) {
    Calculator calc;
    ASSERT_TRUE(calc.Keys("mod=9 5 MS 3 + radix=16"));
    calc.engine.m_primeSettings.target = 1234;
    calc.engine.m_lucasInputs.n = 40;
    calc.engine.OnStartUp();
    EXPECT_TRUE(calc.engine.m_modulus == 2);
    EXPECT_TRUE(calc.engine.m_memory == 0);
    EXPECT_TRUE(calc.engine.m_operand == 0);
    EXPECT_EQ(calc.engine.m_pendingOp, OP_NONE);
    EXPECT_EQ(calc.engine.m_radix, 10u);
    EXPECT_EQ(calc.engine.m_opText, " ");
    EXPECT_TRUE(calc.engine.m_primeSettings.target == 7);
    EXPECT_EQ(calc.engine.m_lucasInputs.n, 2u);
}

TEST(CalcEngineStartUp, ConstructionBeforeStartUp) {
    CalcEngine e;
    EXPECT_EQ(e.m_radix, 0u);
    EXPECT_EQ(e.m_valueText, "0");
    EXPECT_EQ(e.m_remainderText, "");
    EXPECT_EQ(e.m_memoryText, "");
    EXPECT_TRUE(e.m_value == 0);
    // Without a window every handler still runs.
    e.OnStartUp();
    e.OnInitDialog();
    for (int id : {2007, 1024, 2005, 1025, 1056, 1059}) EXPECT_TRUE(e.OnCommand(id));
    EXPECT_TRUE(e.m_value == 12);
}

TEST(CalcEngineStartUp, CommandIdsOfTheEngine) {
    for (int id = 0; id < 70000; ++id) {
        const bool mine = (id >= 2000 && id <= 2015) || id == 1013 || (id >= 1021 && id <= 1039) ||
                          (id >= 1055 && id <= 1062) || id == 1065 || id == 1066 || id == 1067 ||
                          (id >= 1069 && id <= 1071);
        EXPECT_EQ(CalcEngine::IsEngineCommand(id), mine) << id;
    }
}

}  // namespace
