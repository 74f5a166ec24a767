#pragma once
// A full 128-line LG_MAIN mixing every connective, comparison, pin-state test, CALC with three operators
// and OUTR: the block of the allocation test and of the block-run benchmark.
#include "core/loaded_program.h"
#include "testing/program_builder.h"

#include <array>
#include <cstring>

namespace zelk::test {

inline void fillMixedBlock(Program& program) {
    for (int i = 0; i < 8; ++i) {
        std::memcpy(program.variables[i].type, "LONG", 5);
        program.variables[i].value = i * 100;
    }
    const std::array<LineRecord, 8> pattern = {
        makeLine({{"NEW "}, {"PIN ", "001"}, {"STS ", "STOP->ELEC"}, {"NONE"}, {"OUTR", "101"}}),
        makeLine({{"AND "}, {"VAR ", "01"}, {"COMP", "<="}, {"CNST", "-5"}, {"OUTR", "102"}}),
        makeLine({{"OR  "}, {"SVAR", "PORT 0"}, {"COMP", "="}, {"CNST", "255"}, {"OUTR", "104"}}),
        makeLine({{"NEXT"},
                  {},
                  {},
                  {},
                  {"CALC", "02"},
                  {"VAR ", "02"},
                  {"+   "},
                  {"CNST", "1"},
                  {"x   "},
                  {"SVAR", "10MS CNT"},
                  {"%   "},
                  {"CNST", "1000"}}),
        makeLine({{"NEW "}, {"PIN ", "0F0"}, {"STS ", "CHANGE"}, {"NONE"}, {"OUTR", "108"}}),
        makeLine({{"OR  "},
                  {"VAR ", "03"},
                  {"COMP", "<>"},
                  {"VAR ", "04"},
                  {"CALC", "05"},
                  {"VAR ", "05"},
                  {"^   "},
                  {"CNST", "255"},
                  {"&   "},
                  {"SVAR", "PASSAGE 10MS"},
                  {"-   "},
                  {"CNST", "3"}}),
        makeLine({{"AND "}, {"PIN ", "101"}, {"STS ", "ELEC"}, {"NONE"}, {"OUTR", "101"}}),
        makeLine({{"NONE"}, {}, {}, {}, {"OUTR", "10F"}}),
    };
    program.main.count = kBlockLines;
    for (int i = 0; i < kBlockLines; ++i)
        program.main.lines[i] = pattern[i % pattern.size()];
    program.main.decode();
}

} // namespace zelk::test
