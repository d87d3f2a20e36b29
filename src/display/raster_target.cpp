#include "display/raster_target.h"

#include <QBackingStore>
#include <QPainter>
#include <QWindow>

namespace display {
namespace {

// The canvas as an opaque image in `image` (reused from frame to frame). The
// canvas's fourth byte is 0, which QImage's RGB32 takes for alpha where it
// copies pixels as they are: a backing store with an alpha channel (Wayland's)
// would then hand the compositor a see-through frame, and compositors that
// blend by alpha show the windows below through the test.
void OpaqueCanvas(const uint8_t* pixels, int width, int height, int pitch, QImage* image) {
  if (image->width() != width || image->height() != height ||
      image->format() != QImage::Format_RGB32) {
    *image = QImage(width, height, QImage::Format_RGB32);
  }
  for (int y = 0; y < height; ++y) {
    const uint8_t* from = pixels + static_cast<size_t>(y) * pitch;
    auto* to = reinterpret_cast<uint32_t*>(image->scanLine(y));
    for (int x = 0; x < width; ++x, from += 4) {
      to[x] = 0xFF000000u | uint32_t{from[2]} << 16 | uint32_t{from[1]} << 8 | from[0];
    }
  }
}

}  // namespace

RasterTarget::RasterTarget(const FrameContent& content) : content_(content) {}

RasterTarget::~RasterTarget() = default;

void RasterTarget::Reset() {
  backingStore_.reset();
  handle_ = nullptr;
}

void RasterTarget::Prepare(QWindow* window) {
  if (!backingStore_ || handle_ != window->handle()) {
    // A new platform window (the old one destroyed and made again) needs a
    // new backing store.
    backingStore_ = std::make_unique<QBackingStore>(window);
    handle_ = window->handle();
  }
  if (backingStore_->size() != window->size()) backingStore_->resize(window->size());
}

void RasterTarget::SetCanvas(const uint8_t* pixels, int width, int height, int pitch) {
  OpaqueCanvas(pixels, width, height, pitch, &canvas_);
}

void RasterTarget::Paint(QWindow* window, bool withCanvas) {
  const QRect all(QPoint(0, 0), window->size());
  backingStore_->beginPaint(all);
  {
    QPainter painter(backingStore_->paintDevice());
    // Work in physical pixels, as the target rectangle is given in them.
    const qreal ratio = window->devicePixelRatio();
    painter.scale(1.0 / ratio, 1.0 / ratio);
    const QSize size = PhysicalSize(window);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(QRect(QPoint(0, 0), size), content_.kind == FrameContent::Kind::kFill
                                                    ? ColourOf(content_.fillColour)
                                                    : QColor(Qt::black));
    if (withCanvas) {
      const ui::Rect& t = content_.canvasTarget;
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawImage(QRect(t.left, t.top, t.Width(), t.Height()), canvas_);
    }
  }
  backingStore_->endPaint();
}

void RasterTarget::Flush(QWindow* window) {
  backingStore_->flush(QRect(QPoint(0, 0), window->size()));
}

QImage RasterTarget::ReadBack() const {
  if (!backingStore_) return QImage();
  // The raster backing stores paint into an image of the window's buffer.
  const auto* buffer = dynamic_cast<const QImage*>(backingStore_->paintDevice());
  return buffer ? buffer->copy() : QImage();
}

}  // namespace display
