#pragma once
// Names that compare without regard to case (file extensions, object names,
// INI sections and keys) fold ASCII letters only, whatever the locale: a
// file's meaning must not change with the user's language settings.

#include <string>
#include <string_view>

namespace velmora {

inline char lowerCaseChar(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

inline std::string lowerCase(std::string_view s)
{
    std::string out(s);
    for (char& c : out) c = lowerCaseChar(c);
    return out;
}

inline bool sameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerCaseChar(a[i]) != lowerCaseChar(b[i])) return false;
    return true;
}

} // namespace velmora
