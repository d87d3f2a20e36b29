// What the presenter's window holds, read back for tests: the pixels, alpha
// included, that a compositor gets from the program.
#include <QBackingStore>
#include <QOpenGLContext>
#include <QOpenGLFunctions>

#include "display/gl_presenter.h"

namespace display {

QImage GlPresenter::PresentedImageForTesting() {
  QWindow* window = window_.data();
  if (!window || last_ == Last::kNothing) return QImage();
  if (lastFrameGl_) {
    if (!context_ || !MakeCurrent()) return QImage();
    DrawLastGl();
    const QSize size(qRound(window->width() * window->devicePixelRatio()),
                     qRound(window->height() * window->devicePixelRatio()));
    // A framebuffer without alpha reads back as alpha 1.
    QImage image(size, QImage::Format_RGBA8888);
    QOpenGLFunctions* gl = context_->functions();
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 4);
    gl->glReadPixels(0, 0, size.width(), size.height(), GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
    return image.mirrored();
  }
  if (!backingStore_) return QImage();
  // The raster backing stores paint into an image of the window's buffer.
  const auto* buffer = dynamic_cast<const QImage*>(backingStore_->paintDevice());
  return buffer ? buffer->copy() : QImage();
}

}  // namespace display
