// The system's multimedia timers (winmm, loaded from the system folder by
// its full path). Their ticks come on the system's timer thread; a tick is
// posted to a window as a message, so that its work is done on the
// window's own thread.
#pragma once

#include <windows.h>

namespace toolkit {

class TMultimediaTimer {
 public:
  ~TMultimediaTimer() { Stop(); }
  // Posts message (wParam: the timer's id) to window every period
  // milliseconds. False when the timer could not be started.
  bool Start(HWND window, UINT message, UINT period);
  void Stop();
  bool Running() const { return id_ != 0; }

 private:
  UINT id_ = 0;
};

}  // namespace toolkit
