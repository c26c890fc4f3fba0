#include "toolkit/drawing.h"

#include <vector>

#include "drawing/drawing.h"
#include "text/text.h"
#include "toolkit/dpi.h"
#include "toolkit/files.h"

namespace toolkit {

COLORREF ResolveColour(int64_t value) {
  const uint32_t bits = static_cast<uint32_t>(value);
  return (bits & 0x80000000u) ? GetSysColor(static_cast<int>(bits & 0x7FFFFFFFu))
                              : static_cast<COLORREF>(bits & 0x00FFFFFFu);
}

namespace {

// Every font made, by its 96-DPI design and the DPI it was made for.
struct FontEntry {
  std::string name;
  int height, charset, style, dpi;
  HFONT font;
};
std::vector<FontEntry>& Fonts() {
  static std::vector<FontEntry> fonts;
  return fonts;
}

HFONT MakeFont(const std::string& name, int height, int charset, int style, int dpi) {
  for (const FontEntry& e : Fonts()) {
    if (e.name == name && e.height == height && e.charset == charset && e.style == style &&
        e.dpi == dpi) {
      return e.font;
    }
  }
  HFONT font = CreateFontA(Scaled(height, dpi), 0, 0, 0, (style & 1) ? FW_BOLD : FW_NORMAL,
                           (style & 2) != 0, (style & 4) != 0, (style & 8) != 0,
                           static_cast<BYTE>(charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, name.c_str());
  if (font) Fonts().push_back({name, height, charset, style, dpi, font});
  return font;
}

}  // namespace

HFONT StyledFont(const std::string& name, int height, int charset, int style) {
  return MakeFont(name, height, charset, style, 96);
}

void NoteFont(HWND window, HFONT font) {
  for (const FontEntry& e : Fonts()) {
    if (e.font != font) continue;
    const std::string name =
        e.name + "|" + qb::Decimal(Scaled(e.height, e.dpi)) + "|" + ((e.style & 1) ? "700" : "400");
    if (const ATOM atom = GlobalAddAtomA(name.c_str())) {
      SetPropA(window, kFontProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(atom)));
    }
    return;
  }
}

HFONT ResizedFont(HFONT font, int height) {
  for (const FontEntry& e : Fonts()) {
    if (e.font != font) continue;
    const std::string name = e.name;  // the list may grow
    return MakeFont(name, height, e.charset, e.style, 96);
  }
  return font;
}

int DesignHeight(HFONT font) {
  for (const FontEntry& e : Fonts()) {
    if (e.font == font) return e.height;
  }
  return 0;
}

HFONT FontForDpi(HFONT font, int dpi) {
  for (size_t i = 0; i < Fonts().size(); ++i) {
    const FontEntry& e = Fonts()[i];
    if (e.font != font) continue;
    if (e.dpi == dpi) return font;
    const std::string name = e.name;  // the list may grow
    return MakeFont(name, e.height, e.charset, e.style, dpi);
  }
  return font;
}

HBITMAP BitmapFromImage(const std::vector<uint8_t>& image) {
  qb::BmpLayout layout;
  if (!qb::CheckBmpImage(image, layout)) return nullptr;
  const auto* info = reinterpret_cast<const BITMAPINFO*>(image.data() + layout.infoOffset);
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT,
                                  image.data() + layout.bitsOffset, info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  return bitmap;
}

HBITMAP LoadBitmapFile(TextArg path) {
  TFileStream file;
  if (!file.OpenRead(path)) return nullptr;
  // The headers and colour table: 14 + at most 124 + 1024 bytes.
  uint8_t head[1280];
  const uint64_t size = file.Size();
  const size_t got = file.Read(head, sizeof head);
  qb::BmpLayout layout;
  if (!qb::CheckBmpHeader(head, got, size, layout)) {
    // RLE and core-header pictures are the system's to decode, once their
    // header's claim is within the limit; into one DIB section too.
    if (qb::SystemBmpBytes(head, got) > qb::kMaxBmpPixelBytes) return nullptr;
    file.Close();
    return static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                           LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  }
  const auto* info = reinterpret_cast<const BITMAPINFO*>(head + layout.infoOffset);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0);
  // The pixel rows go straight from the file into the bitmap.
  bool whole = bitmap && bits && file.Seek(layout.bitsOffset);
  for (size_t done = 0; whole && done < layout.pixelBytes;) {
    const size_t n = file.Read(static_cast<uint8_t*>(bits) + done, layout.pixelBytes - done);
    whole = n > 0;
    done += n;
  }
  if (whole) return bitmap;
  if (bitmap) DeleteObject(bitmap);
  return nullptr;
}

namespace {

// Copies w x h of source to x, y of dc at the size tw x th: a picture
// drawn at another scale than its own is stretched with the halftone
// filter, one at its own size is copied.
void CopyPicture(HDC dc, int x, int y, int tw, int th, HDC source, int w, int h, DWORD rop) {
  if (tw == w && th == h) {
    BitBlt(dc, x, y, w, h, source, 0, 0, rop);
    return;
  }
  const int oldMode = SetStretchBltMode(dc, HALFTONE);
  POINT origin;
  SetBrushOrgEx(dc, 0, 0, &origin);
  StretchBlt(dc, x, y, tw, th, source, 0, 0, w, h, rop);
  SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
  SetStretchBltMode(dc, oldMode);
}

}  // namespace

namespace {

// The form of picture to draw at dpi, its size, and the size to draw it at.
struct ChosenForm {
  HBITMAP bitmap = nullptr;
  int w = 0, h = 0;    // its own size
  int tw = 0, th = 0;  // the size it is drawn at
};

bool ChooseForm(const Picture& picture, int dpi, ChosenForm& chosen) {
  qb::PictureSize sizes[Picture::kMaxForms];
  int count = 0;
  for (; count < picture.count && count < Picture::kMaxForms; ++count) {
    BITMAP info = {};
    if (!picture.forms[count] || !GetObjectA(picture.forms[count], sizeof info, &info)) break;
    sizes[count] = {info.bmWidth, info.bmHeight};
  }
  if (count == 0) return false;
  chosen.tw = Scaled(sizes[0].width, dpi);
  chosen.th = Scaled(sizes[0].height, dpi);
  const size_t form = qb::NearestPicture(sizes, static_cast<size_t>(count), chosen.tw, chosen.th);
  chosen.bitmap = picture.forms[form];
  chosen.w = sizes[form].width;
  chosen.h = sizes[form].height;
  return true;
}

void DrawKeyed(HDC dc, const ChosenForm& c, int x, int y, COLORREF key) {
  const int w = c.w, h = c.h, tw = c.tw, th = c.th;
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ oldSource = SelectObject(source, c.bitmap);
  // A monochrome mask (white where the key colour is), then the picture
  // with its key pixels made black, laid over the masked background. The
  // mask is scaled pixel for pixel (a blend would miss the key colour), the
  // picture with the halftone filter.
  HDC maskDc = CreateCompatibleDC(dc);
  HBITMAP mask = CreateBitmap(tw, th, 1, 1, nullptr);
  HGDIOBJ oldMask = SelectObject(maskDc, mask);
  SetBkColor(source, key);
  SetStretchBltMode(maskDc, COLORONCOLOR);
  StretchBlt(maskDc, 0, 0, tw, th, source, 0, 0, w, h, SRCCOPY);
  HDC coloursDc = CreateCompatibleDC(dc);
  HBITMAP colours = CreateCompatibleBitmap(dc, tw, th);
  HGDIOBJ oldColours = SelectObject(coloursDc, colours);
  CopyPicture(coloursDc, 0, 0, tw, th, source, w, h, SRCCOPY);
  SetBkColor(coloursDc, RGB(255, 255, 255));
  SetTextColor(coloursDc, RGB(0, 0, 0));
  BitBlt(coloursDc, 0, 0, tw, th, maskDc, 0, 0, 0x00220326);  // DSna: key pixels to black
  SetBkColor(dc, RGB(255, 255, 255));
  SetTextColor(dc, RGB(0, 0, 0));
  BitBlt(dc, x, y, tw, th, maskDc, 0, 0, SRCAND);
  BitBlt(dc, x, y, tw, th, coloursDc, 0, 0, SRCPAINT);
  SelectObject(coloursDc, oldColours);
  DeleteObject(colours);
  DeleteDC(coloursDc);
  SelectObject(maskDc, oldMask);
  DeleteObject(mask);
  DeleteDC(maskDc);
  SelectObject(source, oldSource);
  DeleteDC(source);
}

}  // namespace

Picture LoadPicture(TextArg path, std::string (*formPath)(int form, const void* data),
                    const void* data) {
  Picture picture;
  picture.forms[0] = LoadBitmapFile(path);
  if (!picture.forms[0]) return picture;
  picture.count = 1;
  while (picture.count < Picture::kMaxForms) {
    const std::string next = formPath(picture.count, data);
    if (!FileExists(next)) break;
    HBITMAP form = LoadBitmapFile(next);
    if (!form) break;
    picture.forms[picture.count++] = form;
  }
  return picture;
}

void DrawPictureKeyed(HDC dc, const Picture& picture, int x, int y, COLORREF key, int dpi) {
  ChosenForm chosen;
  if (ChooseForm(picture, dpi, chosen)) DrawKeyed(dc, chosen, x, y, key);
}

void DrawPicture(HDC dc, const Picture& picture, int x, int y, bool keyed, int dpi) {
  ChosenForm chosen;
  if (!ChooseForm(picture, dpi, chosen)) return;
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, chosen.bitmap);
  const COLORREF key = GetPixel(source, 0, 0);
  if (!keyed) CopyPicture(dc, x, y, chosen.tw, chosen.th, source, chosen.w, chosen.h, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
  if (keyed) DrawKeyed(dc, chosen, x, y, key);
}

void DrawPicture(HDC dc, HBITMAP picture, int x, int y, bool keyed, int dpi) {
  Picture one;
  one.forms[0] = picture;
  one.count = picture ? 1 : 0;
  DrawPicture(dc, one, x, y, keyed, dpi);
}

HBITMAP CreateScreenBitmap(int width, int height) {
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  ReleaseDC(nullptr, screen);
  return bitmap;
}

void PaintGradient(HDC dc, int width, int height, bool topToBottom, COLORREF first,
                   COLORREF second) {
  const int n = topToBottom ? height : width;
  if (n <= 0 || width <= 0 || height <= 0) return;
  // The strip: 24-bit pixels, rows padded to four bytes.
  const std::vector<qb::Rgb> colours = qb::GradientStrip(n, first, second);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = topToBottom ? 1 : n;
  info.bmiHeader.biHeight = topToBottom ? -n : -1;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP strip = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!strip) return;
  auto* out = static_cast<BYTE*>(bits);
  const int stride = topToBottom ? 4 : (n * 3 + 3) / 4 * 4;
  for (int i = 0; i < n; ++i) {
    BYTE* pixel = topToBottom ? out + i * stride : out + i * 3;
    pixel[0] = GetBValue(colours[i]);
    pixel[1] = GetGValue(colours[i]);
    pixel[2] = GetRValue(colours[i]);
  }
  const int tileWidth = topToBottom ? 32 : width;
  const int tileHeight = topToBottom ? height : 32;
  HDC stripDc = CreateCompatibleDC(dc);
  HDC tileDc = CreateCompatibleDC(dc);
  HBITMAP tile = CreateCompatibleBitmap(dc, tileWidth, tileHeight);
  HGDIOBJ oldStrip = SelectObject(stripDc, strip);
  HGDIOBJ oldTile = SelectObject(tileDc, tile);
  SetStretchBltMode(tileDc, HALFTONE);
  SetBrushOrgEx(tileDc, 0, 0, nullptr);
  StretchBlt(tileDc, 0, 0, tileWidth, tileHeight, stripDc, 0, 0, topToBottom ? 1 : n,
             topToBottom ? n : 1, SRCCOPY);
  if (topToBottom) {
    for (int x = 0; x <= 32 * (width / 32); x += 32) {
      BitBlt(dc, x, 0, tileWidth, tileHeight, tileDc, 0, 0, SRCCOPY);
    }
  } else {
    for (int y = 0; y <= 32 * (height / 32); y += 32) {
      BitBlt(dc, 0, y, tileWidth, tileHeight, tileDc, 0, 0, SRCCOPY);
    }
  }
  SelectObject(stripDc, oldStrip);
  SelectObject(tileDc, oldTile);
  DeleteDC(stripDc);
  DeleteDC(tileDc);
  DeleteObject(tile);
  DeleteObject(strip);
}

}  // namespace toolkit
