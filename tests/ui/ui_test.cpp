#include <QCursor>
#include <QFontInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QtTest>
#include <cmath>
#include <cstring>
#include <vector>

#include "ui/dib_decode.h"
#include "ui/qt_services.h"
#include "ui/stim_folder.h"
#include "ui/surface_dc.h"
#include "ui/window_placement.h"

namespace {

// A 40-byte information header, in words: size, width, height, planes and bits, compression.
std::vector<uint32_t> Header(int w, int h, int bits, uint32_t compression) {
  return {40, uint32_t(w), uint32_t(h), uint32_t(bits) << 16 | 1, compression, 0, 0, 0, 0, 0};
}

template <typename I, typename B>
ui::DibBits Dib(const std::vector<I>& info, const std::vector<B>& bits) {
  return {info.data(), info.size() * sizeof(I), bits.data(), bits.size() * sizeof(B)};
}

struct Recorder : QWidget {
  int presses = 0, releases = 0;
  bool event(QEvent* e) override {
    presses += e->type() == QEvent::KeyPress;
    releases += e->type() == QEvent::KeyRelease;
    return QWidget::event(e);
  }
};

// A plain object: a widget would have touch events filtered before they reach it.
struct TouchRecorder : QObject {
  int touches = 0;
  bool event(QEvent* e) override {
    touches += e->type() == QEvent::TouchBegin || e->type() == QEvent::TouchUpdate ||
               e->type() == QEvent::TouchEnd;
    return QObject::event(e);
  }
};

// Queued: the next poll or pump delivers it.
void PostEscape(QObject* to, QEvent::Type type, bool autoRepeat = false) {
  QCoreApplication::postEvent(
      to, new QKeyEvent(type, Qt::Key_Escape, Qt::NoModifier, QString(), autoRepeat));
}

}  // namespace

class UiTest : public QObject {
  Q_OBJECT

 private slots:
  void decodeDib_matchesPicture_data() {
    QTest::addColumn<int>("bits");
    QTest::addColumn<QList<uint>>("masks");  // stored after the header; none for the plain formats
    QTest::addColumn<bool>("topDown");
    const auto row = [](int bits, QList<uint> masks) {
      for (bool down : {false, true})
        QTest::addRow("%d bits, %d masks, top-down %d", bits, int(masks.size()), down)
            << bits << masks << down;
    };
    for (int bits : {1, 4, 8, 16, 24, 32}) row(bits, {});
    row(16, {0xF800, 0x07E0, 0x001F});
    row(32, {0xFF00, 0xFF0000, 0xFF000000});  // channels in the high bytes
  }

  void decodeDib_matchesPicture() {
    QFETCH(int, bits);
    QFETCH(QList<uint>, masks);
    QFETCH(bool, topDown);
    const int width = 13, height = 3;  // 13 leaves a byte half used and row padding at every depth
    auto info = Header(width, topDown ? -height : height, bits, masks.empty() ? 0 : 3);
    info.insert(info.end(), masks.begin(), masks.end());
    const auto entry = [](uint32_t i) { return i * 0x3B2A19u & 0xFFFFFF; };
    for (uint32_t i = 0; bits <= 8 && i < (1u << bits); ++i) info.push_back(0xEE000000u | entry(i));
    if (masks.empty())
      masks = bits == 16 ? QList<uint>{0x7C00, 0x3E0, 0x1F} : QList<uint>{0xFF0000, 0xFF00, 0xFF};
    const int rowBytes = (width * bits + 31) / 32 * 4;
    std::vector<uint8_t> rows(static_cast<size_t>(rowBytes) * height, 0xAA);  // junk padding
    std::vector<uint32_t> expected;
    for (int i = 0; i < width * height; ++i) {
      const int x = i % width, y = i / width;
      // Bits no channel uses (16-bit top bit, 32-bit top byte) are junk too.
      const uint32_t raw = (uint32_t(x) * 0x9E3779B1u ^ uint32_t(y) * 0x85EBCA77u) >> (32 - bits);
      uint8_t* at = &rows[(topDown ? y : height - 1 - y) * rowBytes + x * bits / 8];
      const int shift = 8 - bits - x * bits % 8;  // the first pixel in the high bits
      if (bits < 8)
        *at = static_cast<uint8_t>((*at & ~((0xFFu >> (8 - bits)) << shift)) | raw << shift);
      if (bits >= 8) std::memcpy(at, &raw, bits / 8);  // little-endian, as the format
      uint32_t colour = entry(raw);
      for (int c = 0; bits > 8 && c < 3; ++c)  // each channel scaled from its mask's range to 0-255
        colour =
            (c ? colour << 8 : 0) | uint32_t(std::lround(double(raw & masks[c]) * 255 / masks[c]));
      expected.push_back(0xFF000000u | colour);
    }
    std::vector<uint32_t> argb;
    int w = 0, h = 0;
    QVERIFY(ui::DecodeDib(Dib(info, rows), &argb, &w, &h));
    QCOMPARE(argb, expected);
    QCOMPARE(qMakePair(w, h), qMakePair(width, height));
  }

  // Every header size, and every piece cut short by a byte.
  void decodeDib_readsOnlyWithinItsBounds_data() {
    QTest::addColumn<QList<uint>>("info");  // header words, then masks or table
    QTest::addColumn<int>("cut");           // bytes of it that may be read: all minus this
    QTest::addColumn<int>("rowsCut");       // the same for the one pixel row
    QTest::addColumn<uint>("pixel");        // 0: refused
    // `size` bytes of header whose size field says `said`.
    const auto header = [](uint size, uint bits, uint compression, uint used, uint said = 0) {
      QList<uint> h(size / 4, 0);
      h[0] = said ? said : size, h[1] = 1, h[2] = 1, h[3] = bits << 16 | 1, h[4] = compression,
      h[8] = used;
      return h;
    };
    const QList<uint> grey{0x00111111, 0x00222222};  // entry 1 is the pixel's
    for (uint size : {40u, 52u, 56u, 108u, 124u}) {
      QTest::addRow("8 bits, %u-byte header", size)
          << header(size, 8, 0, 2) + grey << 0 << 0 << 0xFF222222u;
      QTest::addRow("8 bits, %u-byte header, table cut", size)
          << header(size, 8, 0, 2) + grey << 1 << 0 << 0u;
    }
    QList<uint> masks56 = header(56, 32, 3, 0);
    masks56[10] = 0xFF, masks56[11] = 0xFF00, masks56[12] = 0xFF0000;
    const QList<uint> masks40 = header(40, 32, 3, 0) + QList<uint>{0xFF, 0xFF00, 0xFF0000};
    QTest::newRow("masks inside a 56-byte header") << masks56 << 0 << 0 << 0xFF011234u;
    QTest::newRow("masks after a 40-byte header") << masks40 << 0 << 0 << 0xFF011234u;
    QTest::newRow("masks after a 40-byte header, cut") << masks40 << 1 << 0 << 0u;
    QTest::newRow("mask not a run of bits")
        << header(40, 32, 3, 0) + QList<uint>{0xF0F, 0xF000, 0xFF0000} << 0 << 0 << 0u;
    QTest::newRow("pixel row cut") << header(40, 32, 0, 0) << 0 << 1 << 0u;
    QTest::newRow("124 said, 40 there")
        << header(40, 8, 0, 1, 124) + grey.mid(0, 1) << 0 << 0 << 0u;
    QTest::newRow("63-byte header") << header(40, 8, 0, 1, 63) + grey << 0 << 0 << 0u;
    QTest::newRow("12-byte core header") << header(40, 24, 0, 0, 12) << 0 << 0 << 0u;
  }

  void decodeDib_readsOnlyWithinItsBounds() {
    QFETCH(QList<uint>, info);
    QFETCH(int, cut);
    QFETCH(int, rowsCut);
    QFETCH(uint, pixel);
    // Each piece at the end of a block of its own, where a sanitizer sees any read past it.
    const std::vector<uint32_t> block(info.begin(), info.end());
    const std::vector<uint8_t> row{0x01, 0x12, 0x34, 0x56};  // one pixel of any depth, padded
    const auto* head = reinterpret_cast<const uint8_t*>(block.data());
    const std::vector<uint8_t> infoBytes(head, head + 4 * block.size() - cut);
    const std::vector<uint8_t> rowBytes(row.begin(), row.end() - rowsCut);
    std::vector<uint32_t> argb{7, 7};
    QCOMPARE(ui::DecodeDib(Dib(infoBytes, rowBytes), &argb, nullptr, nullptr), pixel != 0);
    const std::vector<uint32_t> kept{7, 7};  // a refusal leaves the output alone
    QCOMPARE(argb, pixel ? std::vector<uint32_t>{pixel} : kept);
  }

  void fontFor_windowsFacesResolveToIpaGothic() {
    for (const char* face : {"ＭＳ Ｐゴシック", "MS PGothic", "MS Shell Dlg"})
      QCOMPARE(QFontInfo(ui::FontFor(ui::FontSpec{90, 400, face})).family(), QString("IPAPGothic"));
  }

  void drawText_numberCentred_backgroundFilledOnlyWhenOpaque() {
    constexpr int kSide = 120, kPitch = 4 * kSide + 8;  // row padding, which nothing may write
    const ui::FontSpec font{90, 400, "ＭＳ Ｐゴシック"};
    const std::vector<uint8_t> before(kPitch * (kSide + 1), 0x40);  // and a guard row below
    for (int mode : {ui::kBkTransparent, ui::kBkOpaque}) {
      std::vector<uint8_t> surface = before;
      ui::SurfaceDC dc(surface.data(), kSide, kSide, kPitch);  // black text on white by default
      dc.SetBkMode(mode);
      dc.SelectFont(&font);
      const unsigned centred = ui::kDtCenter | ui::kDtVCenter | ui::kDtSingleLine;
      QCOMPARE(dc.DrawText("7", {0, 0, kSide, kSide}, centred), 90);
      QRect changed;
      int white = 0;
      for (size_t i = 0; i < surface.size(); i += 4) {
        if (std::memcmp(&surface[i], &before[i], 4))
          changed |= QRect(i % kPitch / 4, i / kPitch, 1, 1);
        white += surface[i] == 0xFF && surface[i + 1] == 0xFF && surface[i + 2] == 0xFF;
      }
      QVERIFY(qAbs(QRectF(changed).center().x() - 60) <= 4 &&
              qAbs(QRectF(changed).center().y() - 60) <= 5);
      if (mode == ui::kBkTransparent) {
        QCOMPARE(white, 0);
        QVERIFY(changed.height() >= 55 && changed.height() <= 80);  // the digit's ink, not the cell
      } else {
        QCOMPARE(qMakePair(changed.top(), changed.bottom()), qMakePair(15, 104));  // the 90-px cell
        QVERIFY(white > changed.width() * 90 / 2);
      }
    }
  }

  void escapeKey_stateAcrossPolls_data() {
    // P press, R release, a queued auto-repeated press, r queued release, X another key, Q poll.
    QTest::addColumn<QString>("script");
    QTest::addColumn<QList<int>>("polls");
    QTest::newRow("nothing") << "QQ" << QList<int>{0, 0};
    QTest::newRow("held: down and pressed, then only down") << "PQQ" << QList<int>{0x8001, 0x8000};
    QTest::newRow("tapped twice between polls: pressed once") << "PRPRQQ" << QList<int>{1, 0};
    QTest::newRow("auto-repeat is no new press") << "PQaQRQ" << QList<int>{0x8001, 0x8000, 0};
    QTest::newRow("busy poll sees a queued release") << "PQrQ" << QList<int>{0x8001, 0};
    QTest::newRow("other keys do not count") << "XQ" << QList<int>{0};
  }

  void escapeKey_stateAcrossPolls() {
    QFETCH(QString, script);
    QFETCH(QList<int>, polls);
    ui::QtServices services;
    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* handle = window.windowHandle();
    QList<int> seen;
    for (QChar c : script) {
      if (c == 'P') QTest::keyPress(handle, Qt::Key_Escape);
      if (c == 'R') QTest::keyRelease(handle, Qt::Key_Escape);
      if (c == 'a') PostEscape(handle, QEvent::KeyPress, true);
      if (c == 'r') PostEscape(handle, QEvent::KeyRelease);
      if (c == 'X') QTest::keyClick(handle, Qt::Key_A);
      if (c == 'Q') seen << (services.GetAsyncKeyState(ui::kVkEscape) & 0xFFFF);
    }
    QCOMPARE(seen, polls);
  }

  void showCursor_countsAndBlanksBelowZero() {
    ui::QtServices services;
    for (const auto& [show, count] : QList<QPair<bool, int>>{
             {false, -1}, {false, -2}, {true, -1}, {true, 0}, {true, 1}, {false, 0}}) {
      QCOMPARE(services.ShowCursor(show), count);
      const QCursor* cursor = QGuiApplication::overrideCursor();  // balanced: none left over
      QCOMPARE(cursor ? int(cursor->shape()) : -1, count < 0 ? int(Qt::BlankCursor) : -1);
    }
  }

  void discardInput_eatsPressesNotReleases() {
    ui::QtServices services;
    Recorder window;
    PostEscape(&window, QEvent::KeyPress);
    PostEscape(&window, QEvent::KeyRelease);
    services.DiscardInput();
    QCOMPARE(qMakePair(window.presses, window.releases), qMakePair(0, 1));
    // The key's own state stays, and later input gets through again.
    QCOMPARE(services.GetAsyncKeyState(ui::kVkEscape) & 0xFFFF, 0x0001);
    PostEscape(&window, QEvent::KeyPress);
    services.PumpMessages();
    QCOMPARE(window.presses, 1);
  }

  // An eaten update could hold one contact's release and leave it down for good.
  void discardInput_letsTouchThrough() {
    ui::QtServices services;
    TouchRecorder window;
    static QPointingDevice* device = QTest::createTouchDevice();
    const auto post = [&](QEvent::Type type, QList<QEventPoint> points) {
      QCoreApplication::postEvent(&window, new QTouchEvent(type, device, Qt::NoModifier, points));
    };
    post(QEvent::TouchBegin, {QEventPoint(1, QEventPoint::Pressed, {5, 5}, {5, 5})});
    post(QEvent::TouchUpdate, {QEventPoint(1, QEventPoint::Released, {5, 5}, {5, 5}),
                               QEventPoint(2, QEventPoint::Stationary, {9, 9}, {9, 9})});
    post(QEvent::TouchEnd, {QEventPoint(2, QEventPoint::Released, {9, 9}, {9, 9})});
    services.DiscardInput();
    QCOMPARE(window.touches, 3);
  }

  // The platform here frames every window: the frame, not the client, is the screen.
  void coverScreen_outerFrameIsTheScreen() {
    QWidget window;
    window.setFixedSize(300, 200);  // as the main frame: not resizable
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    ui::CoverScreen(&window, screen);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(window.frameGeometry(), screen);
    QVERIFY(window.geometry() != screen);
    QCOMPARE(window.minimumSize(), window.geometry().size());
    QCOMPARE(window.maximumSize(), window.geometry().size());
  }

  void messageBox_captionFitsAndCentredOverOwner_data() {
    QTest::addColumn<QString>("caption");  // empty: the application's name
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("owner");
    QTest::newRow("score") << "Score"
                           << "Score is 4.50" << QRect(100, 80, 500, 400);
    QTest::newRow("application's name") << ""
                                        << "x" << QRect(0, 0, 300, 200);
    QTest::newRow("longer caption") << "Experiment Settings"
                                    << "x" << QRect(50, 50, 600, 400);
  }

  void messageBox_captionFitsAndCentredOverOwner() {
    QFETCH(QString, caption);
    QFETCH(QString, text);
    QFETCH(QRect, owner);
    ui::QtServices services;
    QWidget frame;
    frame.setGeometry(owner);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QRect box;
    QString title;
    QTimer::singleShot(0, [&] {
      if (auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        box = shown->frameGeometry();
        title = shown->windowTitle();
        shown->accept();
      }
    });
    services.MessageBox(ui::HandleOf(&frame), text.toStdString(), caption.toStdString(), ui::kMbOk);
    QVERIFY(!title.isEmpty());
    QVERIFY2(box.width() >= ui::CaptionWidth(title), qPrintable(QString::number(box.width())));
    const QPoint offset = box.center() - frame.frameGeometry().center();
    QVERIFY2(qAbs(offset.x()) <= 1 && qAbs(offset.y()) <= 1,
             qPrintable(QString("%1, %2").arg(offset.x()).arg(offset.y())));
  }

  void messageBox_okCancel_answersWhatWasPressed_data() {
    QTest::addColumn<unsigned>("type");
    QTest::addColumn<int>("press");  // Qt::Key_Return (the default button) or Qt::Key_Escape
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<int>("answer");
    const QStringList both{"OK", "Cancel"};
    QTest::newRow("ok only, Escape")
        << ui::kMbOk << int(Qt::Key_Escape) << QStringList{"OK"} << ui::kIdOk;
    QTest::newRow("ok/cancel, Escape")
        << (ui::kMbOkCancel | ui::kMbIconQuestion) << int(Qt::Key_Escape) << both << ui::kIdCancel;
    QTest::newRow("ok/cancel, Enter: Cancel is the default")
        << ui::kMbOkCancel << int(Qt::Key_Return) << both << ui::kIdCancel;
  }

  void messageBox_okCancel_answersWhatWasPressed() {
    QFETCH(unsigned, type);
    QFETCH(int, press);
    QFETCH(QStringList, buttons);
    QFETCH(int, answer);
    ui::QtServices services;
    QStringList seen;
    QTimer::singleShot(0, [&] {
      if (auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        for (QAbstractButton* b : shown->buttons())
          seen << (shown->standardButton(b) == QMessageBox::Ok       ? "OK"
                   : shown->standardButton(b) == QMessageBox::Cancel ? "Cancel"
                                                                     : "other");
        seen.sort();
        QTest::keyClick(shown, Qt::Key(press));
      }
    });
    QCOMPARE(services.MessageBox(nullptr, "Replace?", "", type), answer);
    QStringList expected = buttons;
    expected.sort();
    QCOMPARE(seen, expected);
  }

  void findStimulusFolder_ownBeforeInstalled_data() {
    QTest::addColumn<QStringList>("made");  // folders (ending in /) and files under the scratch dir
    QTest::addColumn<QString>("found");     // relative to the scratch dir
    // work/ is the working directory, prefix/bin the program's folder.
    const QString installed = "prefix/share/dorvane/stim";
    QTest::newRow("own stim/") << QStringList{"work/stim/", installed + "/"} << "stim";
    QTest::newRow("none of its own") << QStringList{"work/", installed + "/"} << installed;
    QTest::newRow("a file called stim")
        << QStringList{"work/", "work/stim", installed + "/"} << installed;
    QTest::newRow("neither") << QStringList{"work/"} << "stim";
  }

  void findStimulusFolder_ownBeforeInstalled() {
    QFETCH(QStringList, made);
    QFETCH(QString, found);
    QTemporaryDir scratch;
    const QDir root(scratch.path());
    QVERIFY(root.mkpath("prefix/bin"));
    for (const QString& path : made) {
      QVERIFY(path.endsWith('/') ? root.mkpath(path)
                                 : QFile(root.filePath(path)).open(QIODevice::WriteOnly));
    }
    const QString before = QDir::currentPath();
    QDir::setCurrent(root.filePath("work"));
    const std::string folder =
        ui::FindStimulusFolder(root.filePath("prefix/bin").toStdString(), "../share/dorvane/stim");
    QDir::setCurrent(before);
    QCOMPARE(QString::fromStdString(folder), found == "stim" ? found : root.filePath(found));
  }

  void inStimulusFolder_replacesOnlyTheStimFolder() {
    // Path, folder, result.
    const char* const rows[][3] = {
        {"stim\\click.wav", "/usr/share/dorvane/stim", "/usr/share/dorvane/stim/click.wav"},
        {"stim/patch.bmp", "/opt/d/stim", "/opt/d/stim/patch.bmp"},
        {"stim\\error.wav", "stim", "stim/error.wav"},
        {"stimuli/x.wav", "/opt/d/stim", "stimuli/x.wav"},
        {"stim", "/opt/d/stim", "stim"}};
    for (const auto& [path, folder, result] : rows)
      QCOMPARE(ui::InStimulusFolder(path, folder), std::string(result));
  }
};

QTEST_MAIN(UiTest)
#include "ui_test.moc"
