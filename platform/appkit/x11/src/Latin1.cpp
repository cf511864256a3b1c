#include "appkit/x11/Latin1.h"

#include "foundation/UTF8.h"

namespace appkit::x11 {

std::string latin1ToUtf8(std::string_view latin1) {
  std::string out;
  out.reserve(latin1.size());
  for (unsigned char c : latin1) foundation::utf8::append(out, c);
  return out;
}

std::string utf8ToLatin1(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const foundation::utf8::Scalar scalar = foundation::utf8::decode(utf8, i);
    out += scalar.valid && scalar.value <= 0xFF ? static_cast<char>(scalar.value) : '?';
    i += scalar.length;
  }
  return out;
}

}  // namespace appkit::x11
