#pragma once
// The engine run inside zelkctl's own process, for runs served to plant protocols: only there are the
// variables within reach, the five exports hand out no more than CtlData. It is the engine the library
// holds, over the same system platform, and it is driven through the same five calls.
#include "binding/engine_library.h"
#include "cli/plant/run_access.h"

namespace zelk::plant {

// The five exports over the process's engine, which is created at the first call and lives until the
// process ends, as the library's instance does.
binding::EngineExports inProcessExports();

// The servers' access to that engine's run.
RunAccess& inProcessRun();

} // namespace zelk::plant
