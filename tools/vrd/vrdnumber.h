#pragma once
// The numbers of a recording header, in the one grammar that vrd and the
// Python reader both accept: decimal as the writer prints them ("%d",
// "%lld" and "%g"), nothing a C library parser would add.
//   integer  [+-]? digit+                                  (at most 24 characters)
//   decimal  [+-]? digit+ ([.,] digit+)? ([eE] [+-]? digit+)?   (at most 64)
// No blanks, no hexadecimal, no "inf" or "nan", nothing behind the number.
// A comma is taken as decimal separator, since writers before the C locale
// fix printed "%g" in the user's locale. A decimal whose value does not fit
// a double (1e999) is refused; one below its range reads as its nearest
// double, as the C and Python parsers round it.

#include <cstdint>
#include <string_view>

class VrdNumber {
public:
    static constexpr size_t kMaxIntegerChars = 24;
    static constexpr size_t kMaxDecimalChars = 64;

    // False (value untouched) unless text is an integer within int64.
    static bool ParseInteger(std::string_view text, int64_t& value);
    // False (value untouched) unless text is a decimal with a finite value.
    static bool ParseDecimal(std::string_view text, double& value);
};
