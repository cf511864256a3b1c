#include "carbon/VirtualKeyCodes.h"

#include <array>
#include <utility>

namespace carbon {
namespace {

// {virtual key code, evdev code}, by position on the keyboard.
constexpr std::array<std::pair<int, int>, 113> kPositions{{
    // Letters
    {0, 30},
    {11, 48},
    {8, 46},
    {2, 32},
    {14, 18},
    {3, 33},
    {5, 34},
    {4, 35},
    {34, 23},
    {38, 36},
    {40, 37},
    {37, 38},
    {46, 50},
    {45, 49},
    {31, 24},
    {35, 25},
    {12, 16},
    {15, 19},
    {1, 31},
    {17, 20},
    {32, 22},
    {9, 47},
    {13, 17},
    {7, 45},
    {16, 21},
    {6, 44},
    // Digits
    {29, 11},
    {18, 2},
    {19, 3},
    {20, 4},
    {21, 5},
    {23, 6},
    {22, 7},
    {26, 8},
    {28, 9},
    {25, 10},
    // Modifier keys (the Fn key's evdev code is beyond what X can carry)
    {57, 58},
    {56, 42},
    {63, 464},
    {59, 29},
    {58, 56},
    {55, 125},
    {54, 126},
    {61, 100},
    {62, 97},
    {60, 54},
    // Punctuation and whitespace
    {36, 28},
    {42, 43},
    {50, 41},
    {43, 51},
    {24, 13},
    {27, 12},
    {47, 52},
    {39, 40},
    {41, 39},
    {44, 53},
    {49, 57},
    {48, 15},
    {33, 26},
    {30, 27},
    // Navigation and editing (Help sits where PC keyboards have Insert)
    {116, 104},
    {121, 109},
    {115, 102},
    {119, 107},
    {126, 103},
    {124, 106},
    {125, 108},
    {123, 105},
    {53, 1},
    {51, 14},
    {117, 111},
    {114, 110},
    // Media
    {74, 113},
    {72, 115},
    {73, 114},
    // Function keys
    {122, 59},
    {120, 60},
    {99, 61},
    {118, 62},
    {96, 63},
    {97, 64},
    {98, 65},
    {100, 66},
    {101, 67},
    {109, 68},
    {103, 87},
    {111, 88},
    {105, 183},
    {107, 184},
    {113, 185},
    {106, 186},
    {64, 187},
    {79, 188},
    {80, 189},
    {90, 190},
    // Keypad (Clear sits where PC keyboards have Num Lock)
    {82, 82},
    {83, 79},
    {84, 80},
    {85, 81},
    {86, 75},
    {87, 76},
    {88, 77},
    {89, 71},
    {91, 72},
    {92, 73},
    {71, 69},
    {65, 83},
    {75, 98},
    {76, 96},
    {81, 117},
    {78, 74},
    {67, 55},
    {69, 78},
}};

}  // namespace

std::optional<int> evdevCodeForVirtualKey(int virtualKeyCode) {
  for (auto [code, evdev] : kPositions)
    if (code == virtualKeyCode) return evdev;
  return std::nullopt;
}

std::optional<int> virtualKeyForEvdevCode(int evdevCode) {
  for (auto [code, evdev] : kPositions)
    if (evdev == evdevCode) return code;
  return std::nullopt;
}

}  // namespace carbon
