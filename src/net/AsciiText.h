#pragma once

#include <cstddef>
#include <string_view>

// Byte-level text helpers for protocol text, which is ASCII whatever the locale says.
namespace ascii {

inline char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

inline bool startsWithNoCase(std::string_view s, std::string_view prefix)
{
    if (s.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (lower(s[i]) != lower(prefix[i]))
            return false;
    }
    return true;
}

inline bool equalNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && startsWithNoCase(a, b);
}

// s without the leading and trailing characters for which isBlank holds.
template <class IsBlank> std::string_view trimmed(std::string_view s, IsBlank isBlank)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

} // namespace ascii
