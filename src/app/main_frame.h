// The main frame: the experimenter's home screen, with the menu, the opening
// screen (the opening bitmap or the title line) and click-to-start.
#pragma once

#include <QKeySequence>
#include <QMainWindow>
#include <QWidget>
#include <map>

#include "app/language.h"
#include "ui/services.h"

class QAction;
class QMenu;

/// Commands of the main frame.
constexpr int kCmdExit = 40001;
constexpr int kCmdAbout = 40002;
constexpr int kCmdStartTest = 40005;
constexpr int kCmdViewResults = 40007;
/// The Option dialog: no menu item, only the frame's OptionsShortcut().
constexpr int kCmdOptions = 40008;
/// The timing check of the Help menu.
constexpr int kCmdTimingCheck = 40101;
/// The Sessions window, last in the Test menu.
constexpr int kCmdSessions = 40102;
/// The practice run, after Start Test in the Test menu.
constexpr int kCmdPractice = 40103;
/// Test > Participants…: the participant register.
constexpr int kCmdParticipants = 40104;

/// The line the opening screen shows when the opening bitmap is missing.
extern const char kTitleText[];
/// The line under it, in the opening square that is then outlined.
extern const char kStartHintText[];

/// Side of the opening square in pixels.
constexpr int kOpeningSquareSide = 512;

/// The 512 x 512 opening square of a width x height client area, its corner
/// at (width / 2 - 256, height / 2 - 256).
ui::Rect OpeningSquare(int width, int height);

/// True when a left click at client position (x, y) starts a test: strictly
/// within 256 pixels of (width / 2, height / 2) on both axes.
bool StartsTest(int width, int height, int x, int y);

/// Paints the opening screen of a width x height client area onto `dc`, which
/// must start black: the opening bitmap stretched into the opening square once
/// it has loaded, otherwise kTitleText in white, centred, and kStartHintText
/// below it (the client area outlines the square too).
void PaintOpeningScreen(ui::DeviceContext& dc, int width, int height);

/// The frame's client area: shows the opening screen and starts a test on a
/// left click inside the opening square.
class COpeningScreen : public QWidget {
  Q_OBJECT

 public:
  explicit COpeningScreen(QWidget* parent);
  /// The client area's size in physical pixels.
  QSize PhysicalSize() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
};

/// The program's one top-level window.
class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  /// Builds the frame over ScreenSize with caption, close box and menu (no
  /// sizing, no minimise or maximise), hidden; checks the millisecond timer
  /// and sets the random generator going from the clock.
  CMainFrame();
  /// Tears down the display and the timer unless closing already did.
  ~CMainFrame() override;

  /// Shows the frame over the whole screen and paints it at once.
  void ShowMaximised();
  /// Runs a command (kCmd*); other ids do nothing.
  void OnCommand(int id);
  /// The menu item of a command; null for kCmdOptions and unknown ids.
  QAction* CommandAction(int id) const;
  /// The Help menu's item that chooses `choice` (English or Japanese).
  QAction* LanguageAction(language::Language choice) const;
  /// Keeps `choice` for this user and shows the program in it at once.
  static void ChooseLanguage(language::Language choice);
  /// The client area.
  COpeningScreen* Client() const { return client_; }
  /// The keys that run kCmdOptions: Ctrl+Shift+O.
  static QKeySequence OptionsShortcut();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildMenu();
  void RetranslateMenu();
  void OnDestroy();

  COpeningScreen* client_ = nullptr;
  std::map<int, QAction*> actions_;
  QMenu* fileMenu_ = nullptr;
  QMenu* testMenu_ = nullptr;
  QMenu* helpMenu_ = nullptr;
  QMenu* languageMenu_ = nullptr;
  std::map<language::Language, QAction*> languageActions_;
  bool destroyed_ = false;
};
