// Drawing the presenter's frames through an OpenGL context of its own on the
// bound window.
#pragma once

#include <QImage>
#include <memory>

#include "display/frame_content.h"
#include "display/refresh_pacer.h"

class QOpenGLContext;
class QOpenGLTextureBlitter;
class QWindow;

namespace display {

/// The OpenGL context, the canvas texture and the blitter that draws it.
class GlTarget {
 public:
  /// Draws `content`; tells `pacer` when the swaps must be timed again.
  GlTarget(RefreshPacer& pacer, FrameContent& content);
  ~GlTarget();
  GlTarget(const GlTarget&) = delete;
  GlTarget& operator=(const GlTarget&) = delete;

  /// True while OpenGL may still draw: a context could be made and it has
  /// not failed on the bound window.
  bool Usable() const { return !unavailable_ && !failed_; }
  /// True once OpenGL was missing or failed on any window.
  bool FellBack() const { return fellBack_; }
  /// True when the renderer is a software rasteriser.
  bool Software() const { return software_; }
  /// A new window: OpenGL may be tried on it again.
  void Rebind();
  /// For tests: make-current and blitter set-up fail.
  void FailForTesting() { failForTesting_ = true; }

  /// Makes the context current on `window`, creating it where needed; false
  /// (and raster from then on) where OpenGL cannot draw into it.
  bool MakeCurrent(QWindow* window);
  /// Frees the context and its names; `window` is the one bound, or null.
  void Release(QWindow* window);
  /// Releases the context from the current thread, if it is current.
  void DoneCurrent();
  /// Uploads the canvas into the texture.
  void UploadCanvas(const uint8_t* pixels, int width, int height, int pitch);
  /// Draws the content into the back buffer of `window`.
  void Draw(QWindow* window);
  /// Waits until the GPU has done everything it was given.
  void Finish();
  /// Swaps `window`'s buffers and waits for the GPU; returns the seconds it took.
  double Swap(QWindow* window);
  /// Draws the content, swaps once to settle, then times swaps for `pacer`.
  void Calibrate(QWindow* window);
  /// The window's buffer as drawn again, read back; null when it cannot be.
  QImage ReadBack(QWindow* window);

 private:
  void Failed();

  RefreshPacer& pacer_;
  FrameContent& content_;
  std::unique_ptr<QOpenGLContext> context_;
  std::unique_ptr<QOpenGLTextureBlitter> blitter_;
  unsigned texture_ = 0;
  int textureWidth_ = 0;
  int textureHeight_ = 0;
  bool canvasFlipped_ = false;  // red and blue exchanged on upload (OpenGL ES)
  bool rendererKnown_ = false;
  bool software_ = false;     // a software rasteriser: swaps never wait for a refresh
  bool unavailable_ = false;  // no context could be made
  bool failed_ = false;       // OpenGL could not draw into this window: raster for good
  bool fellBack_ = false;
  bool failForTesting_ = false;
};

}  // namespace display
