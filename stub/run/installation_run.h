// The installation run: the one module that knows every stage and calls
// them in their fixed order, above the engine and the actions.
#pragma once

#include "engine/installation_host.h"
#include "engine/run_state.h"

namespace installation {

// Performs the whole run, reporting to the host. Returns when the run is
// complete and the working folder removed; when a stage gives the
// installation up, the program ends here.
void InstallationRun(session::Session& session, engine::InstallationHost& host,
                     const engine::UserChoices& choices);

// For a program that ends in the middle of the run (a confirmed Cancel, or
// memory running out): discards the extraction in progress so that the
// working folder can be removed. Does nothing when no run is going on.
void DiscardActiveRun();

}  // namespace installation
