#pragma once
// An up-down control with its buddy edit, without a toolkit: the position stays
// within Min..Max; a number typed into the edit is taken over when it is a
// whole number in range, anything else leaves the last valid position.

#include <algorithm>
#include <string>

namespace velmora {

class TUpDown {
public:
    TUpDown(int min, int max, int position)
        : Min(min),
          Max(max),
          Position(std::clamp(position, min, max)),
          BuddyText(std::to_string(Position))
    {}

    int Min;
    int Max;
    int Position;
    bool Wrap = false;
    std::string BuddyText; // what the edit box shows

    // The edit's text changed (typed, pasted or set).
    void buddyTextChanged(const std::string& text)
    {
        BuddyText = text;
        int value = 0;
        if (parse(text, value) && value >= Min && value <= Max) Position = value;
    }

    // The arrows (or the wheel, or the arrow keys): moves by whole steps and
    // writes the new position back into the edit.
    void step(int steps)
    {
        long long p = static_cast<long long>(Position) + steps;
        if (Wrap && Max > Min) {
            const long long span = static_cast<long long>(Max) - Min + 1;
            p = Min + (((p - Min) % span) + span) % span;
        } else {
            p = std::clamp<long long>(p, Min, Max);
        }
        Position = static_cast<int>(p);
        BuddyText = std::to_string(Position);
    }

    // Leaving the edit shows the position again.
    void editDone() { BuddyText = std::to_string(Position); }

private:
    static bool parse(const std::string& text, int& value)
    {
        std::size_t a = text.find_first_not_of(' '), b = text.find_last_not_of(' ');
        if (a == std::string::npos) return false;
        const std::string t = text.substr(a, b - a + 1);
        if (t.size() > 9 || !std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
        value = std::stoi(t);
        return true;
    }
};

} // namespace velmora
