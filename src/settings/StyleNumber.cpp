#include <cmath>
#include <cstdlib>
#include <string>

#include "settings/BarSettings.h"

namespace nimbrel {
namespace {

bool IsIgnoredBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;
}

double ReadRadix(const std::string& s, std::size_t pos, int radix) {
    double value = 0.0;
    while (pos < s.size() && DigitValue(s[pos]) < radix) {
        value = value * radix + DigitValue(s[pos]);
        ++pos;
    }
    return value;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

double ReadDecimal(const std::string& s) {
    std::size_t pos = 0;
    std::string number;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-'))
        number += s[pos++];
    bool digits = false;
    while (pos < s.size() && IsDigit(s[pos])) {
        number += s[pos++];
        digits = true;
    }
    if (pos < s.size() && s[pos] == '.') {
        number += s[pos++];
        while (pos < s.size() && IsDigit(s[pos])) {
            number += s[pos++];
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    // An exponent counts only when at least one digit follows its optional sign.
    if (pos < s.size() && (s[pos] == 'e' || s[pos] == 'E' || s[pos] == 'd' || s[pos] == 'D')) {
        std::size_t e = pos + 1;
        std::string exponent = "e";
        if (e < s.size() && (s[e] == '+' || s[e] == '-'))
            exponent += s[e++];
        if (e < s.size() && IsDigit(s[e])) {
            while (e < s.size() && IsDigit(s[e]))
                exponent += s[e++];
            number += exponent;
        }
    }
    // strtod is locale-dependent; the number text uses '.', which the "C" locale reads.
    return std::strtod(number.c_str(), nullptr);
}

}  // namespace

double ReadStyleNumber(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    for (char c : text) {
        if (!IsIgnoredBlank(c))
            s += c;
    }
    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'h' || s[1] == 'H')
            return ReadRadix(s, 2, 16);
        if (s[1] == 'o' || s[1] == 'O')
            return ReadRadix(s, 2, 8);
    }
    return ReadDecimal(s);
}

double RoundHalfEven(double value) {
    if (!std::isfinite(value))
        return value;
    double floor = std::floor(value);
    double diff = value - floor;
    if (diff > 0.5)
        return floor + 1.0;
    if (diff < 0.5)
        return floor;
    return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

std::int16_t StyleFromValue(std::string_view value) {
    double rounded = RoundHalfEven(ReadStyleNumber(value));
    // NaN cannot come out of the reader, but a comparison with it would fall through to the 1 as well.
    if (!(rounded >= 1.0) || rounded > 3.0)
        return 1;
    return static_cast<std::int16_t>(rounded);
}

}  // namespace nimbrel
