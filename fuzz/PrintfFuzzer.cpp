// Printf of one conversion built from the input (flags, width, precision
// and letter, the argument of the letter's type) between literal texts.
// The result never exceeds the 1023-byte cut and, for the conversions that
// print ASCII, holds what the C library prints up to that cut; a width or
// precision beyond the int range, which the C library refuses, prints
// nothing.
#include <cstdio>
#include <string>

#include "FuzzSupport.h"

namespace {

using zeft::fuzz::Require;

// Widths and precisions: mostly small, sometimes huge, sometimes beyond
// the int range.
std::string Number(zeft::fuzz::InputReader& input) {
  const uint8_t kind = input.Byte();
  if (kind < 128) return std::to_string(kind % 40);
  if (kind < 248) return std::to_string((kind << 8 | input.Byte()) % 5000);
  if (kind < 250) return kind & 1 ? "2147483648" : "99999999999";
  return kind & 1 ? "2147483647" : "999999999";
}

bool IsASCII(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zeft::fuzz::InputReader input(data, size);
  const uint8_t flags = input.Byte();
  std::string conversion = "%";
  const char kFlags[] = "-+ #0";
  for (int i = 0; i < 5; ++i) {
    if ((flags >> i) & 1) conversion += kFlags[i];
  }
  const uint8_t shape = input.Byte();
  if (shape & 1) conversion += Number(input);
  if (shape & 2) conversion += "." + Number(input);
  // Letters of the C library only: "%S", "%A" and the other capitals the
  // toolbox reads as objects take pointers.
  const char kLetters[] = "diuxXoeEfFgGsc";
  const char letter = kLetters[input.Byte() % 14];
  conversion += letter;
  std::string before = input.Piece();
  std::string after = input.Piece();
  for (std::string* text : {&before, &after}) {
    for (char& c : *text) {
      if (c == '%') c = '!';
    }
  }
  const std::string format = before + conversion + after;
  int64_t integer = 0;
  double real = 0;
  for (int i = 0; i < 8; ++i) integer = integer << 8 | input.Byte();
  std::memcpy(&real, &integer, sizeof(real));
  const std::string text = input.Piece();

  zeft::VString out;
  char expected[1024] = {};
  // Sizes that take the C library seconds and gigabytes are not compared;
  // every width and precision below 5000, alone or together, is.
  const bool refused = conversion.find("99999999999") != std::string::npos ||
                       conversion.find("2147483648") != std::string::npos;
  const bool huge = refused || format.find("999999999") != std::string::npos ||
                    format.find("2147483647") != std::string::npos;
  switch (letter) {
    case 'd':
    case 'i':
      out.Printf(format.c_str(), int(integer));
      if (!huge) std::snprintf(expected, sizeof(expected), format.c_str(), int(integer));
      break;
    case 'u':
    case 'x':
    case 'X':
    case 'o':
      out.Printf(format.c_str(), unsigned(integer));
      if (!huge) std::snprintf(expected, sizeof(expected), format.c_str(), unsigned(integer));
      break;
    case 's':
      out.Printf(format.c_str(), text.c_str());
      if (!huge) std::snprintf(expected, sizeof(expected), format.c_str(), text.c_str());
      break;
    case 'c':
      // A printable character: a NUL would end the C library's text.
      out.Printf(format.c_str(), int(0x20 + (integer & 0xFFFF) % 95));
      if (!huge)
        std::snprintf(expected, sizeof(expected), format.c_str(),
                      int(0x20 + (integer & 0xFFFF) % 95));
      break;
    default:
      out.Printf(format.c_str(), real);
      if (!huge) std::snprintf(expected, sizeof(expected), format.c_str(), real);
      break;
  }
  const std::string result = zeft::to_string(out);
  // Bytes that are no UTF-8 come back as replacement characters, longer
  // than the bytes that were cut.
  if (IsASCII(format) && IsASCII(text)) {
    Require(result.size() <= 1023);
    if (!huge) Require(result == expected);
    if (refused) Require(result == (before + after).substr(0, 1023));
  }
  return 0;
}
