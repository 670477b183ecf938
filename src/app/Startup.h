#pragma once
// Start-up and shutdown of the program, in the fixed order the rest of the
// program relies on: pictures, data folder, settings file, main window, event
// list, event loop.

#include "app/AppContext.h"

namespace orvane
{

/// Runs the start-up steps before the main window: version text, pictures,
/// data folder, settings file (create if missing, open, load). Failures are
/// shown to the user and set ctx.quitFlag where the program must end.
void prepareContext(AppContext &ctx);

/// Runs the whole program inside an existing QApplication and returns the
/// process exit code (0).
int runProgram(AppContext &ctx);

} // namespace orvane
