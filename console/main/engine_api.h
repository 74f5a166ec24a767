#pragma once
// The engine as the main window uses it: the five exports behind an interface, so the window can run
// against the engine bound by name (the program) or against an engine object of a test. Beside them, a look
// at the devices that engine searches, for the reason of a failed open that the engine does not give.
#include "ZELK_Eng.h"
#include "hid/board_check.h"

#include <QString>

#include <cstdint>

namespace zelk::console {

class EngineApi {
public:
    virtual ~EngineApi() = default;
    virtual std::int32_t openKaldex() = 0;
    virtual std::int32_t closeKaldex() = 0;
    virtual void getCtlData(CtlData& data) = 0;
    virtual void putCtlData(const CtlRequest& request) = 0;
    // Ends the process; only a test's engine returns.
    virtual void exitKaldex() = 0;
    // Not an export: why no board can be opened, asked of the devices the engine searches (not of the
    // engine). Takes up to about a second, as a board search does.
    virtual hid::BoardCheck checkBoards() = 0;
};

// The engine library ZELK_Eng, each export bound by name at its first call (the program's directory first,
// as binding/engine_library.h searches). A missing library or entry point is fatal: a message names what is
// missing and the program ends with kMissingEngineStatus.
EngineApi& boundEngine();

// Exit status of the program when the engine cannot be bound.
inline constexpr int kMissingEngineStatus = 3;

// For tests: the library file to bind instead of the search, set before the first call of an export.
void setEngineLibraryPath(const QString& path);

} // namespace zelk::console
