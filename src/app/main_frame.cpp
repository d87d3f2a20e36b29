#include "app/main_frame.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QtMath>
#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "app/language.h"
#include "check/timing_check_dialog.h"
#include "dialogs/about_dialog.h"
#include "dialogs/results_dialog.h"
#include "dialogs/setup_dialogs.h"
#include "display/dib_image.h"
#include "display/layout.h"
#include "display/surfaces.h"
#include "participants/participants_window.h"
#include "procedure/ms_timer.h"
#include "procedure/practice_command.h"
#include "procedure/start_test_command.h"
#include "sessions/sessions_window.h"
#include "ui/qt_services.h"
#include "ui/surface_dc.h"
#include "ui/window_placement.h"

const char kTitleText[] = " Dorvane (Dorvane developers, 2026)";
const char kStartHintText[] =
    QT_TRANSLATE_NOOP("CMainFrame", "Click or touch inside the square to start a test.");

namespace {

constexpr uint32_t kTitleColour = 0xFFFFFF;
constexpr uint32_t kTitleBackground = 0x000000;
constexpr int kHalfSquare = kOpeningSquareSide / 2;
constexpr int kCueGrey = 160;
constexpr int kCueWidth = 3;

QRect ScreenGeometry() {
  return ui::ScreenRect(ScreenSize.width, ScreenSize.height);
}

// Without a window manager nobody hands the keyboard back once a dialog or
// the test window is gone, and Escape and the menu keys would reach nothing.
void TakeBackFocus(QWidget* frame) {
  if (frame->isVisible()) frame->activateWindow();
}

}  // namespace

ui::Rect OpeningSquare(int width, int height) {
  const int left = width / 2 - kHalfSquare;
  const int top = height / 2 - kHalfSquare;
  return {left, top, left + kOpeningSquareSide, top + kOpeningSquareSide};
}

bool StartsTest(int width, int height, int x, int y) {
  const int cx = width / 2;
  const int cy = height / 2;
  return cx - kHalfSquare < x && x < cx + kHalfSquare && cy - kHalfSquare < y &&
         y < cy + kHalfSquare;
}

void PaintOpeningScreen(ui::DeviceContext& dc, int width, int height) {
  if (openingBitmapLoaded) {
    // A top-down bitmap stores a negative height; its picture is as tall.
    const ui::Rect source{0, 0, openingBitmap.width, std::abs(openingBitmap.height)};
    dc.StretchDIBits(OpeningSquare(width, height), source, openingBitmap.Bits());
    return;
  }
  dc.SetTextColor(kTitleColour);
  dc.SetBkColor(kTitleBackground);
  dc.SelectFont(nullptr);
  dc.DrawText(kTitleText, ui::Rect{0, 0, width, height},
              ui::kDtCenter | ui::kDtVCenter | ui::kDtSingleLine);
  // Without the picture nothing else shows where a click starts a test.
  const ui::Rect square = OpeningSquare(width, height);
  dc.DrawText(QCoreApplication::translate("CMainFrame", kStartHintText).toStdString(),
              ui::Rect{square.left, height / 2 + 30, square.right, square.bottom},
              ui::kDtCenter | ui::kDtSingleLine);
}

COpeningScreen::COpeningScreen(QWidget* parent) : QWidget(parent) {}

QSize COpeningScreen::PhysicalSize() const {
  const qreal ratio = devicePixelRatioF();
  return QSize(qRound(width() * ratio), qRound(height() * ratio));
}

void COpeningScreen::paintEvent(QPaintEvent*) {
  const QSize size = PhysicalSize();
  if (size.isEmpty()) return;
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::black);
  {
    ui::SurfaceDC dc(image.bits(), size.width(), size.height(),
                     static_cast<int>(image.bytesPerLine()));
    PaintOpeningScreen(dc, size.width(), size.height());
  }
  image.setDevicePixelRatio(devicePixelRatioF());
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), image);
  if (!openingBitmapLoaded) {
    // The square's outline, inside its clickable area.
    const ui::Rect s = OpeningSquare(size.width(), size.height());
    const qreal ratio = devicePixelRatioF();
    painter.setPen(QPen(QColor(kCueGrey, kCueGrey, kCueGrey), kCueWidth * ratio));
    const qreal inset = kCueWidth;
    painter.drawRect(QRectF((s.left + inset) / ratio, (s.top + inset) / ratio,
                            (s.Width() - 2 * inset) / ratio, (s.Height() - 2 * inset) / ratio));
  }
}

void COpeningScreen::mousePressEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() != Qt::LeftButton) return;
  const qreal ratio = devicePixelRatioF();
  const QSize size = PhysicalSize();
  const int x = qFloor(event->position().x() * ratio);
  const int y = qFloor(event->position().y() * ratio);
  if (!StartsTest(size.width(), size.height(), x, y)) return;
  StartTest();
  TakeBackFocus(window());
}

CMainFrame::CMainFrame()
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setWindowTitle(QStringLiteral("Dorvane"));
  client_ = new COpeningScreen(this);
  ApplyWindowClass(client_);
  setCentralWidget(client_);
  BuildMenu();
  // The Option dialog has no menu item; a shortcut keeps the menus as they are.
  auto* options = new QShortcut(OptionsShortcut(), this);
  connect(options, &QShortcut::activated, this, [this] { OnCommand(kCmdOptions); });

  const QRect geometry = ScreenGeometry();
  setGeometry(geometry);
  setFixedSize(geometry.size());

  MsTimerCheck();  // tells the experimenter itself when it fails
  SRand(static_cast<uint32_t>(std::time(nullptr)));
  Rand();
  Rand();
}

CMainFrame::~CMainFrame() {
  if (!destroyed_) OnDestroy();
}

QKeySequence CMainFrame::OptionsShortcut() {
  return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O);
}

void CMainFrame::BuildMenu() {
  auto add = [this](QMenu* menu, int id) {
    QAction* action = menu->addAction(QString());
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    actions_[id] = action;
  };
  fileMenu_ = menuBar()->addMenu(QString());
  add(fileMenu_, kCmdExit);
  testMenu_ = menuBar()->addMenu(QString());
  add(testMenu_, kCmdStartTest);
  add(testMenu_, kCmdPractice);
  add(testMenu_, kCmdViewResults);
  add(testMenu_, kCmdParticipants);
  add(testMenu_, kCmdSessions);
  helpMenu_ = menuBar()->addMenu(QString());
  add(helpMenu_, kCmdAbout);
  add(helpMenu_, kCmdTimingCheck);
  // The two names are shown as they are in every language, so that a person
  // who cannot read the current one still finds their own.
  languageMenu_ = helpMenu_->addMenu(QString());
  auto* group = new QActionGroup(languageMenu_);
  for (const language::Language choice :
       {language::Language::kEnglish, language::Language::kJapanese}) {
    QAction* action = languageMenu_->addAction(language::Label(choice));
    action->setCheckable(true);
    action->setChecked(language::Applied() == choice);
    group->addAction(action);
    connect(action, &QAction::triggered, this, [choice] { ChooseLanguage(choice); });
    languageActions_[choice] = action;
  }
  RetranslateMenu();
}

void CMainFrame::RetranslateMenu() {
  fileMenu_->setTitle(tr("&File"));
  actions_[kCmdExit]->setText(tr("E&xit"));
  testMenu_->setTitle(tr("&Test"));
  actions_[kCmdStartTest]->setText(tr("&Start Test"));
  actions_[kCmdPractice]->setText(tr("&Practice…"));
  actions_[kCmdViewResults]->setText(tr("結果を見る(&R)"));
  actions_[kCmdParticipants]->setText(tr("Partic&ipants…"));
  actions_[kCmdSessions]->setText(tr("S&essions…"));
  helpMenu_->setTitle(tr("&Help"));
  actions_[kCmdAbout]->setText(tr("&About"));
  actions_[kCmdTimingCheck]->setText(tr("Timing Check…"));
  languageMenu_->setTitle(tr("Language"));
  for (const auto& [choice, action] : languageActions_) {
    action->setChecked(language::Applied() == choice);
  }
}

QAction* CMainFrame::LanguageAction(language::Language choice) const {
  const auto it = languageActions_.find(choice);
  return it == languageActions_.end() ? nullptr : it->second;
}

void CMainFrame::ChooseLanguage(language::Language choice) {
  language::StoreChoice(choice);
  // Every other window is modal and closed by now: the menu and the opening
  // screen are all there is to redo, and the LanguageChange event does it.
  language::Apply(choice);
}

void CMainFrame::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) {
    RetranslateMenu();
    client_->update();
  }
  QMainWindow::changeEvent(event);
}

QAction* CMainFrame::CommandAction(int id) const {
  const auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::ShowMaximised() {
  // Placed by the program: without a window manager nothing else places the
  // frame, and a window manager does not maximise a frame of fixed size.
  ui::CoverScreen(this, ScreenGeometry());
  repaint();
}

void CMainFrame::OnCommand(int id) {
  switch (id) {
    case kCmdExit:
      close();  // the same path as the close box
      break;
    case kCmdAbout:
      RunAboutDialog(this);
      TakeBackFocus(this);
      break;
    case kCmdStartTest:
      StartTest();
      TakeBackFocus(this);
      break;
    case kCmdPractice:
      StartPractice();
      TakeBackFocus(this);
      break;
    case kCmdViewResults:
      ViewResults();
      TakeBackFocus(this);
      break;
    case kCmdOptions:
      EditOptions();
      TakeBackFocus(this);
      break;
    case kCmdSessions:
      if (!TestRunning()) sessions::ShowSessions(this);
      TakeBackFocus(this);
      break;
    case kCmdParticipants:
      if (!TestRunning()) participants::ShowParticipants(this);
      TakeBackFocus(this);
      break;
    case kCmdTimingCheck:
      if (!TestRunning()) check::RunTimingCheckFromMenu(this);
      ui::Ui().PlaceTopmost(ui::HandleOf(this), ScreenSize.width, ScreenSize.height);
      // As after a test: back over the screen, but not above every other program.
      ui::Ui().EndTopmost(ui::HandleOf(this));
      TakeBackFocus(this);
      break;
    default:
      break;
  }
}

void CMainFrame::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    ui::Ui().PlaceTopmost(ui::HandleOf(this), ScreenSize.width, ScreenSize.height);
    event->accept();
    return;
  }
  QMainWindow::keyPressEvent(event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // The running test draws on the display and counts on the timer; Escape
  // ends it first.
  if (TestRunning()) {
    event->ignore();
    return;
  }
  OnDestroy();
  QMainWindow::closeEvent(event);
}

void CMainFrame::OnDestroy() {
  destroyed_ = true;
  ShutDownDisplay();
  MsTimerStop();
}
