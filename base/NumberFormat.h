// Numbers formatted and parsed with "." whatever the process locale.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace norv {

// printf "%<width>.<decimals>f": right-aligned in at least width characters.
std::string FormatFixed(double value, int width, int decimals);

// Round to nearest, ties to even, as the current rounding mode does by default.
long long RoundEven(long double value);

// A whole decimal number (optional sign, digits, optional fraction and
// exponent) and nothing else; std::nullopt otherwise.
std::optional<double> ParseDecimal(std::string_view text);

}  // namespace norv
