// The optional full-screen background window behind the wizard.
#pragma once

#include "toolkit/window.h"

namespace startup {

class TBackgroundWindow : public toolkit::TWindow {
 public:
  // Creating the background window runs the whole startup routine.
  bool Create();
};

extern TBackgroundWindow Background;

// Shows the background window when the package asks for it (never in silent
// mode); otherwise keeps it hidden.
void PrepareBackground();

}  // namespace startup
