#include "display/gl_target.h"

#include <QMatrix4x4>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLTextureBlitter>
#include <QWindow>
#include <algorithm>
#include <string>
#include <vector>

#ifndef GL_BGRA
#define GL_BGRA 0x80E1
#endif
#ifndef GL_UNPACK_ROW_LENGTH
#define GL_UNPACK_ROW_LENGTH 0x0CF2
#endif

namespace display {

GlTarget::GlTarget(RefreshPacer& pacer, FrameContent& content) : pacer_(pacer), content_(content) {}

GlTarget::~GlTarget() = default;

void GlTarget::Rebind() {
  DoneCurrent();
  failed_ = false;
}

void GlTarget::DoneCurrent() {
  if (context_ && QOpenGLContext::currentContext() == context_.get()) context_->doneCurrent();
}

void GlTarget::Failed() {
  // A window OpenGL cannot draw into is drawn through the raster path for the
  // rest of its life: a blank test is worse than a slower one.
  failed_ = true;
  fellBack_ = true;
  pacer_.StopBlocking();
}

bool GlTarget::MakeCurrent(QWindow* window) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!context_ || !context_->isValid()) {
      Release(window);
      auto context = std::make_unique<QOpenGLContext>();
      QSurfaceFormat format = window->requestedFormat();
      format.setSwapInterval(1);
      context->setFormat(format);
      if (!context->create()) {
        // No OpenGL here: the raster path takes over for good.
        unavailable_ = true;
        fellBack_ = true;
        return false;
      }
      context_ = std::move(context);
      pacer_.Uncalibrate();
    }
    if (!failForTesting_ && context_->makeCurrent(window)) {
      if (!rendererKnown_) {
        rendererKnown_ = true;
        const auto* name = context_->functions()->glGetString(GL_RENDERER);
        const std::string renderer = name ? reinterpret_cast<const char*>(name) : "";
        // Software rasterisers hand each frame to the server as an image:
        // their swaps take time but never wait for a refresh.
        for (const char* soft : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"}) {
          if (renderer.find(soft) != std::string::npos) software_ = true;
        }
        pacer_.SetSoftwareSwaps(software_);
      }
      if (!blitter_) {
        blitter_ = std::make_unique<QOpenGLTextureBlitter>();
        if (!blitter_->create()) {
          blitter_.reset();
          Failed();
          return false;
        }
      }
      return true;
    }
    // Only a lost context is worth a new one; a valid one that cannot draw
    // into the window hands it to the raster path.
    if (context_->isValid()) {
      Failed();
      return false;
    }
  }
  Failed();
  return false;
}

void GlTarget::Release(QWindow* window) {
  if (!context_) return;
  if (context_->isValid()) {
    // The names belong to the context; free them while it is current on
    // anything, the bound window or, when that is gone, an off-screen surface.
    QOffscreenSurface offscreen;
    bool current = window && window->handle() && window->surfaceType() == QSurface::OpenGLSurface &&
                   context_->makeCurrent(window);
    if (!current) {
      offscreen.setFormat(context_->format());
      offscreen.create();
      current = offscreen.isValid() && context_->makeCurrent(&offscreen);
    }
    if (current) {
      if (texture_) context_->functions()->glDeleteTextures(1, &texture_);
      blitter_.reset();
      context_->doneCurrent();
    }
  }
  blitter_.reset();
  texture_ = 0;
  textureWidth_ = 0;
  textureHeight_ = 0;
  context_.reset();
  pacer_.Uncalibrate();
  if (content_.kind == FrameContent::Kind::kCanvas) content_.kind = FrameContent::Kind::kNothing;
}

void GlTarget::UploadCanvas(const uint8_t* pixels, int width, int height, int pitch) {
  QOpenGLFunctions* gl = context_->functions();
  const bool es = context_->isOpenGLES();
  // OpenGL ES has no blue-first upload format without an extension; upload
  // as is and let the blitter exchange red and blue.
  canvasFlipped_ = es;
  const GLenum format = es ? GL_RGBA : GL_BGRA;
  if (!texture_ || width != textureWidth_ || height != textureHeight_) {
    if (!texture_) gl->glGenTextures(1, &texture_);
    gl->glBindTexture(GL_TEXTURE_2D, texture_);
    // Linear: the stretch is by a fraction (1.40625 on a 1080-line screen),
    // and nearest would draw every third canvas pixel twice as wide,
    // giving ragged disc edges and uneven strokes.
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    gl->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, format, GL_UNSIGNED_BYTE,
                     nullptr);
    textureWidth_ = width;
    textureHeight_ = height;
  }
  gl->glBindTexture(GL_TEXTURE_2D, texture_);
  gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  const int rowPixels = pitch / 4;
  const bool rowLength = !es || context_->format().majorVersion() >= 3;
  if (pitch == width * 4) {
    gl->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, format, GL_UNSIGNED_BYTE, pixels);
  } else if (rowLength && pitch % 4 == 0) {
    gl->glPixelStorei(GL_UNPACK_ROW_LENGTH, rowPixels);
    gl->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, format, GL_UNSIGNED_BYTE, pixels);
    gl->glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  } else {
    std::vector<uint8_t> packed(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
      std::copy_n(pixels + static_cast<size_t>(y) * pitch, width * 4,
                  packed.begin() + static_cast<size_t>(y) * width * 4);
    }
    gl->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, format, GL_UNSIGNED_BYTE,
                        packed.data());
  }
  gl->glBindTexture(GL_TEXTURE_2D, 0);
}

void GlTarget::Draw(QWindow* window) {
  QOpenGLFunctions* gl = context_->functions();
  const QSize size = PhysicalSize(window);
  gl->glDisable(GL_SCISSOR_TEST);
  gl->glDisable(GL_BLEND);
  gl->glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  gl->glViewport(0, 0, size.width(), size.height());
  if (content_.kind == FrameContent::Kind::kFill) {
    const QColor c = ColourOf(content_.fillColour);
    gl->glClearColor(c.redF(), c.greenF(), c.blueF(), 1.0f);
  } else {
    gl->glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  }
  gl->glClear(GL_COLOR_BUFFER_BIT);
  const ui::Rect& t = content_.canvasTarget;
  if (content_.kind != FrameContent::Kind::kCanvas || !texture_ || t.Width() <= 0 ||
      t.Height() <= 0)
    return;
  // GL counts rows from the bottom; the target counts them from the top.
  gl->glViewport(t.left, size.height() - t.bottom, t.Width(), t.Height());
  // The canvas's fourth byte is 0: keep the cleared alpha of 1 so that a
  // window with an alpha channel stays opaque.
  gl->glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
  blitter_->bind(GL_TEXTURE_2D);
  blitter_->setRedBlueSwizzle(canvasFlipped_);
  blitter_->blit(texture_, QMatrix4x4(), QOpenGLTextureBlitter::OriginTopLeft);
  blitter_->release();
  gl->glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

void GlTarget::Finish() {
  context_->functions()->glFinish();
}

// Returns how long the swap itself took, in seconds.
double GlTarget::Swap(QWindow* window) {
  const auto start = RefreshPacer::Clock::now();
  context_->swapBuffers(window);
  // Returning only once the GPU is done makes Present's return mean that the
  // frame is on its way, not merely queued.
  context_->functions()->glFinish();
  return std::chrono::duration<double>(RefreshPacer::Clock::now() - start).count();
}

void GlTarget::Calibrate(QWindow* window) {
  Draw(window);
  Swap(window);  // the first swap may carry one-off set-up costs
  pacer_.Calibrate([&] {
    Draw(window);
    Finish();
    return Swap(window);
  });
}

// What a compositor gets from the program, alpha included.
QImage GlTarget::ReadBack(QWindow* window) {
  if (!context_ || !MakeCurrent(window)) return QImage();
  Draw(window);
  const QSize size = PhysicalSize(window);
  // A framebuffer without alpha reads back as alpha 1.
  QImage image(size, QImage::Format_RGBA8888);
  QOpenGLFunctions* gl = context_->functions();
  gl->glPixelStorei(GL_PACK_ALIGNMENT, 4);
  gl->glReadPixels(0, 0, size.width(), size.height(), GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
  return image.mirrored();
}

}  // namespace display
