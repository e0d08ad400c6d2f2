#include "platform/Foundation/NumericText.h"

#include <stdlib.h>

#include <cstddef>
#include <string>

namespace qv::foundation {
namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

std::size_t skipSpace(std::string_view text, std::size_t at = 0) {
  while (at < text.size() && isSpace(text[at])) ++at;
  return at;
}

std::size_t skipSign(std::string_view text, std::size_t at) {
  return at < text.size() && (text[at] == '+' || text[at] == '-') ? at + 1 : at;
}

std::size_t skipDigits(std::string_view text, std::size_t at) {
  while (at < text.size() && isDigit(text[at])) ++at;
  return at;
}

// The end of the longest prefix of `text`, from `start`, that reads as a decimal number.
std::size_t decimalEnd(std::string_view text, std::size_t start) {
  std::size_t at = skipSign(text, start);
  const std::size_t integerEnd = skipDigits(text, at);
  bool haveDigits = integerEnd > at;
  at = integerEnd;
  if (at < text.size() && text[at] == '.') {
    const std::size_t fractionEnd = skipDigits(text, at + 1);
    if (haveDigits || fractionEnd > at + 1) {
      haveDigits = true;
      at = fractionEnd;
    }
  }
  if (!haveDigits) return start;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    const std::size_t exponentDigits = skipSign(text, at + 1);
    const std::size_t exponentEnd = skipDigits(text, exponentDigits);
    if (exponentEnd > exponentDigits) at = exponentEnd;
  }
  return at;
}

}  // namespace

locale_t classicLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

long long readInteger(std::string_view text, long long minimum, long long maximum) {
  std::size_t at = skipSpace(text);
  const bool negative = at < text.size() && text[at] == '-';
  at = skipSign(text, at);
  // A magnitude that sticks just past every limit once it gets there, so nothing overflows.
  constexpr unsigned long long beyond = (1ULL << 63) + 1;
  unsigned long long magnitude = 0;
  for (; at < text.size() && isDigit(text[at]); ++at) {
    const unsigned digit = static_cast<unsigned>(text[at] - '0');
    magnitude = magnitude > beyond / 10 ? beyond : magnitude * 10 + digit;
  }
  if (negative) {
    const unsigned long long limit = 0ULL - static_cast<unsigned long long>(minimum);
    return magnitude >= limit ? minimum : -static_cast<long long>(magnitude);
  }
  return magnitude >= static_cast<unsigned long long>(maximum) ? maximum
                                                               : static_cast<long long>(magnitude);
}

double readDouble(std::string_view text) {
  const std::size_t start = skipSpace(text);
  const std::size_t end = decimalEnd(text, start);
  if (end == start) return 0.0;
  // strtod rounds correctly and saturates to infinity; it only ever sees the checked prefix.
  const std::string number(text.substr(start, end - start));
  const locale_t classic = classicLocale();
  return classic != static_cast<locale_t>(0) ? strtod_l(number.c_str(), nullptr, classic)
                                             : strtod(number.c_str(), nullptr);
}

bool readBool(std::string_view text) {
  std::size_t at = skipSign(text, skipSpace(text));
  while (at < text.size() && text[at] == '0') ++at;
  if (at == text.size()) return false;
  const char c = text[at];
  return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

}  // namespace qv::foundation
