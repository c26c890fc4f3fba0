// Standard controls, fonts and modal loops: the only place besides
// window.cpp that creates windows.
#pragma once

#include <windows.h>

#include <string>

#include "toolkit/text_arg.h"

namespace toolkit {

// A font by face, height (negative: character height in pixels) and weight
// in the default character set; StyledFont (drawing.h) for the rest.
HFONT Font(const char* face, int height, bool bold = false);

// Places and sizes of controls are given at 96 DPI: they are made at their
// window's DPI and laid out again when it changes (dpi.h).
HWND CreateControl(const char* className, TextArg text, DWORD style, int x, int y, int w, int h,
                   HWND parent, int id = 0, DWORD exStyle = 0);
HWND CreateLabel(HWND parent, TextArg text, int x, int y, int w, int h, DWORD extraStyle = 0);
HWND CreateButton(HWND parent, TextArg text, int x, int y, int w, int h, int id,
                  DWORD kind = BS_PUSHBUTTON);
HWND CreateEdit(HWND parent, TextArg text, int x, int y, int w, int h, int id = 0);
HWND CreateProgressBar(HWND parent, int x, int y, int w, int h);
// A plain panel of a fixed background colour; it passes its children's
// commands on to its parent.
HWND CreatePanel(HWND parent, int x, int y, int w, int h, COLORREF colour, DWORD exStyle = 0);

// A picture area: painting is left to paint (double-buffered: it draws
// into a bitmap that is then copied), and static texts on it are drawn
// transparently over what it painted.
// The area's DPI is handed on, for the places and sizes of what it draws.
using PaintFn = void (*)(HDC dc, int width, int height, int dpi, void* data);
HWND CreatePictureArea(HWND parent, int x, int y, int w, int h, PaintFn paint, void* data);

// A read-only rich-text viewer (multi-line, vertical scroll bar only,
// selection kept visible, not a tab stop) on the given background. The
// rich-edit library is loaded from the system folder by its full path.
HWND CreateRichViewer(HWND parent, int x, int y, int w, int h, COLORREF background);
// Loads a file into a viewer as rich text (RTF), streamed in the control's
// own chunks and never held whole. The control keeps its own form of the
// whole document (under Wine some 60 bytes per byte of RTF), so it is given
// at most the first kRichTextLimit bytes: any file is shown in bounded
// memory, and a longer one is cut there. False when it cannot be read.
bool LoadRichText(HWND viewer, TextArg path);
constexpr size_t kRichTextLimit = 1024 * 1024;

// A report-style list without a column header: one column of the given
// width, one row picked at a time.
HWND CreateReportList(HWND parent, int x, int y, int w, int h, int id, int columnWidth);
void AddListRow(HWND list, TextArg text);
std::string ListRowText(HWND list, int row);

// Gives a control (or window) the font at the control's DPI.
void SetFont(HWND control, HFONT font);
std::string TextOf(HWND control);
void SetText(HWND control, TextArg text);
// Makes a static text, check box or radio button exactly as large as its
// caption needs; it stays so when the window's DPI changes.
void SizeToText(HWND control);
// Gives a word-wrapping text the font, or the largest smaller size of it
// (down to 8 pixels) in which its text fits the control, broken between
// words only.
void FitText(HWND control, HFONT font);
bool IsChecked(HWND control);
void SetChecked(HWND control, bool checked);

// Shows a window modally over its owner: the owner is disabled and window
// messages are dispatched until *done becomes true.
void RunModal(HWND window, HWND owner, const bool* done);

// Dispatches window messages, with the dialog keys of window, until *done
// becomes true or the message loop is told to quit.
void RunUntil(HWND window, const bool* done);

}  // namespace toolkit
