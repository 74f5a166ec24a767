#pragma once
// Texts of the program file as the checker quotes and judges them.
#include <string>
#include <string_view>

namespace zelk::check {

// The text in double quotes, its code page 932 shown as UTF-8.
std::string quoted(std::string_view cp932);

// ASCII letters in upper case, as names are matched without regard to case.
std::string upperAscii(std::string_view name);

// "05": a variable's number as its keys write it.
std::string variableNumber(int n);
// "variable 05".
std::string variableName(int n);

// A signed decimal whole number within 32 bits, with blanks around it at most: what a decimal field or
// value should hold. The engine reads anything else as far as it goes.
bool isWholeNumber(std::string_view text);

} // namespace zelk::check
