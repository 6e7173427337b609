#include "ringtone/RtttlNumber.h"

#include <limits>

std::int32_t RtttlAtoi(std::string_view text)
{
    std::size_t i = 0;
    // The same blanks as isspace() in the C locale.
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kLimit)
            value = kLimit; // keeps reading digits without overflowing
    }
    if (negative)
        return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(value >= kLimit ? kLimit - 1 : value);
}
