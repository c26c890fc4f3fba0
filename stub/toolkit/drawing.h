// Bitmaps, colours, fonts and gradients.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/text_arg.h"

namespace toolkit {

// A colour of the package: 0x00BBGGRR, or with the top bit set the system
// colour whose index is the rest.
COLORREF ResolveColour(int64_t value);

// A font by name, height at 96 DPI (negative: character height in pixels),
// character set and style bits (1 bold, 2 italic, 4 underline, 8
// strike-out); fonts are kept for the whole run. SetFont gives a control
// this font's form for the control's DPI (FontForDpi, dpi.h).
HFONT StyledFont(const std::string& name, int height, int charset, int style);

// One of StyledFont's fonts at another 96-DPI height, and its own.
HFONT ResizedFont(HFONT font, int height);
int DesignHeight(HFONT font);

// A bitmap made from a BMP file image held in memory, or null when the
// image is not a whole, plain BMP file.
HBITMAP BitmapFromImage(const std::vector<uint8_t>& image);

// A bitmap (a DIB section) read from a BMP file: only the headers are read
// before the check, and the pixel rows of a plain BMP are read straight into
// the bitmap, so the file is never held twice; RLE and core-header pictures
// are decoded by the system. Null when the file is damaged or claims more
// pixel data than qb::kMaxBmpPixelBytes.
HBITMAP LoadBitmapFile(TextArg path);

// A picture in one or more forms: form 0 is the picture for 96 DPI, whose
// size at the window's DPI is the size it is drawn at; the others are
// larger forms of it, drawn in its place at larger scales. Empty: no
// picture.
struct Picture {
  static constexpr int kMaxForms = 8;
  HBITMAP forms[kMaxForms] = {};
  int count = 0;
  explicit operator bool() const { return count > 0; }
};

// Reads a picture: form 0 from path (LoadBitmapFile), then form 1, 2, ...
// from formPath(1), formPath(2), ... until one is not there or not whole.
// Empty when form 0 cannot be read.
Picture LoadPicture(TextArg path, std::string (*formPath)(int form, const void* data),
                    const void* data);

// Draws a picture at x, y of dc at its 96-DPI size scaled to dpi: the form
// nearest that size (qb::NearestPicture), copied when it has that size
// exactly, else stretched with the halftone filter. keyed leaves the
// pixels of the top-left pixel's colour out, so that what lies below shows
// through.
void DrawPicture(HDC dc, const Picture& picture, int x, int y, bool keyed, int dpi = 96);
// The same for a picture of one form.
void DrawPicture(HDC dc, HBITMAP picture, int x, int y, bool keyed, int dpi = 96);
// The same with a given transparent colour.
void DrawPictureKeyed(HDC dc, const Picture& picture, int x, int y, COLORREF key, int dpi = 96);

// A bitmap compatible with the screen.
HBITMAP CreateScreenBitmap(int width, int height);

// Paints a two-colour gradient over width x height of dc: the colours are
// computed once per line (or column) into a strip, the strip is stretched
// (halftone) to a 32-pixel band, and the band is tiled over the surface.
void PaintGradient(HDC dc, int width, int height, bool topToBottom, COLORREF first,
                   COLORREF second);

}  // namespace toolkit
