// zelkctl: runs the ZELK control engine without a desktop, and tools for the logic program.
#include "cli/command_table.h"

int main(int argc, char** argv) {
    return zelk::cli::dispatch(std::vector<std::string>(argv + 1, argv + argc));
}
