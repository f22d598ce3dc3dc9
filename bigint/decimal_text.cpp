#include "bigint/decimal_text.h"

#include <climits>

namespace {

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads into a magnitude that stops growing once it passes `limit`, so any
// number of digits is safe.
int64_t ReadSaturated(std::string_view text, int64_t lowest, int64_t highest) {
    size_t i = 0;
    while (i < text.size() && IsWhiteSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Work on the magnitude as unsigned: |lowest| may exceed highest.
    const uint64_t limit = negative ? static_cast<uint64_t>(-(lowest + 1)) + 1u
                                    : static_cast<uint64_t>(highest);
    uint64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (magnitude > (limit - digit) / 10) {
            magnitude = limit;  // saturated; the remaining digits change nothing
            break;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (!negative) return static_cast<int64_t>(magnitude);
    if (magnitude == 0) return 0;
    return -static_cast<int64_t>(magnitude - 1) - 1;
}

}  // namespace

int ReadDecimalInt(std::string_view text) {
    return static_cast<int>(ReadSaturated(text, INT_MIN, INT_MAX));
}

int64_t ReadDecimalInt64(std::string_view text) {
    return ReadSaturated(text, INT64_MIN, INT64_MAX);
}
