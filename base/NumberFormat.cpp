#include "base/NumberFormat.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace norv {

std::string FormatFixed(double value, int width, int decimals) {
    char buf[512];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    std::string text(buf, r.ec == std::errc() ? r.ptr : buf);
    if (static_cast<int>(text.size()) < width) text.insert(0, static_cast<size_t>(width) - text.size(), ' ');
    return text;
}

std::string PercentText(int32_t a, int32_t b) {
    const double q = b == 0 ? 0.0 : static_cast<double>(a) / static_cast<double>(b) * 100.0;
    return std::to_string(static_cast<long long>(std::nearbyint(q))) + "%";
}

long long RoundEven(long double value) { return std::llrint(value); }

std::optional<double> ParseDecimal(std::string_view text) {
    if (text.empty()) return std::nullopt;
    size_t start = 0;
    bool negative = false;
    if (text[0] == '+' || text[0] == '-') {
        negative = text[0] == '-';
        start = 1;
    }
    // from_chars would also take "inf" and "nan"; a definition means digits.
    if (start >= text.size() || !(std::isdigit(static_cast<unsigned char>(text[start])) || text[start] == '.'))
        return std::nullopt;
    double value = 0;
    auto r = std::from_chars(text.data() + start, text.data() + text.size(), value, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
    return negative ? -value : value;
}

}  // namespace norv
