// A device context that paints text and bitmaps with QPainter straight into
// a caller's 32-bit pixel buffer.
#pragma once

#include <QFont>
#include <QImage>

#include "ui/services.h"

namespace ui {

/// Maps the Windows face names the program asks for ("ＭＳ Ｐゴシック", "MS PGothic",
/// "MS Shell Dlg") onto a Japanese proportional Gothic present here. Idempotent.
void InstallFontSubstitutions();

/// The Qt font for a request; a positive height is the character-cell height
/// (ascent plus descent) in pixels, a negative one the em height. An empty face
/// gives a plain sans-serif.
QFont FontFor(const FontSpec& font);

/// Paints into pixels laid out blue, green, red, unused (QImage::Format_RGB32 on
/// little-endian). Pixels that nothing paints keep all four bytes.
class SurfaceDC : public DeviceContext {
 public:
  /// Wraps the buffer without copying; it must outlive the context.
  SurfaceDC(uint8_t* pixels, int width, int height, int pitch);

  uint32_t SetTextColor(uint32_t colour) override;
  uint32_t SetBkColor(uint32_t colour) override;
  int SetBkMode(int mode) override;
  void SelectFont(const FontSpec* font) override;
  int DrawText(const std::string& text, const Rect& rect, unsigned format) override;
  int StretchDIBits(const Rect& dest, const Rect& src, const DibBits& dib) override;

  /// The default font: a plain sans-serif with a 16-pixel cell.
  static FontSpec DefaultFont();

 private:
  QImage image_;
  uint32_t textColour_ = 0x000000;
  uint32_t bkColour_ = 0xFFFFFF;
  int bkMode_ = kBkOpaque;
  QFont font_;
};

}  // namespace ui
