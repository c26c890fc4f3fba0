// The optional full-screen background window behind the wizard: the
// installer's first window, whose creation runs the startup routine.
#pragma once

#include <windows.h>

#include "toolkit/window.h"

namespace startup {

// The background window's class, by which the wizard finds it.
inline constexpr char kBackgroundClass[] = "TQuillboxBackground";

class TBackgroundWindow : public toolkit::TWindow {
 public:
  // Creates the window (hidden), then runs the whole startup routine.
  bool Create();
  // Covers the screen with the gradient or the picture and the two texts
  // of the package, and shows the window behind the wizard.
  void Prepare();

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void PlaceLowerText();
  void DpiChanged() override { PlaceLowerText(); }

  HWND upperText_ = nullptr;
  HWND lowerText_ = nullptr;
  COLORREF upperColour_ = 0;
  COLORREF lowerColour_ = 0;
  HBITMAP canvas_ = nullptr;   // the screen-sized background, kept for the run
  HBITMAP picture_ = nullptr;  // support file 6, kept for the run
  HBRUSH brush_ = nullptr;     // the background brush made of one of them
};

extern TBackgroundWindow Background;

// Shows the background window when the package asks for it (never in silent
// mode); otherwise keeps it hidden.
void PrepareBackground();

// Brings the wizard to the front (the background never keeps the focus).
void BringWizardToFront();

}  // namespace startup
