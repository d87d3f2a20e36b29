// Drawing the presenter's frames through a raster backing store, where
// OpenGL is missing or slower.
#pragma once

#include <QImage>
#include <memory>

#include "display/frame_content.h"

class QBackingStore;
class QWindow;

namespace display {

/// The backing store of the bound window and the canvas as it paints it.
class RasterTarget {
 public:
  /// Paints `content`.
  explicit RasterTarget(const FrameContent& content);
  ~RasterTarget();
  RasterTarget(const RasterTarget&) = delete;
  RasterTarget& operator=(const RasterTarget&) = delete;

  /// Drops the backing store (a new window, or the presenter going).
  void Reset();
  /// Makes the backing store fit `window`.
  void Prepare(QWindow* window);
  /// Keeps the canvas, made opaque, for the paint.
  void SetCanvas(const uint8_t* pixels, int width, int height, int pitch);
  /// Paints the content into the backing store; with the kept canvas when `withCanvas`.
  void Paint(QWindow* window, bool withCanvas);
  /// Hands the painted frame to the window.
  void Flush(QWindow* window);
  /// The backing store's buffer; null when there is none.
  QImage ReadBack() const;

 private:
  const FrameContent& content_;
  std::unique_ptr<QBackingStore> backingStore_;
  QImage canvas_;                 // the last canvas, opaque, as the raster path draws it
  const void* handle_ = nullptr;  // the platform window the store was made for
};

}  // namespace display
