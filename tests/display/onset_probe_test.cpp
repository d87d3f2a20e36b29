// Runs under a virtual X server. The test draws into a window itself, as a
// driver would, and checks that the probe times each frame from the right
// source: the Present extension's own completion time, the pixels read back,
// or nothing (flagged) when nothing changes.
#include "display/onset_probe.h"

#include <xcb/present.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWindow>
#include <QtTest>
#include <cstdlib>

#include "timing/tick_clock.h"

namespace {

constexpr int64_t kTimeoutNs = 200000000;

// A second client of the same server, drawing into the window as a GPU
// driver's presentation would.
class Driver {
 public:
  explicit Driver(xcb_window_t window) : window_(window) {
    c_ = xcb_connect(nullptr, nullptr);
    screen_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
    gc_ = xcb_generate_id(c_);
    xcb_create_gc(c_, gc_, window_, 0, nullptr);
  }
  ~Driver() { xcb_disconnect(c_); }

  // Fills the window with one colour; returns when the server has done it.
  int64_t Fill(uint32_t rgb) {
    const uint32_t values[] = {rgb};
    xcb_change_gc(c_, gc_, XCB_GC_FOREGROUND, values);
    const xcb_rectangle_t all{0, 0, 400, 300};
    xcb_poly_fill_rectangle(c_, window_, gc_, 1, &all);
    std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
    return tick_clock::NowNs();
  }

  // Presents a pixmap of one colour through the Present extension; the
  // server's completion time of it, in ns.
  int64_t PresentPixmap(uint32_t rgb) {
    free(xcb_present_query_version_reply(c_, xcb_present_query_version(c_, 1, 2), nullptr));
    const uint32_t eid = xcb_generate_id(c_);
    xcb_special_event_t* events = xcb_register_for_special_xge(c_, &xcb_present_id, eid, nullptr);
    xcb_present_select_input(c_, eid, window_, XCB_PRESENT_EVENT_MASK_COMPLETE_NOTIFY);
    const xcb_pixmap_t pixmap = xcb_generate_id(c_);
    xcb_create_pixmap(c_, screen_->root_depth, pixmap, window_, 400, 300);
    const uint32_t values[] = {rgb};
    xcb_change_gc(c_, gc_, XCB_GC_FOREGROUND, values);
    const xcb_rectangle_t all{0, 0, 400, 300};
    xcb_poly_fill_rectangle(c_, pixmap, gc_, 1, &all);
    xcb_present_pixmap(c_, window_, pixmap, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr);
    xcb_flush(c_);
    int64_t ust = 0;
    while (xcb_generic_event_t* e = xcb_wait_for_special_event(c_, events)) {
      auto* complete = reinterpret_cast<xcb_present_complete_notify_event_t*>(e);
      const bool done = complete->event_type == XCB_PRESENT_EVENT_COMPLETE_NOTIFY;
      if (done) ust = static_cast<int64_t>(complete->ust) * 1000;
      std::free(e);
      if (done) break;
    }
    xcb_free_pixmap(c_, pixmap);
    xcb_unregister_for_special_event(c_, events);
    return ust;
  }

 private:
  xcb_connection_t* c_ = nullptr;
  xcb_screen_t* screen_ = nullptr;
  xcb_window_t window_;
  uint32_t gc_ = 0;
};

}  // namespace

class OnsetProbeTest : public QObject {
  Q_OBJECT

  QWindow* window_ = nullptr;

 private slots:
  void init() {
    window_ = new QWindow;
    window_->setFlags(Qt::Window | Qt::FramelessWindowHint);
    window_->setGeometry(50, 40, 400, 300);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_));
  }
  void cleanup() { delete window_; }

  // The test window asks the compositor to leave it alone, before it is shown.
  void bypassCompositor_askedOfTheWindow() {
    QWindow window;
    window.create();
    display::AskToBypassCompositor(&window);
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const char name[] = "_NET_WM_BYPASS_COMPOSITOR";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof name - 1, name), nullptr);
    QVERIFY(atom && atom->atom != XCB_ATOM_NONE);
    xcb_get_property_reply_t* value =
        xcb_get_property_reply(c,
                               xcb_get_property(c, 0, static_cast<xcb_window_t>(window.winId()),
                                                atom->atom, XCB_ATOM_CARDINAL, 0, 1),
                               nullptr);
    const bool one = value && xcb_get_property_value_length(value) == 4 &&
                     *static_cast<const uint32_t*>(xcb_get_property_value(value)) == 1;
    std::free(value);
    std::free(atom);
    xcb_disconnect(c);
    QVERIFY(one);
  }

  void presentCompletion_isTheOnset() {
    auto probe = display::MakeOnsetProbe(window_);
    QVERIFY(probe);
    Driver driver(static_cast<xcb_window_t>(window_->winId()));
    display::OnsetSpot spot;
    spot.valid = true;
    spot.x = 200;
    spot.y = 150;
    uint32_t colour = 0x000000;
    driver.Fill(colour);
    // The first frame also has a spot to read back; once completions are
    // seen, a frame with nothing to read back waits for its completion too.
    for (bool withSpot : {true, false}) {
      spot.oldRgb = colour;
      colour ^= 0xFFFFFF;
      spot.newRgb = colour;
      probe->Arm(withSpot ? spot : display::OnsetSpot{}, kTimeoutNs);
      const int64_t ust = driver.PresentPixmap(colour);
      const FrameOnset onset = probe->Await();
      QCOMPARE(OnsetSourceName(onset.source), "present-event");
      QCOMPARE(onset.onsetNs, ust);
    }
    QCOMPARE(OnsetSourceName(probe->BestSource()), "present-event");
  }

  void readback_boundsTheOnset_data() {
    QTest::addColumn<bool>("changes");
    QTest::newRow("the spot changes") << true;
    QTest::newRow("the spot never changes") << false;
  }

  void readback_boundsTheOnset() {
    QFETCH(bool, changes);
    auto probe = display::MakeOnsetProbe(window_);
    QVERIFY(probe);
    Driver driver(static_cast<xcb_window_t>(window_->winId()));
    driver.Fill(0x000000);
    display::OnsetSpot spot;
    spot.valid = true;
    spot.x = 200;
    spot.y = 150;
    spot.oldRgb = 0x000000;
    spot.newRgb = 0x00FF00;
    const int64_t armed = tick_clock::NowNs();
    probe->Arm(spot, kTimeoutNs);
    QTest::qSleep(20);  // the probe polls meanwhile
    const int64_t sent = tick_clock::NowNs();
    const int64_t drawn = driver.Fill(changes ? 0x00FF00 : 0x0000FF);
    const FrameOnset onset = probe->Await();
    if (!changes) {
      QCOMPARE(OnsetSourceName(onset.source), "none");
      QVERIFY(tick_clock::NowNs() - armed >= kTimeoutNs);
      return;
    }
    QCOMPARE(OnsetSourceName(onset.source), "readback");
    // Not before the fill was sent, and at most its round trip and the
    // probe's own last two reads after the server did it.
    QVERIFY2(onset.onsetNs + onset.uncertaintyNs >= sent,
             qPrintable(QString::number(sent - onset.onsetNs)));
    QVERIFY(onset.onsetNs - onset.uncertaintyNs <= drawn);
  }
};

QTEST_MAIN(OnsetProbeTest)
#include "onset_probe_test.moc"
