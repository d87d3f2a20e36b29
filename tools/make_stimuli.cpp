// Makes the runtime stimuli in stim/: the cover picture of a patch, the
// opening picture, and the two feedback sounds. The files are written byte by
// byte so that their format is exactly the one the program reads (24-bit
// bottom-up bitmaps with a 40-byte information header, 16-bit mono PCM), and
// the same run always gives the same bytes.
//
//   make_stimuli <output directory>
#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

#include "display/layout.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kSampleRate = 44100;
const char* const kFontFamily = "IPAPGothic";

using Bytes = std::vector<uint8_t>;

void PutU16(Bytes& out, uint32_t v) {
  out.push_back(uint8_t(v & 0xFF));
  out.push_back(uint8_t((v >> 8) & 0xFF));
}

void PutU32(Bytes& out, uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

void PutTag(Bytes& out, const char* tag) {
  out.insert(out.end(), tag, tag + 4);
}

// A 24-bit bottom-up bitmap: 14-byte file header, 40-byte information header,
// no colour table, rows of blue, green, red padded to four bytes.
Bytes Bitmap(int width, int height, const std::function<QRgb(int x, int y)>& pixel) {
  const uint32_t rowBytes = (uint32_t(width) * 3 + 3) / 4 * 4;
  const uint32_t imageBytes = rowBytes * uint32_t(height);
  Bytes out;
  out.push_back('B');
  out.push_back('M');
  PutU32(out, 14 + 40 + imageBytes);  // file size
  PutU32(out, 0);                     // reserved
  PutU32(out, 14 + 40);               // pixel offset
  PutU32(out, 40);                    // information header size
  PutU32(out, uint32_t(width));
  PutU32(out, uint32_t(height));  // positive: bottom-up
  PutU16(out, 1);                 // planes
  PutU16(out, 24);                // bits per pixel
  PutU32(out, 0);                 // no compression
  PutU32(out, imageBytes);
  PutU32(out, 2835);  // 72 dots per inch, horizontal and vertical
  PutU32(out, 2835);
  PutU32(out, 0);  // colours used
  PutU32(out, 0);  // colours important
  for (int y = height - 1; y >= 0; --y) {
    const size_t rowStart = out.size();
    for (int x = 0; x < width; ++x) {
      const QRgb c = pixel(x, y);
      out.push_back(uint8_t(qBlue(c)));
      out.push_back(uint8_t(qGreen(c)));
      out.push_back(uint8_t(qRed(c)));
    }
    out.resize(rowStart + rowBytes, 0);
  }
  return out;
}

// 16-bit mono PCM at 44.1 kHz from samples in -1 to 1.
Bytes Wave(const std::vector<double>& samples) {
  const uint32_t dataBytes = uint32_t(samples.size()) * 2;
  Bytes out;
  PutTag(out, "RIFF");
  PutU32(out, 36 + dataBytes);
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  PutU32(out, 16);
  PutU16(out, 1);  // PCM
  PutU16(out, 1);  // mono
  PutU32(out, kSampleRate);
  PutU32(out, kSampleRate * 2);  // bytes per second
  PutU16(out, 2);                // bytes per frame
  PutU16(out, 16);               // bits per sample
  PutTag(out, "data");
  PutU32(out, dataBytes);
  for (double s : samples) {
    const long v = std::lround(std::clamp(s, -1.0, 1.0) * 32767.0);
    PutU16(out, uint32_t(uint16_t(int16_t(v))));
  }
  return out;
}

// Rises (or falls) over `length` samples without a corner at either end.
double RaisedCosine(int n, int length) {
  if (n <= 0) return 0.0;
  if (n >= length) return 1.0;
  return 0.5 * (1.0 - std::cos(kPi * n / length));
}

// Fades in over `fadeIn` samples and out over the last `fadeOut`, so that the
// sound starts and ends at silence without a click.
double Envelope(int n, int total, int fadeIn, int fadeOut) {
  return RaisedCosine(n, fadeIn) * RaisedCosine(total - 1 - n, fadeOut);
}

// Correct touch: a short bright tick, a 2 kHz tone dying away within 40 ms.
std::vector<double> ClickSound() {
  const int total = kSampleRate * 40 / 1000;
  const int attack = kSampleRate * 2 / 1000;
  const int release = kSampleRate * 3 / 1000;
  std::vector<double> s(size_t(total), 0.0);
  for (int n = 0; n < total; ++n) {
    const double t = double(n) / kSampleRate;
    const double decay = std::exp(-t / 0.008);
    s[size_t(n)] = 0.8 * Envelope(n, total, attack, release) * decay * std::sin(2 * kPi * 2000 * t);
  }
  return s;
}

// A square-ish wave: a sine pushed towards its peaks, which keeps the
// buzz of a square without its sharp edges.
double SoftSquare(double phase) {
  const double drive = 2.5;
  return std::tanh(drive * std::sin(phase)) / std::tanh(drive);
}

// Wrong touch: a low buzz of two close tones that beat, 250 ms.
std::vector<double> ErrorSound() {
  const int total = kSampleRate * 250 / 1000;
  const int fade = kSampleRate * 5 / 1000;
  std::vector<double> s(size_t(total), 0.0);
  for (int n = 0; n < total; ++n) {
    const double t = double(n) / kSampleRate;
    const double tones = 0.5 * (SoftSquare(2 * kPi * 220 * t) + SoftSquare(2 * kPi * 233 * t));
    s[size_t(n)] = 0.5 * Envelope(n, total, fade, fade) * tones;
  }
  return s;
}

// True when pixel (x, y) of a 120 × 120 patch lies in the disc of the patch
// images: the program's own disc raster, so that the cover hides the
// numbered discs exactly.
std::vector<bool> PatchDisc() {
  std::vector<bool> inside(120 * 120, false);
  ForEachDiscSpan([&](int x, int y, int count) {
    for (int i = 0; i < count; ++i) {
      if (x + i >= 0 && x + i < 120 && y >= 0 && y < 120) inside[size_t(y * 120 + x + i)] = true;
    }
  });
  return inside;
}

// Fraction of pixel (x, y) within `width` / 2 of the circle of `radius` about
// (60, 60), from 4 × 4 samples: a thin ring with soft edges.
double RingCoverage(int x, int y, double radius, double width) {
  int hits = 0;
  for (int sy = 0; sy < 4; ++sy) {
    for (int sx = 0; sx < 4; ++sx) {
      const double dx = x - 60 + (sx - 1.5) / 4.0;
      const double dy = y - 60 + (sy - 1.5) / 4.0;
      if (std::abs(std::sqrt(dx * dx + dy * dy) - radius) <= width / 2) ++hits;
    }
  }
  return hits / 16.0;
}

// The cover of a patch: a plain mid-grey disc, the same place and size as the
// numbered disc, with two faint concentric rings so that it reads as a closed
// lid rather than a blank; black around it, and no digits.
Bytes PatchBitmap() {
  const std::vector<bool> inside = PatchDisc();
  return Bitmap(120, 120, [&](int x, int y) {
    if (!inside[size_t(y * 120 + x)]) return qRgb(0, 0, 0);
    const double ring = std::max(RingCoverage(x, y, 44, 3), RingCoverage(x, y, 22, 3));
    const int grey = int(std::lround(128 - 26 * ring));
    return qRgb(grey, grey, grey);
  });
}

QFont Font(int pixelSize, int weight = QFont::Normal) {
  QFont font(kFontFamily);
  font.setPixelSize(pixelSize);
  font.setWeight(QFont::Weight(weight));
  // Greyscale antialiasing and no hinting: the same picture on any screen set-up.
  font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

// The opening picture, shown in a 512 × 512 square at the centre of the main
// window: the title, a 5 × 5 grid of discs with three numbered ones, and the
// hint that touching the square starts a test.
QImage OpeningImage() {
  QImage image(512, 512, QImage::Format_RGB32);
  image.fill(QColor(10, 12, 16));
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);

  QLinearGradient background(0, 0, 0, 512);
  background.setColorAt(0, QColor(22, 27, 35));
  background.setColorAt(1, QColor(8, 10, 13));
  p.fillRect(QRect(0, 0, 512, 512), background);
  // A frame marks the square that starts a test when touched.
  p.setPen(QPen(QColor(64, 74, 88), 2));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(7, 7, 498, 498), 18, 18);

  p.setPen(QColor(255, 255, 255));
  p.setFont(Font(76));
  p.drawText(QRect(0, 34, 512, 96), Qt::AlignCenter, "Dorvane");
  p.setPen(QColor(150, 158, 168));
  p.setFont(Font(17));
  p.drawText(QRect(0, 124, 512, 26), Qt::AlignCenter, "Visual-spatial working memory");

  // The grid motif: 5 × 5 discs, three of them showing their numbers.
  const int cell = 38;
  const double radius = 14.5;
  const int left = (512 - 5 * cell) / 2;
  const int top = 168;
  struct Numbered {
    int column, row, number;
  };
  const Numbered numbered[] = {{3, 0, 1}, {1, 2, 2}, {4, 3, 3}};
  p.setFont(Font(20));
  for (int row = 0; row < 5; ++row) {
    for (int column = 0; column < 5; ++column) {
      const QPointF centre(left + column * cell + cell / 2.0, top + row * cell + cell / 2.0);
      const Numbered* n = nullptr;
      for (const Numbered& candidate : numbered) {
        if (candidate.column == column && candidate.row == row) n = &candidate;
      }
      p.setPen(Qt::NoPen);
      p.setBrush(n ? QColor(240, 240, 240) : QColor(52, 60, 72));
      p.drawEllipse(centre, radius, radius);
      if (n) {
        p.setPen(QColor(0, 0, 0));
        p.drawText(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius),
                   Qt::AlignCenter, QString::number(n->number));
      }
    }
  }

  p.setPen(QColor(230, 233, 237));
  p.setFont(Font(26));
  p.drawText(QRect(0, 382, 512, 40), Qt::AlignCenter, "Touch or click here to start");
  p.setPen(QColor(150, 158, 168));
  p.setFont(Font(20));
  p.drawText(QRect(0, 424, 512, 32), Qt::AlignCenter,
             QString::fromUtf8("\xE7\x94\xBB\xE9\x9D\xA2\xE3\x81\xAB\xE8\xA7\xA6\xE3\x82\x8C"
                               "\xE3\x81\xA6\xE3\x82\xB9\xE3\x82\xBF\xE3\x83\xBC\xE3\x83\x88"));
  p.end();
  return image;
}

bool WriteFile(const QString& path, const Bytes& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  const qint64 size = qint64(bytes.size());
  return file.write(reinterpret_cast<const char*>(bytes.data()), size) == size && file.flush();
}

}  // namespace

int main(int argc, char** argv) {
  // Fonts need a GUI application, but no screen.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_stimuli <output directory>\n");
    return 2;
  }
  const QDir dir(QString::fromLocal8Bit(argv[1]));
  if (!dir.exists() && !QDir().mkpath(dir.path())) {
    std::fprintf(stderr, "make_stimuli: cannot create %s\n", argv[1]);
    return 1;
  }
  // Another font would change the picture and lack the Japanese line.
  const QFontInfo info(Font(20));
  if (info.family() != kFontFamily) {
    std::fprintf(stderr, "make_stimuli: font %s not found (got %s); install fonts-ipafont-gothic\n",
                 kFontFamily, qPrintable(info.family()));
    return 1;
  }

  const QImage opening = OpeningImage();
  const struct {
    const char* name;
    Bytes bytes;
  } files[] = {
      {"patch.bmp", PatchBitmap()},
      {"opening.bmp", Bitmap(512, 512, [&](int x, int y) { return opening.pixel(x, y); })},
      {"click.wav", Wave(ClickSound())},
      {"error.wav", Wave(ErrorSound())},
  };
  for (const auto& f : files) {
    const QString path = dir.filePath(f.name);
    if (!WriteFile(path, f.bytes)) {
      std::fprintf(stderr, "make_stimuli: cannot write %s\n", qPrintable(path));
      return 1;
    }
    std::printf("%s: %zu bytes\n", qPrintable(path), f.bytes.size());
  }
  return 0;
}
