#pragma once
// Texts of the program file as the checker quotes and judges them.
#include "cli/shown_text.h"

#include <string>
#include <string_view>

namespace zelk::check {

// Names and values of the file in messages: escaped, in UTF-8, long ones cut.
using cli::quoted;
using cli::shown;

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
