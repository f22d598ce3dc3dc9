#pragma once
// Reading a decimal number from the command line: an optional sign, then
// digits only, within the BigInt range.

#include <string>

#include "bigint/bigint.h"

/// Parses `text` into `value`; on failure writes one line naming the
/// argument to standard error ("kalvora-cli COMMAND: 'x': ...") and returns false.
bool ParseDecimalArgument(const char* command, const std::string& text, BigInt& value);

/// The text without leading and trailing blanks (spaces, tabs, CR).
std::string TrimmedLine(const std::string& line);
