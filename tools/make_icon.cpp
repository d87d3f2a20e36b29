// Makes the program's icon from one list of shapes, so that the drawing and
// the pictures agree: dorvane.svg (scalable) and dorvane-<size>.png for the
// freedesktop icon theme. It shows what the test shows: covered discs on a
// 3 x 3 part of the grid, one found (green), one still numbered (white).
//
//   make_icon <output directory>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <cstdio>
#include <vector>

namespace {

// The drawing's own units; the SVG's view box.
constexpr int kSide = 256;
constexpr int kPngSizes[] = {48, 256};

struct Shape {
  enum Kind { kRoundedSquare, kDisc } kind;
  QRectF box;
  double radius;  // of the corners; a disc's is half its box
  QColor fill;
  QColor ring;  // transparent: none
  double ringWidth;
};

std::vector<Shape> Icon() {
  const QColor background(0x1B, 0x22, 0x30);
  const QColor covered(0x4A, 0x53, 0x66);
  const QColor found(0x3C, 0xB3, 0x71);
  const QColor shown(0xFF, 0xFF, 0xFF);
  std::vector<Shape> shapes;
  shapes.push_back({Shape::kRoundedSquare, QRectF(12, 12, 232, 232), 44, background,
                    QColor(0x8A, 0x96, 0xAD), 4});
  constexpr double kPitch = 64;
  constexpr double kDisc = 44;
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      const QColor& fill = row == 0 && column == 2   ? found
                           : row == 2 && column == 0 ? shown
                                                     : covered;
      const QRectF box(64 + kPitch * column - kDisc / 2, 64 + kPitch * row - kDisc / 2, kDisc,
                       kDisc);
      shapes.push_back({Shape::kDisc, box, kDisc / 2, fill, Qt::transparent, 0});
    }
  }
  return shapes;
}

QString Svg(const std::vector<Shape>& shapes) {
  QString svg = QStringLiteral(
                    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                    "viewBox=\"0 0 %1 %1\">\n")
                    .arg(kSide);
  for (const Shape& s : shapes) {
    const QString ring = s.ring.alpha() == 0 ? QString()
                                             : QStringLiteral(" stroke=\"%1\" stroke-width=\"%2\"")
                                                   .arg(s.ring.name())
                                                   .arg(s.ringWidth);
    if (s.kind == Shape::kDisc) {
      svg += QStringLiteral("  <circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"%4\"%5/>\n")
                 .arg(s.box.center().x())
                 .arg(s.box.center().y())
                 .arg(s.radius)
                 .arg(s.fill.name(), ring);
    } else {
      svg += QStringLiteral(
                 "  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" fill=\"%6\"%7/>\n")
                 .arg(s.box.x())
                 .arg(s.box.y())
                 .arg(s.box.width())
                 .arg(s.box.height())
                 .arg(s.radius)
                 .arg(s.fill.name(), ring);
    }
  }
  return svg + QStringLiteral("</svg>\n");
}

QImage Png(const std::vector<Shape>& shapes, int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(double(size) / kSide, double(size) / kSide);
  for (const Shape& s : shapes) {
    painter.setBrush(s.fill);
    painter.setPen(s.ring.alpha() == 0 ? QPen(Qt::NoPen) : QPen(s.ring, s.ringWidth));
    if (s.kind == Shape::kDisc) {
      painter.drawEllipse(s.box);
    } else {
      painter.drawRoundedRect(s.box, s.radius, s.radius);
    }
  }
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || !QDir().mkpath(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  const std::vector<Shape> shapes = Icon();
  QFile svg(out.filePath(QStringLiteral("dorvane.svg")));
  if (!svg.open(QIODevice::WriteOnly) || svg.write(Svg(shapes).toUtf8()) < 0) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(svg.fileName()));
    return 1;
  }
  for (int size : kPngSizes) {
    const QString name = out.filePath(QStringLiteral("dorvane-%1.png").arg(size));
    if (!Png(shapes, size).save(name, "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
      return 1;
    }
  }
  return 0;
}
