#include "ui/surface_dc.h"

#include <QColor>
#include <QFontMetrics>
#include <QPainter>
#include <QString>
#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <tuple>
#include <vector>

#include "ui/dib_decode.h"

namespace ui {
namespace {

// Formats we honour beyond the ones the program names.
constexpr unsigned kDtRight = 0x2;
constexpr unsigned kDtBottom = 0x8;

constexpr int kDefaultCellHeight = 16;
constexpr const char* kSansSerif = "sans-serif";

QColor ColourOf(uint32_t colourRef) {
  return QColor(colourRef & 0xFF, (colourRef >> 8) & 0xFF, (colourRef >> 16) & 0xFF);
}

QRect RectOf(const Rect& r) {
  return QRect(r.left, r.top, r.Width(), r.Height());
}

int CellHeight(QFont* font, int pixelSize) {
  font->setPixelSize(pixelSize);
  return QFontMetrics(*font).height();
}

// The pixel size whose cell (ascent + descent) comes nearest to `cell`, the
// smaller one on a tie. Fonts differ in how much of the cell lies outside
// the em, so the first guess is scaled by the measured ratio; ascent and
// descent are rounded apart, so some cells are a pixel off at every size.
int PixelSizeForCell(QFont font, int cell) {
  int guess = cell;
  const int first = CellHeight(&font, guess);
  if (first > 0 && first != cell) {
    guess = std::max(1, static_cast<int>(std::lround(double(cell) * guess / first)));
  }
  int best = guess;
  int bestError = std::abs(CellHeight(&font, guess) - cell);
  for (int px = std::max(1, guess - 2); px <= guess + 2; ++px) {
    const int error = std::abs(CellHeight(&font, px) - cell);
    if (error < bestError || (error == bestError && px < best)) {
      best = px;
      bestError = error;
    }
  }
  return best;
}

}  // namespace

void InstallFontSubstitutions() {
  static std::once_flag once;
  std::call_once(once, [] {
    // IPAPGothic is the proportional Gothic of Debian's fonts-ipafont-gothic,
    // metrically the closest to the Windows face; the rest are fallbacks for
    // machines without it.
    const QStringList gothic{"IPAPGothic",  "IPA Pゴシック",   "IPAGothic",
                             "DejaVu Sans", "Liberation Sans", kSansSerif};
    for (const char* face : {"ＭＳ Ｐゴシック", "MS PGothic", "MS Shell Dlg", "MS Shell Dlg 2",
                             "ＭＳ ゴシック", "MS Gothic"}) {
      QFont::insertSubstitutions(QString::fromUtf8(face), gothic);
    }
  });
}

QFont FontFor(const FontSpec& request) {
  InstallFontSubstitutions();
  QFont font(request.face.empty() ? QString::fromLatin1(kSansSerif)
                                  : QString::fromStdString(request.face));
  font.setStyleHint(QFont::SansSerif);
  const int weight = request.weight <= 0 ? 400 : std::clamp(request.weight, 1, 1000);
  font.setWeight(static_cast<QFont::Weight>(weight));

  if (request.height < 0) {
    font.setPixelSize(-request.height);
    return font;
  }
  const int cell = request.height == 0 ? kDefaultCellHeight : request.height;
  // The layout asks for the same font for every patch image: measure once.
  static std::map<std::tuple<std::string, int, int>, int> pixelSizes;
  const auto key = std::make_tuple(request.face, cell, weight);
  auto it = pixelSizes.find(key);
  if (it == pixelSizes.end()) it = pixelSizes.emplace(key, PixelSizeForCell(font, cell)).first;
  font.setPixelSize(it->second);
  return font;
}

FontSpec SurfaceDC::DefaultFont() {
  return FontSpec{kDefaultCellHeight, 400, std::string()};
}

SurfaceDC::SurfaceDC(uint8_t* pixels, int width, int height, int pitch)
    // The non-const constructor: painting writes into the caller's buffer and
    // never detaches into a copy while this is the only QImage on it.
    : image_(pixels, width, height, pitch, QImage::Format_RGB32), font_(FontFor(DefaultFont())) {}

uint32_t SurfaceDC::SetTextColor(uint32_t colour) {
  std::swap(textColour_, colour);
  return colour;
}

uint32_t SurfaceDC::SetBkColor(uint32_t colour) {
  std::swap(bkColour_, colour);
  return colour;
}

int SurfaceDC::SetBkMode(int mode) {
  if (mode != kBkTransparent && mode != kBkOpaque) return 0;
  std::swap(bkMode_, mode);
  return mode;
}

void SurfaceDC::SelectFont(const FontSpec* font) {
  font_ = FontFor(font ? *font : DefaultFont());
}

int SurfaceDC::DrawText(const std::string& text, const Rect& rect, unsigned format) {
  if (image_.isNull()) return 0;
  QString qtext = QString::fromStdString(text);
  const QRect box = RectOf(rect);
  QPainter painter(&image_);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.setFont(font_);
  painter.setPen(ColourOf(textColour_));
  if (!box.isEmpty()) painter.setClipRect(box);

  if (format & kDtSingleLine) {
    // Placed on whole pixels from the integer cell, as the platform does, so
    // that a centred cell sits exactly and the opaque box is the cell.
    qtext.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QFontMetrics metrics(font_, &image_);
    const int advance = metrics.horizontalAdvance(qtext);
    const int cell = metrics.height();
    int x = rect.left;
    if (format & kDtCenter) {
      x += (rect.Width() - advance) / 2;
    } else if (format & kDtRight) {
      x = rect.right - advance;
    }
    int y = rect.top;
    if (format & kDtVCenter) {
      y += (rect.Height() - cell) / 2;
    } else if (format & kDtBottom) {
      y = rect.bottom - cell;
    }
    if (box.isEmpty()) return cell;
    if (bkMode_ == kBkOpaque) painter.fillRect(QRect(x, y, advance, cell), ColourOf(bkColour_));
    painter.drawText(QPoint(x, y + metrics.ascent()), qtext);
    return cell;
  }

  // Several lines: top-aligned, each line placed horizontally on its own.
  int flags = Qt::AlignTop;
  if (format & kDtCenter) {
    flags |= Qt::AlignHCenter;
  } else if (format & kDtRight) {
    flags |= Qt::AlignRight;
  } else {
    flags |= Qt::AlignLeft;
  }
  const QRect bounds = painter.boundingRect(box, flags, qtext);
  if (box.isEmpty()) return bounds.height();
  if (bkMode_ == kBkOpaque) painter.fillRect(bounds, ColourOf(bkColour_));
  painter.drawText(box, flags, qtext);
  return bounds.height();
}

// The source rectangle is in the picture's own top-down coordinates, the
// whole picture being (0, 0, width, height). Mirroring through negative
// extents is not offered.
int SurfaceDC::StretchDIBits(const Rect& dest, const Rect& src, const DibBits& dib) {
  if (image_.isNull() || dest.Width() <= 0 || dest.Height() <= 0 || src.Width() <= 0 ||
      src.Height() <= 0) {
    return 0;
  }
  std::vector<uint32_t> argb;
  int width = 0;
  int height = 0;
  if (!DecodeDib(dib, &argb, &width, &height)) return 0;
  const QImage picture(reinterpret_cast<const uchar*>(argb.data()), width, height, width * 4,
                       QImage::Format_RGB32);
  QPainter painter(&image_);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(QRectF(RectOf(dest)), picture, QRectF(RectOf(src)));
  return src.Height();
}

}  // namespace ui
