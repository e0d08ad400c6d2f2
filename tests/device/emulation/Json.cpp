#include "tests/device/emulation/Json.h"

#include <cstdio>

namespace quorvane::emulation {

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string jsonBool(bool value) {
  return value ? "true" : "false";
}

std::string jsonNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

std::string jsonArray(const std::vector<std::string>& items) {
  std::string out = "[";
  for (const std::string& item : items) out += (out.size() > 1 ? ", " : "") + item;
  return out + "]";
}

JsonObject& JsonObject::add(std::string_view key, const std::string& encoded) {
  if (!body_.empty()) body_ += ", ";
  body_ += jsonString(key) + ": " + encoded;
  return *this;
}

}  // namespace quorvane::emulation
