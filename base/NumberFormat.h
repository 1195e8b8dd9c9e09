// Numbers formatted and parsed with "." whatever the process locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace norv {

// printf "%<width>.<decimals>f": right-aligned in at least width characters.
std::string FormatFixed(double value, int width, int decimals);

// The decimal integer Round(100 a / b) followed by "%" (ties to even; a zero
// divisor has no percentage and gives "0%").
std::string PercentText(int32_t a, int32_t b);

// Round to nearest, ties to even, as the current rounding mode does by default.
long long RoundEven(long double value);

// A whole decimal number (optional sign, digits, optional fraction and
// exponent) and nothing else; std::nullopt otherwise.
std::optional<double> ParseDecimal(std::string_view text);

}  // namespace norv
