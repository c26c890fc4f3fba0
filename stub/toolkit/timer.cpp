#include "toolkit/timer.h"

#include <mmsystem.h>

#include "toolkit/system.h"

namespace toolkit {

namespace {

using SetEventFn = UINT(WINAPI*)(UINT, UINT, LPTIMECALLBACK, DWORD_PTR, UINT);
using KillEventFn = UINT(WINAPI*)(UINT);

struct Winmm {
  SetEventFn setEvent = nullptr;
  KillEventFn killEvent = nullptr;
};

const Winmm& Library() {
  static Winmm winmm = [] {
    Winmm w;
    HMODULE module = LoadSystemLibrary("winmm.dll");
    w.setEvent = LibraryFunction<SetEventFn>(module, "timeSetEvent");
    w.killEvent = LibraryFunction<KillEventFn>(module, "timeKillEvent");
    return w;
  }();
  return winmm;
}

struct Target {
  HWND window;
  UINT message;
};

void CALLBACK Tick(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  const Target* target = reinterpret_cast<const Target*>(user);
  PostMessageA(target->window, target->message, id, 0);
}

}  // namespace

bool TMultimediaTimer::Start(HWND window, UINT message, UINT period) {
  Stop();
  const Winmm& w = Library();
  if (!w.setEvent) return false;
  // The target lives as long as the program: a tick may still be on its
  // way when the timer is stopped.
  Target* target = new Target{window, message};
  id_ = w.setEvent(period, 255, Tick, reinterpret_cast<DWORD_PTR>(target), TIME_PERIODIC);
  return id_ != 0;
}

void TMultimediaTimer::Stop() {
  if (id_ && Library().killEvent) Library().killEvent(id_);
  id_ = 0;
}

}  // namespace toolkit
