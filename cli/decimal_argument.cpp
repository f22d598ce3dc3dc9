#include "cli/decimal_argument.h"

#include <algorithm>
#include <cstdio>

#include "bigint/bigint_words.h"

bool ParseDecimalArgument(const char* command, const std::string& text, BigInt& value) {
    using kw::u64;
    const size_t start = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    bool ok = text.size() > start;
    for (size_t i = start; ok && i < text.size(); ++i) ok = text[i] >= '0' && text[i] <= '9';
    if (!ok) {
        std::fprintf(stderr, "kalvora-cli %s: '%s': 不正な文字が含まれています\n", command, text.c_str());
        return false;
    }
    // Nineteen digits at a time: w = w 10^k + chunk, refused past 1616 bits.
    u64 w[kw::WORDS + 1] = {};
    int n = 0;
    for (size_t i = start; i < text.size(); i += 19) {
        const size_t len = std::min<size_t>(19, text.size() - i);
        u64 scale = 1, chunk = 0;
        for (size_t j = 0; j < len; ++j) {
            scale *= 10;
            chunk = chunk * 10 + static_cast<u64>(text[i + j] - '0');
        }
        const u64 carry = n > 0 ? kw::Mul1(w, w, n, scale) : 0;
        if (carry != 0) w[n++] = carry;
        if (n == 0) {
            w[0] = chunk;
            n = chunk != 0 ? 1 : 0;
        } else if (kw::Add(w, w, n, &chunk, 1) != 0) {
            w[n++] = 1;
        }
        if (kw::BitLen(w, n) > BIGINT_BITS) {
            std::fprintf(stderr, "kalvora-cli %s: %s: 値が大きすぎます\n", command, text.c_str());
            return false;
        }
    }
    value = kw::FromWords(w, n);
    value.SetSign(text[0] == '-' && n > 0 ? 1 : 0);
    return true;
}

std::string TrimmedLine(const std::string& line) {
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}
