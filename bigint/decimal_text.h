#pragma once
// The one reader of small decimal integers in text: the integer fields of
// the dialogs and the radix edit of the main window. Leading white space is
// skipped, one optional sign is taken, digits are read up to the
// first non-digit, and a text without digits gives 0. Values beyond the
// result type saturate at its limits instead of overflowing.

#include <cstdint>
#include <string_view>

/// The text read as a decimal int, saturated to INT_MIN..INT_MAX.
int ReadDecimalInt(std::string_view text);
/// The text read as a decimal int64_t, saturated to INT64_MIN..INT64_MAX.
int64_t ReadDecimalInt64(std::string_view text);
