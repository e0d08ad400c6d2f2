// printf-style formatting with %@. Each C conversion is handed to snprintf on its own, with its
// argument read at the exact promoted type its length modifier names, so every flag, width and
// precision behaves as the C library's; %@ is %s of the object's description. Plain %s, %d, %i
// and %@ are written directly, as snprintf would write them.
#include <sys/types.h>
#include <wchar.h>

#include <charconv>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/Foundation/Foundation.h"
#include "platform/Foundation/NumericText.h"

namespace qv {
namespace {

enum class Length { none, hh, h, l, ll, L, z, t, j };

struct Conversion {
  std::string flags;
  long long width = -1;  // -1: none given
  long long precision = -1;
  bool widthFromArgument = false;
  bool precisionFromArgument = false;
  Length length = Length::none;
  std::string_view lengthText;
  char letter = 0;
};

bool isFlag(char c) {
  return std::string_view("-+ #0").find(c) != std::string_view::npos;
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Digits saturate just above INT_MAX: the C library refuses such a width, and the conversion is
// then copied as written.
long long readNumber(const char*& at) {
  long long value = 0;
  while (isDigit(*at)) {
    if (value <= INT_MAX) value = value * 10 + (*at - '0');
    ++at;
  }
  return value;
}

Length readLength(const char*& at, std::string_view& text) {
  const char* start = at;
  Length length = Length::none;
  switch (*at) {
    case 'h':
      length = at[1] == 'h' ? Length::hh : Length::h;
      break;
    case 'l':
      length = at[1] == 'l' ? Length::ll : Length::l;
      break;
    case 'q':
      length = Length::ll;
      break;
    case 'L':
      length = Length::L;
      break;
    case 'z':
      length = Length::z;
      break;
    case 't':
      length = Length::t;
      break;
    case 'j':
      length = Length::j;
      break;
    default:
      return Length::none;
  }
  at += (length == Length::hh || (length == Length::ll && *at == 'l')) ? 2 : 1;
  // 'q' is the platform's spelling of 'll'; the C library knows only the latter.
  text = *start == 'q' ? std::string_view("ll") : std::string_view(start, at - start);
  return length;
}

// Parses the conversion after a '%'; `at` ends past it. The letter is 0 for an unknown one.
Conversion parse(const char*& at) {
  Conversion c;
  while (isFlag(*at)) c.flags += *at++;
  if (*at == '*') {
    c.widthFromArgument = true;
    ++at;
  } else if (isDigit(*at)) {
    c.width = readNumber(at);
  }
  if (*at == '.') {
    ++at;
    if (*at == '*') {
      c.precisionFromArgument = true;
      ++at;
    } else {
      c.precision = readNumber(at);
    }
  }
  c.length = readLength(at, c.lengthText);
  if (*at != '\0' && std::string_view("diuoxXcspfFeEgGaA@%n").find(*at) != std::string_view::npos) {
    c.letter = *at++;
  }
  return c;
}

// A conversion without flags, width, precision or length: %s, %d and %@ then need no snprintf
// (the hook table's log lines are made of these, at every library start).
bool isPlain(const Conversion& c) {
  return c.flags.empty() && c.width < 0 && c.precision < 0 && !c.widthFromArgument &&
         !c.precisionFromArgument && c.length == Length::none;
}

// A negative width from an argument means left alignment; a negative precision means none.
void resolveStars(Conversion& c, va_list& arguments) {
  if (c.widthFromArgument) {
    const long long width = va_arg(arguments, int);
    if (width < 0) c.flags += '-';
    c.width = width < 0 ? -width : width;
  }
  if (c.precisionFromArgument) {
    const long long precision = va_arg(arguments, int);
    c.precision = precision < 0 ? -1 : precision;
  }
}

// The one conversion as a format of its own for snprintf, stars resolved.
std::string cFormat(const Conversion& c, std::string_view lengthText, char letter) {
  std::string format = "%" + c.flags;
  if (c.width >= 0) format += std::to_string(c.width);
  if (c.precision >= 0) {
    format += '.';
    format += std::to_string(c.precision);
  }
  format += lengthText;
  format += letter;
  return format;
}

class ClassicNumerics {
 public:
  // Decimal points and digits as the C locale writes them, whatever locale the process uses.
  // (uselocale of 0 changes nothing.)
  ClassicNumerics() : previous_(uselocale(foundation::classicLocale())) {}
  ~ClassicNumerics() { uselocale(previous_); }
  ClassicNumerics(const ClassicNumerics&) = delete;
  ClassicNumerics& operator=(const ClassicNumerics&) = delete;

 private:
  locale_t previous_;
};

class Formatter {
 public:
  explicit Formatter(va_list arguments) { va_copy(arguments_, arguments); }
  ~Formatter() { va_end(arguments_); }
  Formatter(const Formatter&) = delete;
  Formatter& operator=(const Formatter&) = delete;

  std::string run(const char* format) {
    ClassicNumerics numerics;
    const char* at = format;
    while (*at != '\0') {
      const char* percent = at;
      while (*percent != '\0' && *percent != '%') ++percent;
      out_.append(at, percent);
      if (*percent == '\0') break;
      at = percent + 1;
      Conversion c = parse(at);
      if (c.letter == 0) {
        // Unknown conversion: its argument type is unknown too, so it is copied as written and
        // consumes nothing.
        out_.append(percent, at);
        continue;
      }
      resolveStars(c, arguments_);
      convert(c, std::string_view(percent, at - percent));
    }
    return std::move(out_);
  }

 private:
  template <typename T>
  void print(const Conversion& c, std::string_view written, T value) {
    printFormatted(cFormat(c, c.lengthText, c.letter), written, value);
  }

  template <typename T>
  void printFormatted(const std::string& format, std::string_view written, T value) {
    char buffer[256];
    const int size = std::snprintf(buffer, sizeof buffer, format.c_str(), value);
    if (size < 0) {
      // A width beyond INT_MAX, or a wide character the C locale cannot encode.
      out_.append(written);
    } else if (static_cast<std::size_t>(size) < sizeof buffer) {
      out_.append(buffer, size);
    } else {
      const std::size_t start = out_.size();
      out_.resize(start + size + 1);
      std::snprintf(out_.data() + start, size + 1, format.c_str(), value);
      out_.resize(start + size);
    }
  }

  // Answers whether the conversion was plain enough to write directly.
  bool convertPlain(const Conversion& c) {
    if (!isPlain(c)) return false;
    if (c.letter == 's') {
      const char* text = va_arg(arguments_, const char*);
      out_ += text != nullptr ? text : "(null)";  // as the C library writes a null string
      return true;
    }
    if (c.letter == 'd' || c.letter == 'i') {
      char digits[16];
      const auto end = std::to_chars(digits, digits + sizeof digits, va_arg(arguments_, int)).ptr;
      out_.append(digits, end);
      return true;
    }
    if (c.letter == '@') {
      out_ += describe(va_arg(arguments_, id)).c_str();  // up to a NUL, as %s stops there
      return true;
    }
    return false;
  }

  void convert(const Conversion& c, std::string_view written) {
    if (convertPlain(c)) return;
    switch (c.letter) {
      case 'd':
      case 'i':
        return printSigned(c, written);
      case 'u':
      case 'o':
      case 'x':
      case 'X':
        return printUnsigned(c, written);
      case 'c':
        if (c.length == Length::l) return print(c, written, va_arg(arguments_, wint_t));
        return print(c, written, va_arg(arguments_, int));
      case 's':
        if (c.length == Length::l) return print(c, written, va_arg(arguments_, const wchar_t*));
        return print(c, written, va_arg(arguments_, const char*));
      case 'p':
        return print(c, written, va_arg(arguments_, void*));
      case '@':
        return printObject(c, written, va_arg(arguments_, id));
      case 'n':
        // Writing through an argument pointer is never wanted from a format string.
        va_arg(arguments_, void*);
        return;
      case '%':
        out_ += '%';
        return;
      default:
        if (c.length == Length::L) return print(c, written, va_arg(arguments_, long double));
        return print(c, written, va_arg(arguments_, double));
    }
  }

  void printSigned(const Conversion& c, std::string_view written) {
    switch (c.length) {
      case Length::l:
        return print(c, written, va_arg(arguments_, long));
      case Length::ll:
      case Length::L:
        return print(c, written, va_arg(arguments_, long long));
      case Length::z:
        return print(c, written, va_arg(arguments_, ssize_t));
      case Length::t:
        return print(c, written, va_arg(arguments_, std::ptrdiff_t));
      case Length::j:
        return print(c, written, va_arg(arguments_, std::intmax_t));
      default:
        return print(c, written, va_arg(arguments_, int));
    }
  }

  void printUnsigned(const Conversion& c, std::string_view written) {
    switch (c.length) {
      case Length::l:
        return print(c, written, va_arg(arguments_, unsigned long));
      case Length::ll:
      case Length::L:
        return print(c, written, va_arg(arguments_, unsigned long long));
      case Length::z:
        return print(c, written, va_arg(arguments_, std::size_t));
      case Length::t:
        return print(c, written, va_arg(arguments_, std::ptrdiff_t));
      case Length::j:
        return print(c, written, va_arg(arguments_, std::uintmax_t));
      default:
        return print(c, written, va_arg(arguments_, unsigned int));
    }
  }

  // %@ is %s of the description; a precision never splits a UTF-8 sequence.
  void printObject(Conversion c, std::string_view written, id object) {
    const std::string text = describe(object);
    if (c.precision >= 0 && static_cast<std::size_t>(c.precision) < text.size()) {
      while (c.precision > 0 && (static_cast<unsigned char>(text[c.precision]) & 0xC0) == 0x80) {
        --c.precision;
      }
    }
    printFormatted(cFormat(c, "", 's'), written, text.c_str());
  }

  va_list arguments_;
  std::string out_;
};

}  // namespace

std::string formatString(const char* format, va_list arguments) {
  if (format == nullptr) return {};
  return Formatter(arguments).run(format);
}

std::string formatString(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::string text = formatString(format, arguments);
  va_end(arguments);
  return text;
}

}  // namespace qv
