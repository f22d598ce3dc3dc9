// The keyboard map: key-downs and characters to buttons (the window's filter
// applies it to Qt's key events; the GUI tests press real keys through it).

#include <gtest/gtest.h>

#include "calc/calc_engine.h"

namespace {

/// The button a mapping presses, 0 when it swallows the key, -1 when it passes it on.
int Button(const KeyMapping& m) { return m.action == KeyMapping::PRESS ? m.buttonId : m.action == KeyMapping::CONSUME ? 0 : -1; }

TEST(KeyboardMap, KeyDownsAndCharacters) {
    const std::pair<CalcVirtualKey, int> downs[] = {
        {VKEY_BACKSPACE, 1026}, {VKEY_ENTER, 1025}, {VKEY_ESCAPE, 1028}, {VKEY_DELETE, 1027}, {VKEY_F2, 1013},
        {VKEY_F10, 1013},       {VKEY_F3, 1029},    {VKEY_F4, 1030},     {VKEY_F5, 1031},     {VKEY_F6, 1032},
        {VKEY_OTHER, -1},
    };
    for (const auto& [key, button] : downs) EXPECT_EQ(Button(MapKeyDown(key)), button) << key;
    const struct {
        char32_t ch;
        unsigned radix;
        int button;
    } chars[] = {
        {U'!', 10, 1060}, {U'%', 10, 1033}, {U'&', 10, 1034}, {U'*', 10, 1022}, {U'+', 10, 1024},
        {U'-', 10, 1023}, {U'/', 10, 1021}, {U'=', 10, 1025}, {U'@', 10, 1061}, {U'G', 10, 1038},
        {U'g', 10, 1038}, {U'L', 10, 1037}, {U'l', 10, 1037}, {U'Y', 10, 1062}, {U'y', 10, 1062},
        {U'^', 10, 1036}, {U'|', 10, 1035}, {U'a', 11, 2010}, {U'e', 15, 2014},
        {U'h', 16, 0},    {U' ', 10, 0},    {U'.', 10, 0},    {U'\r', 10, 0},   {U'\x03', 10, 0}, {U'あ', 10, 0},
    };
    for (const auto& r : chars) EXPECT_EQ(Button(MapCharacter(r.ch, false, r.radix)), r.button) << static_cast<int>(r.ch);
    // With Ctrl held every character is swallowed.
    for (char32_t ch : {U'c', U'1', U'+', U'=', U'v', U'\x03'}) EXPECT_EQ(Button(MapCharacter(ch, true, 16)), 0) << static_cast<int>(ch);
    // A digit key and its button work below the radix only.
    for (unsigned radix = 2; radix <= 16; ++radix) {
        for (int d = 0; d < 16; ++d) {
            const bool enabled = d < static_cast<int>(radix);
            EXPECT_EQ(IsDigitEnabled(2000 + d, radix), enabled) << d << " radix " << radix;
            const char32_t upper = d < 10 ? U'0' + d : U'A' + (d - 10), lower = d < 10 ? upper : U'a' + (d - 10);
            EXPECT_EQ(Button(MapCharacter(upper, false, radix)), enabled ? 2000 + d : 0) << d << " radix " << radix;
            EXPECT_EQ(Button(MapCharacter(lower, false, radix)), enabled ? 2000 + d : 0) << d << " radix " << radix;
        }
        EXPECT_FALSE(IsDigitEnabled(1999, radix));
        EXPECT_FALSE(IsDigitEnabled(2016, radix));
    }
}

}  // namespace
