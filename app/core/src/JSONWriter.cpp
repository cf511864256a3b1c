#include "core/JSONWriter.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "foundation/UTF8.h"

namespace core {
namespace {

void appendHexEscape(std::string& out, unsigned char c) {
  static constexpr char digits[] = "0123456789abcdef";
  out += "\\u00";
  out += digits[c >> 4];
  out += digits[c & 0xF];
}

// Bytes that go out as they are come in runs, copied at once.
void appendString(std::string& out, std::string_view s) {
  out += '"';
  std::size_t run = 0;
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0x80) {
      const foundation::utf8::Scalar scalar = foundation::utf8::decode(s, i);
      if (!scalar.valid) {
        out.append(s, run, i - run);
        out += foundation::utf8::kReplacementCharacterUTF8;
        run = i + scalar.length;
      }
      i += scalar.length;
      continue;
    }
    if (c >= 0x20 && c != '"' && c != '\\' && c != '/') {
      ++i;
      continue;
    }
    out.append(s, run, i - run);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '/':
        out += "\\/";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        appendHexEscape(out, c);
    }
    run = ++i;
  }
  out.append(s, run, s.size() - run);
  out += '"';
}

// Like the platform's own description of a Double, but without a trailing ".0": plain decimal
// notation from 1e-4 up to 2^53, exponential ("1e+16", "2.5e-05") outside.
void appendDouble(std::string& out, double value) {
  if (!std::isfinite(value))
    throw EncodingError("Unable to encode the number " + std::to_string(value) + " as JSON");
  if (value == 0) {
    out += std::signbit(value) ? "-0" : "0";
    return;
  }
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  const std::string_view scientific(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const std::size_t e = scientific.find('e');
  std::string digits;
  bool negative = false;
  for (char ch : scientific.substr(0, e)) {
    if (ch == '-') negative = true;
    if (ch >= '0' && ch <= '9') digits += ch;
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  int exponent = 0;
  const std::string_view exponentText = scientific.substr(e + 1);
  // to_chars writes "e+05": from_chars takes no plus sign.
  const std::string_view digitsOfExponent =
      exponentText.starts_with('+') ? exponentText.substr(1) : exponentText;
  std::from_chars(digitsOfExponent.data(), digitsOfExponent.data() + digitsOfExponent.size(),
                  exponent);
  const int decimalExponent = exponent + 1;  // value = 0.digits * 10^decimalExponent

  if (negative) out += '-';
  if (decimalExponent < -3 || std::fabs(value) > 0x1.0p53) {
    out += digits[0];
    if (digits.size() > 1) {
      out += '.';
      out.append(digits, 1);
    }
    out += 'e';
    out += exponent < 0 ? '-' : '+';
    const int magnitude = std::abs(exponent);
    if (magnitude < 10) out += '0';
    out += std::to_string(magnitude);
  } else if (decimalExponent <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-decimalExponent), '0');
    out += digits;
  } else if (static_cast<std::size_t>(decimalExponent) >= digits.size()) {
    out += digits;
    out.append(static_cast<std::size_t>(decimalExponent) - digits.size(), '0');
  } else {
    out.append(digits, 0, static_cast<std::size_t>(decimalExponent));
    out += '.';
    out.append(digits, static_cast<std::size_t>(decimalExponent));
  }
}

void appendValue(std::string& out, const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
      out += "null";
      break;
    case Json::value_t::boolean:
      out += value.get<bool>() ? "true" : "false";
      break;
    case Json::value_t::number_integer:
      out += std::to_string(value.get<std::int64_t>());
      break;
    case Json::value_t::number_unsigned:
      out += std::to_string(value.get<std::uint64_t>());
      break;
    case Json::value_t::number_float:
      appendDouble(out, value.get<double>());
      break;
    case Json::value_t::string:
      appendString(out, value.get_ref<const std::string&>());
      break;
    case Json::value_t::array: {
      out += '[';
      bool first = true;
      for (const auto& element : value) {
        if (!first) out += ',';
        first = false;
        appendValue(out, element);
      }
      out += ']';
      break;
    }
    case Json::value_t::object: {
      out += '{';
      bool first = true;
      for (const auto& [key, element] : value.items()) {
        if (!first) out += ',';
        first = false;
        appendString(out, key);
        out += ':';
        appendValue(out, element);
      }
      out += '}';
      break;
    }
    case Json::value_t::binary:
    case Json::value_t::discarded:
      throw EncodingError("Unable to encode a non-JSON value");
  }
}

}  // namespace

void appendJSONString(std::string& out, std::string_view text) {
  appendString(out, text);
}

void appendJSONNumber(std::string& out, double value) {
  appendDouble(out, value);
}

std::string writeJSON(const Json& value) {
  std::string out;
  appendValue(out, value);
  return out;
}

}  // namespace core
