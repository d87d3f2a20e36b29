// The committed stimuli in stim/: files the program can read, a cover that
// hides exactly the numbered disc, and two clean, different sounds.
#include <QFile>
#include <QtTest>
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "display/dib_image.h"

namespace {

std::string StimPath(const QString& name) {
  return (QStringLiteral(DORVANE_STIM_DIR "/") + name).toStdString();
}

QByteArray ReadAll(const QString& name) {
  QFile file(QString::fromStdString(StimPath(name)));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

uint32_t U32(const QByteArray& b, int at) {
  return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
         uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}
uint16_t U16(const QByteArray& b, int at) {
  return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8);
}

struct Rgb {
  int r, g, b;
  int Grey() const { return (r * 11 + g * 16 + b * 5) / 32; }
  QString Name() const { return QString("rgb(%1, %2, %3)").arg(r).arg(g).arg(b); }
};

// Pixel (x, y), counted from the top, of a loaded 24-bit bottom-up bitmap.
Rgb PixelAt(const DibImage& image, int x, int y) {
  const uint8_t* p = image.bits + size_t(image.height - 1 - y) * image.rowBytes + size_t(x) * 3;
  return Rgb{p[2], p[1], p[0]};
}

// The pixels of the numbered disc: radius 59 about (60, 60), by the
// horizontal spans the patch images are drawn with.
std::vector<bool> NumberedDisc() {
  std::vector<bool> inside(120 * 120, false);
  auto span = [&](int x, int y, int count) {
    for (int i = 0; i < count; ++i) inside[size_t(y * 120 + x + i)] = true;
  };
  int cx = 59, cy = 0, e = 59;
  do {
    span(60 - cx, 60 + cy, 2 * cx + 1);
    span(60 - cx, 60 - cy, 2 * cx + 1);
    span(60 - cy, 60 + cx, 2 * cy + 1);
    span(60 - cy, 60 - cx, 2 * cy + 1);
    e -= 2 * cy + 1;
    ++cy;
    if (e < 0) {
      e += 2 * cx;
      --cx;
    }
  } while (cx >= cy);
  return inside;
}

struct Sound {
  uint16_t format = 0, channels = 0, bits = 0, blockAlign = 0;
  uint32_t rate = 0, byteRate = 0;
  std::vector<int16_t> samples;
};

// Walks the chunks of a RIFF WAVE file; false when it is not one.
bool ReadSound(const QByteArray& b, Sound* s) {
  if (b.size() < 12 || b.left(4) != "RIFF" || b.mid(8, 4) != "WAVE") return false;
  if (U32(b, 4) != uint32_t(b.size() - 8)) return false;
  bool haveFormat = false, haveData = false;
  for (int at = 12; at + 8 <= b.size();) {
    const QByteArray id = b.mid(at, 4);
    const int size = int(U32(b, at + 4));
    const int body = at + 8;
    if (size < 0 || body + size > b.size()) return false;
    if (id == "fmt " && size >= 16) {
      s->format = U16(b, body);
      s->channels = U16(b, body + 2);
      s->rate = U32(b, body + 4);
      s->byteRate = U32(b, body + 8);
      s->blockAlign = U16(b, body + 12);
      s->bits = U16(b, body + 14);
      haveFormat = true;
    } else if (id == "data") {
      for (int i = 0; i + 1 < size; i += 2) s->samples.push_back(int16_t(U16(b, body + i)));
      haveData = true;
    }
    at = body + size + (size & 1);
  }
  return haveFormat && haveData;
}

}  // namespace

class StimuliTest : public QObject {
  Q_OBJECT

 private slots:
  void bitmaps_areBottomUp24BitFilesTheProgramLoads_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    QTest::newRow("patch") << "patch.bmp" << 120;
    QTest::newRow("opening") << "opening.bmp" << 512;
  }
  void bitmaps_areBottomUp24BitFilesTheProgramLoads() {
    QFETCH(QString, name);
    QFETCH(int, size);
    const QByteArray file = ReadAll(name);
    QVERIFY(file.size() > 54);
    QCOMPARE(file.left(2), QByteArray("BM"));
    QCOMPARE(U32(file, 2), uint32_t(file.size()));
    QCOMPARE(U32(file, 10), 54u);          // pixels right after the headers
    QCOMPARE(U32(file, 14), 40u);          // plain information header
    QCOMPARE(U16(file, 26), uint16_t(1));  // planes
    QCOMPARE(U32(file, 30), 0u);           // not compressed
    QCOMPARE(U32(file, 34), uint32_t(file.size() - 54));

    DibImage image;
    QCOMPARE(image.Load(StimPath(name)), 1);
    QCOMPARE(image.width, size);
    QCOMPARE(image.height, size);  // positive: bottom-up
    QCOMPARE(image.bitCount, 24);
    QCOMPARE(image.colourCount, 0);
    QCOMPARE(image.rowBytes, size * 3);
    QCOMPARE(image.bits, image.header + 40);
  }

  void patch_coversExactlyTheNumberedDiscWithPlainGrey() {
    const std::vector<bool> disc = NumberedDisc();
    QCOMPARE(int(std::count(disc.begin(), disc.end(), true)), 11157);
    DibImage image;
    QCOMPARE(image.Load(StimPath("patch.bmp")), 1);
    QCOMPARE(image.width, 120);
    QCOMPARE(image.height, 120);
    for (int y = 0; y < 120; ++y) {
      for (int x = 0; x < 120; ++x) {
        const Rgb c = PixelAt(image, x, y);
        const QString where = QString("(%1, %2) is %3").arg(x).arg(y).arg(c.Name());
        if (!disc[size_t(y * 120 + x)]) {
          QVERIFY2(c.r == 0 && c.g == 0 && c.b == 0, qPrintable(where + ", outside the disc"));
          continue;
        }
        // Grey throughout, never near white or black: no digit, no hole.
        QVERIFY2(c.r == c.g && c.g == c.b, qPrintable(where));
        QVERIFY2(c.r >= 90 && c.r <= 160, qPrintable(where));
      }
    }
  }

  void opening_isLightTextOnDark() {
    DibImage image;
    QCOMPARE(image.Load(StimPath("opening.bmp")), 1);
    auto brightest = [&](int top, int bottom) {
      int most = 0;
      for (int y = top; y < bottom; ++y) {
        for (int x = 0; x < 512; ++x) most = qMax(most, PixelAt(image, x, y).Grey());
      }
      return most;
    };
    long sum = 0;
    for (int y = 0; y < 512; ++y) {
      for (int x = 0; x < 512; ++x) sum += PixelAt(image, x, y).Grey();
    }
    QVERIFY(sum / (512 * 512) < 60);
    for (const QPoint corner : {QPoint(0, 0), QPoint(511, 0), QPoint(0, 511), QPoint(511, 511)}) {
      QVERIFY(PixelAt(image, corner.x(), corner.y()).Grey() < 40);
    }
    QVERIFY(brightest(30, 135) >= 240);   // the title
    QVERIFY(brightest(380, 460) >= 200);  // the hint to touch the square
  }

  void sounds_areShortCleanMonoPcm_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("minMs");
    QTest::addColumn<double>("maxMs");
    QTest::addColumn<double>("minHz");
    QTest::addColumn<double>("maxHz");
    QTest::newRow("click: a short bright tick") << "click.wav" << 20.0 << 80.0 << 1500.0 << 3000.0;
    QTest::newRow("error: a longer low buzz") << "error.wav" << 180.0 << 400.0 << 150.0 << 400.0;
  }
  void sounds_areShortCleanMonoPcm() {
    QFETCH(QString, name);
    QFETCH(double, minMs);
    QFETCH(double, maxMs);
    QFETCH(double, minHz);
    QFETCH(double, maxHz);
    Sound s;
    QVERIFY(ReadSound(ReadAll(name), &s));
    QCOMPARE(s.format, uint16_t(1));  // PCM
    QCOMPARE(s.channels, uint16_t(1));
    QCOMPARE(s.rate, 44100u);
    QCOMPARE(s.bits, uint16_t(16));
    QCOMPARE(s.blockAlign, uint16_t(2));
    QCOMPARE(s.byteRate, 88200u);

    const std::vector<int16_t>& x = s.samples;
    const double ms = x.size() * 1000.0 / s.rate;
    QVERIFY2(ms >= minMs && ms <= maxMs, qPrintable(QString("%1 ms").arg(ms)));
    int peak = 0;
    double sum = 0;
    int crossings = 0;
    for (size_t i = 0; i < x.size(); ++i) {
      peak = qMax(peak, qAbs(int(x[i])));
      sum += x[i];
      if (i > 0 && (x[i - 1] < 0) != (x[i] < 0)) ++crossings;
    }
    QVERIFY2(peak <= 29500, "clipped or too close to full scale");
    QVERIFY2(peak >= 8000, "too quiet");
    QVERIFY2(qAbs(sum / x.size()) < 65, "DC offset");
    // Starts and ends at silence: no click when playback starts or stops.
    for (int i = 0; i < 8; ++i) {
      QVERIFY(qAbs(int(x[size_t(i)])) < 600);
      QVERIFY(qAbs(int(x[x.size() - 1 - size_t(i)])) < 600);
    }
    const double hz = crossings / 2.0 / (ms / 1000.0);
    QVERIFY2(hz >= minHz && hz <= maxHz, qPrintable(QString("about %1 Hz").arg(hz)));
  }
};

QTEST_MAIN(StimuliTest)
#include "stimuli_test.moc"
