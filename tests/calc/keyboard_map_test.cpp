// The keyboard map: key-downs and characters to buttons.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "calc/calc_engine.h"

namespace {

constexpr auto PASS = KeyMapping::PASS_ON;
constexpr auto EAT = KeyMapping::CONSUME;
constexpr auto PRESS = KeyMapping::PRESS;

TEST(KeyboardMap, KeyDowns) {
    struct Row {
        CalcVirtualKey key;
        KeyMapping::Action action;
        int button;
    };
    const std::vector<Row> rows = {
        {VKEY_BACKSPACE, PRESS, 1026}, {VKEY_ENTER, PRESS, 1025}, {VKEY_ESCAPE, PRESS, 1028},
        {VKEY_DELETE, PRESS, 1027},    {VKEY_F2, PRESS, 1013},    {VKEY_F10, PRESS, 1013},
        {VKEY_F3, PRESS, 1029},        {VKEY_F4, PRESS, 1030},    {VKEY_F5, PRESS, 1031},
        {VKEY_F6, PRESS, 1032},        {VKEY_OTHER, PASS, 0},
    };
    for (const Row& row : rows) {
        const KeyMapping m = MapKeyDown(row.key);
        EXPECT_EQ(m.action, row.action) << row.key;
        if (row.action == PRESS) { EXPECT_EQ(m.buttonId, row.button) << row.key; }
    }
}

TEST(KeyboardMap, Characters) {
    struct Row {
        char32_t ch;
        unsigned radix;
        KeyMapping::Action action;
        int button;
    };
    const std::vector<Row> rows = {
        {U'!', 10, PRESS, 1060}, {U'%', 10, PRESS, 1033}, {U'&', 10, PRESS, 1034},
        {U'*', 10, PRESS, 1022}, {U'+', 10, PRESS, 1024}, {U'-', 10, PRESS, 1023},
        {U'/', 10, PRESS, 1021}, {U'=', 10, PRESS, 1025}, {U'@', 10, PRESS, 1061},
        {U'G', 10, PRESS, 1038}, {U'g', 10, PRESS, 1038}, {U'L', 10, PRESS, 1037},
        {U'l', 10, PRESS, 1037}, {U'Y', 10, PRESS, 1062}, {U'y', 10, PRESS, 1062},
        {U'^', 10, PRESS, 1036}, {U'|', 10, PRESS, 1035},
        // digits against the radix
        {U'0', 2, PRESS, 2000},  {U'1', 2, PRESS, 2001},  {U'2', 2, EAT, 0},
        {U'7', 8, PRESS, 2007},  {U'8', 8, EAT, 0},       {U'9', 10, PRESS, 2009},
        {U'9', 9, EAT, 0},       {U'a', 10, EAT, 0},      {U'a', 11, PRESS, 2010},
        {U'A', 11, PRESS, 2010}, {U'B', 11, EAT, 0},      {U'f', 16, PRESS, 2015},
        {U'F', 16, PRESS, 2015}, {U'F', 15, EAT, 0},      {U'e', 15, PRESS, 2014},
        // everything else is swallowed
        {U'h', 16, EAT, 0},      {U'x', 16, EAT, 0},      {U' ', 10, EAT, 0},
        {U'.', 10, EAT, 0},      {U'\r', 10, EAT, 0},     {U'#', 10, EAT, 0},
        {U'(', 10, EAT, 0},      {U'\x03', 10, EAT, 0},   {U'あ', 10, EAT, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("char " + std::to_string(static_cast<unsigned>(row.ch)) + " radix " +
                     std::to_string(row.radix));
        const KeyMapping m = MapCharacter(row.ch, false, row.radix);
        EXPECT_EQ(m.action, row.action);
        if (row.action == PRESS) { EXPECT_EQ(m.buttonId, row.button); }
    }
}

TEST(KeyboardMap, CtrlSwallowsEveryCharacter) {
    for (char32_t ch : {U'c', U'C', U'1', U'+', U'=', U'v', U'\x03', U'g'}) {
        EXPECT_EQ(MapCharacter(ch, true, 16).action, EAT) << static_cast<unsigned>(ch);
    }
}

TEST(KeyboardMap, DigitButtonsEnabledBelowTheRadix) {
    for (unsigned radix = 2; radix <= 16; ++radix) {
        for (int id = 1995; id <= 2020; ++id) {
            const bool expected = id >= 2000 && id < 2000 + static_cast<int>(radix);
            EXPECT_EQ(IsDigitEnabled(id, radix), expected) << id << " radix " << radix;
            // The key of a disabled digit never presses it.
            if (id >= 2000 && id <= 2015) {
                const int d = id - 2000;
                const char32_t ch = d < 10 ? U'0' + d : U'A' + (d - 10);
                EXPECT_EQ(MapCharacter(ch, false, radix).action == PRESS, expected) << id;
            }
        }
    }
}

}  // namespace
