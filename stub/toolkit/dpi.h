// Layout at the screen's scale. Every place, size and font height of the
// program's windows is written for 96 DPI; the toolkit scales it to the DPI
// of the window it lies in, through Scaled, when a control is made or moved
// and when a window moves to a monitor of another DPI.
#pragma once

#include <windows.h>

namespace toolkit {

// value x dpi / 96, rounded once: the one place where a 96-DPI length
// becomes a length at the window's scale.
int Scaled(int value, int dpi);

// The DPI of the window's top-level window: its monitor's for a program
// that is aware per monitor, the system's where the system cannot tell per
// window, 96 for a program the system scales itself.
int WindowDpi(HWND window);

// A 96-DPI rectangle at dpi: its edges are scaled (each rounded once), so
// that controls side by side stay side by side.
RECT ScaledRect(int x, int y, int w, int h, int dpi);

// Scaled for the DPI of window.
inline int Scaled(HWND window, int value) { return Scaled(value, WindowDpi(window)); }

// A system metric at the given DPI (GetSystemMetricsForDpi where there is
// one, else the system's own value).
int MetricForDpi(int index, int dpi);

// Records a control's place and size at 96 DPI and puts it there at its
// window's DPI. fitText: its size follows its text (SizeToText), so only
// the place is kept.
void PlaceControl(HWND control, int x, int y, int w, int h, bool fitText = false);
// Records the 96-DPI place and size of a control just made at them.
void RecordLayout(HWND control, int x, int y, int w, int h);
// The 96-DPI size of a control made or placed through the toolkit (0 x 0
// for any other).
void DesignSize(HWND control, int* w, int* h);
// The control's size follows its text from now on.
void KeepFittingText(HWND control);
// Moves a control (96-DPI place) and keeps its size.
void MoveControl(HWND control, int x, int y);
// Sizes a control (96-DPI size) and keeps its place.
void ResizeControl(HWND control, int w, int h);

// Gives a top-level window a client area of w x h at 96 DPI, scaled to the
// window's DPI, and centres it on the screen when centre is set.
void FitClientArea(HWND window, int w, int h, bool centre);

// The outer width the window would have at 96 DPI: its client area in
// 96-DPI measure and its frame as the system draws it at 96 DPI.
int OuterWidthAt96(HWND window);

// Lays a top-level window out again at dpi: the place and size of each
// control made through the toolkit, and each font, at the new scale; the
// window itself goes to suggested (the system's rectangle for the new
// monitor) when given.
void RescaleWindow(HWND window, int dpi, const RECT* suggested);

// The font that stands for font (one of StyledFont's) at the given DPI.
HFONT FontForDpi(HFONT font, int dpi);

// A window given one of StyledFont's fonts says which in this property:
// a global atom named "face|height|weight" (height as made, at the
// window's DPI), which tools outside the program can read.
inline constexpr char kFontProperty[] = "QuillboxFont";
void NoteFont(HWND window, HFONT font);

}  // namespace toolkit
