#pragma once
// A properties file for `zelkctl prove`: UTF-8 text in the test scripts' style, one property a line, '#'
// starts a comment.
//
//   never out 2 on and in 3 off        no cycle ends with output 2 on while input 3 is off
//   always var 押下回数 >= 0            every cycle ends with this true
//   after in 0 rises, out 0 on within 3 cycles
//                                      a cycle in which input 0 becomes energized, or one of the 3 after it,
//                                      ends with output 0 on
//   reachable out 3 on                 some run has a cycle that ends with output 3 on
//
// A condition is atoms joined by "and" and "or" ("and" binds tighter), each atom optionally after "not":
//   in N on|off|rises|falls, out N on|off|rises|falls   a pin energized, released, becoming either
//   port0 RELATION VALUE, port1 RELATION VALUE        a port's byte
//   var NUMBER|NAME RELATION VALUE                    a variable (a name is bound to the program's first)
// Every atom speaks of the state a cycle ends with; "rises" and "falls" compare it with the cycle before.
#include "cli/virtual_test/script.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelk::prove {

enum class Subject { InputPin, OutputPin, Port0, Port1, Variable };
enum class PinTest { On, Off, Rises, Falls };

struct Atom {
    Subject subject = Subject::OutputPin;
    int index = 0;             // pin 0..7 (inputs) or 0..3 (outputs), or variable number; -1: by name
    std::string name;          // a variable's name as written (UTF-8)
    PinTest pin = PinTest::On; // for pins
    vtest::Relation relation = vtest::Relation::Eq; // for ports and variables
    std::int32_t value = 0;
    bool negated = false;
};

// Atoms in disjunctive form: the condition holds when every atom of one term holds.
struct Condition {
    std::vector<std::vector<Atom>> terms;
};

enum class Kind { Never, Always, Reachable, Response };

struct Property {
    int line = 0; // in the file, from 1
    Kind kind = Kind::Never;
    Condition condition; // never / always / reachable: the condition; response: what must follow
    Condition trigger;   // response: what it answers
    int within = 0;      // response: the cycles after the trigger's cycle
    std::string wording; // the property as written, for the report
};

struct PropertyError {
    int line = 0;
    std::string message;
};

// Parses a properties file. Returns nullopt with the first error on a bad file; a file without properties
// is an error too.
std::optional<std::vector<Property>> parseProperties(std::string_view text, PropertyError& error);

} // namespace zelk::prove
