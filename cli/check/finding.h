#pragma once
// One finding of the checker: where in the program file, and what the engine will make of it.
#include <cstddef>
#include <string>
#include <vector>

namespace zelk::check {

struct Finding {
    std::string section;      // the section concerned; empty for a line outside any section
    int line = -1;            // the logic line concerned (block sections), or -1
    std::string key;          // the key concerned, or empty
    std::size_t fileLine = 0; // the line of the file concerned, 0 when none
    std::string message;      // UTF-8
};

using Findings = std::vector<Finding>;

// A logic line's number as the keys spell it: four digits ("0003").
std::string lineNumber(int line);

// "LogicCtl.ini:LG_MAIN:0003", "LogicCtl.ini:LG_CONTENTS:LG_MAIN_CNT", "LogicCtl.ini:LG_MAIN", outside any
// section "LogicCtl.ini:12", and about the whole file "LogicCtl.ini".
std::string location(const std::string& file, const Finding& finding);

} // namespace zelk::check
