// The numeric readings of text behind NSString's intValue, integerValue, longLongValue,
// doubleValue and boolValue: leading white space is skipped, then the longest numeric prefix is
// read, and text without one reads as 0 (NO). Independent of the process's locale.
#pragma once

#include <locale.h>

#include <string_view>

namespace qv::foundation {

// An optional sign and decimal digits, clamped to [minimum, maximum].
long long readInteger(std::string_view text, long long minimum, long long maximum);

// An optional sign, digits with an optional decimal point, an optional exponent. Overflow gives
// an infinity, underflow zero (or the nearest subnormal); "inf" and "nan" are not numbers here.
double readDouble(std::string_view text);

// The C locale, for text that must not follow the process's locale; 0 in the unlikely case
// that it cannot be made.
locale_t classicLocale();

// YES on Y, y, T, t or a non-zero digit after white space, an optional sign and zeros.
bool readBool(std::string_view text);

}  // namespace qv::foundation
