#pragma once
// The engine's five exports, bound by name from ZELK_Eng at the first call of each (the program's directory
// first, as binding/engine_library.h searches). A missing library or entry point is fatal: a message names
// what is missing and the program ends with a non-zero status.
#include "ZELK_Eng.h"

#include <QString>

namespace zelk::console::engine {

std::int32_t openKaldex();
std::int32_t closeKaldex();
void getCtlData(CtlData& data);
void putCtlData(const CtlRequest& request);
[[noreturn]] void exitKaldex();

// Exit status of the program when the engine cannot be bound.
inline constexpr int kMissingEngineStatus = 3;

// For tests: the library file to bind (instead of the program directory's), and what happens when binding
// fails (instead of the message and the exit). The handler must not return.
void setLibraryPath(const QString& path);
using FatalHandler = void (*)(const QString& message);
void setFatalHandler(FatalHandler handler);

} // namespace zelk::console::engine
