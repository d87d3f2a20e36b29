#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "dialogs/about_dialog.h"
#include "dialogs/dialog_frame.h"
#include "dialogs/results_dialog.h"
#include "dialogs/setup_dialogs.h"
#include "support/fake_ui.h"

namespace {

std::unique_ptr<QDialog> MakeDialog(const QString& kind) {
  if (kind == "subject") return std::make_unique<CSubject>();
  if (kind == "option") return std::make_unique<COption>();
  if (kind == "result") return std::make_unique<CResult>();
  return std::make_unique<CAboutDialog>();
}

// A control by object name, or a static text by its text.
QWidget* FindControl(QDialog* dialog, const QString& key) {
  if (QWidget* named = dialog->findChild<QWidget*>(key)) return named;
  for (QLabel* label : dialog->findChildren<QLabel*>()) {
    if (label->text() == key) return label;
  }
  return nullptr;
}

QString TextOf(QWidget* control) {
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
  return QString();
}

QStringList TabChain(QDialog* dialog, QWidget* first) {
  QStringList names;
  QWidget* w = first;
  do {
    if (w != dialog && (w->focusPolicy() & Qt::TabFocus) && w->parentWidget() == dialog) {
      names << w->objectName();
    }
    w = w->nextInFocusChain();
  } while (w != first);
  return names;
}

}  // namespace

class DialogLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void frame_data();
  void frame();
  void controls_data();
  void controls();
  void tabOrder_followsTemplate_data();
  void tabOrder_followsTemplate();
  void dialogUnits_roundLikeTheDialogManager();
  void about_creditHasThreeLines();
  void runAbout_closesWithOk();

 private:
  std::unique_ptr<testing::FakeUi> fake_;
};

void DialogLayoutTest::initTestCase() {
  fake_ = std::make_unique<testing::FakeUi>();
}

void DialogLayoutTest::frame_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QString>("title");
  QTest::addColumn<int>("width");
  QTest::addColumn<int>("height");
  QTest::addColumn<int>("pointSize");
  QTest::newRow("subject") << "subject"
                           << "Subject Information" << 232 << 93 << 8;
  QTest::newRow("option") << "option"
                          << "Option" << 226 << 61 << 8;
  QTest::newRow("result") << "result"
                          << "Results" << 474 << 260 << 8;
  QTest::newRow("about") << "about"
                         << "About this application" << 187 << 59 << 9;
}

void DialogLayoutTest::frame() {
  QFETCH(QString, kind);
  QFETCH(QString, title);
  QFETCH(int, width);
  QFETCH(int, height);
  QFETCH(int, pointSize);
  std::unique_ptr<QDialog> dialog = MakeDialog(kind);
  QCOMPARE(dialog->windowTitle(), title);
  QCOMPARE(dialog->font().pointSize(), pointSize);
  const QSize size = dialogs::DialogUnits(dialog->font()).Size(width, height);
  QCOMPARE(dialog->minimumSize(), size);
  QCOMPARE(dialog->maximumSize(), size);
  const Qt::WindowFlags flags = dialog->windowFlags();
  QVERIFY(flags & Qt::WindowCloseButtonHint);
  QVERIFY(flags & Qt::WindowTitleHint);
  QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
  QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
  QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
  auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("button1"));
  QVERIFY(ok);
  QCOMPARE(ok->text(), QStringLiteral("OK"));
  QVERIFY(ok->isDefault());
}

void DialogLayoutTest::controls_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QString>("key");
  QTest::addColumn<QRect>("units");
  QTest::addColumn<QString>("text");

  auto row = [](const char* kind, const char* key, QRect units, const QString& text) {
    QTest::addRow("%s %s", kind, key) << QString(kind) << QString::fromUtf8(key) << units << text;
  };
  row("subject", "edit1001", {60, 6, 78, 12}, "");
  row("subject", "edit1004", {96, 24, 30, 12}, "");
  row("subject", "edit1006", {96, 42, 30, 12}, "");
  row("subject", "check1005", {12, 72, 84, 12}, "Hide Mouse Cursor");
  row("subject", "check1008", {144, 54, 84, 12}, "Show Feedback");
  row("subject", "check1007", {144, 72, 84, 12}, "Show Ranking");
  row("subject", "button1", {174, 6, 50, 14}, "OK");
  row("subject", "button2", {174, 24, 50, 14}, "キャンセル");
  row("subject", "Subject ID:", {13, 7, 41, 11}, "Subject ID:");
  row("subject", "Time for Memorization:", {12, 24, 78, 12}, "Time for Memorization:");
  row("subject", "sec.", {132, 24, 24, 12}, "sec.");
  row("subject", "Number of Reversals:", {12, 42, 72, 12}, "Number of Reversals:");
  row("option", "edit1004", {102, 6, 30, 12}, "");
  row("option", "edit1006", {102, 24, 30, 12}, "");
  row("option", "check1005", {12, 42, 96, 12}, "Hide Mouse Cursor");
  row("option", "button1", {168, 6, 50, 14}, "OK");
  row("option", "button2", {168, 24, 50, 14}, "キャンセル");
  row("option", "Time for Memorization:", {12, 6, 78, 12}, "Time for Memorization:");
  row("option", "sec.", {138, 6, 24, 12}, "sec.");
  row("option", "Number of Reversals:", {12, 24, 72, 12}, "Number of Reversals:");
  row("result", "static1003", {20, 15, 392, 10}, "Result: ");
  row("result", "list1002", {23, 30, 429, 214}, "");
  row("result", "button1", {417, 7, 50, 14}, "OK");
  row("about", "button1", {130, 7, 50, 14}, "OK");
  row("about", "staticVersion", {6, 6, 114, 11}, "Dorvane v8.003");
}

void DialogLayoutTest::controls() {
  QFETCH(QString, kind);
  QFETCH(QString, key);
  QFETCH(QRect, units);
  QFETCH(QString, text);
  std::unique_ptr<QDialog> dialog = MakeDialog(kind);
  QWidget* control = FindControl(dialog.get(), key);
  QVERIFY2(control, qPrintable(key));
  const dialogs::DialogUnits du(dialog->font());
  QCOMPARE(control->geometry(), du.Rect(units.x(), units.y(), units.width(), units.height()));
  QCOMPARE(TextOf(control), text);
}

void DialogLayoutTest::tabOrder_followsTemplate_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QStringList>("order");
  QTest::newRow("subject") << "subject"
                           << QStringList{"edit1001",  "edit1004",  "edit1006", "check1005",
                                          "check1008", "check1007", "button1",  "button2"};
  QTest::newRow("option") << "option"
                          << QStringList{"edit1004", "edit1006", "check1005", "button1", "button2"};
  QTest::newRow("result") << "result" << QStringList{"list1002", "button1"};
}

void DialogLayoutTest::tabOrder_followsTemplate() {
  QFETCH(QString, kind);
  QFETCH(QStringList, order);
  std::unique_ptr<QDialog> dialog = MakeDialog(kind);
  dialog->show();
  QWidget* first = dialog->findChild<QWidget*>(order.first());
  QCOMPARE(dialog->focusWidget(), first);
  QCOMPARE(TabChain(dialog.get(), first), order);
  dialog->reject();
}

void DialogLayoutTest::dialogUnits_roundLikeTheDialogManager() {
  QFont font = dialogs::ShellDialogFont();
  const dialogs::DialogUnits du(font);
  QVERIFY(du.BaseX() > 0 && du.BaseY() > 0);
  QCOMPARE(du.X(4), du.BaseX());
  QCOMPARE(du.Y(8), du.BaseY());
  // Rounded to nearest, as MulDiv does, not truncated.
  QCOMPARE(du.X(3), (3 * du.BaseX() + 2) / 4);
  QCOMPARE(du.Y(5), (5 * du.BaseY() + 4) / 8);
  QCOMPARE(du.X(-3), -((3 * du.BaseX() + 2) / 4));
  // A wider font gives wider units.
  font.setPointSize(16);
  QVERIFY(dialogs::DialogUnits(font).BaseX() > du.BaseX());
}

void DialogLayoutTest::about_creditHasThreeLines() {
  CAboutDialog dialog;
  const QString credit = dialog.CreditText()->text();
  QCOMPARE(credit.split('\n').size(), 3);
  QVERIFY(credit.contains(QStringLiteral("Dorvane")));
  QCOMPARE(dialog.CreditText()->geometry(),
           dialogs::DialogUnits(dialog.font()).Rect(6, 24, 129, 30));
  // The Gothic face stands in for the Windows one where it is installed.
  const QString family = QFontInfo(dialog.font()).family();
  if (!family.contains(QStringLiteral("IPA"))) QSKIP("IPA Gothic fonts are not installed");
  QCOMPARE(family, QStringLiteral("IPAPGothic"));
}

void DialogLayoutTest::runAbout_closesWithOk() {
  bool reached = false;
  bool closedByReturn = false;
  QTimer::singleShot(0, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    auto* about = qobject_cast<CAboutDialog*>(modal);
    if (!about) {
      if (modal) modal->close();
      return;
    }
    reached = true;
    QTest::keyClick(about, Qt::Key_Return);
    closedByReturn = !about->isVisible();
    if (about->isVisible()) about->reject();
  });
  RunAboutDialog(nullptr);
  QVERIFY(reached);
  QVERIFY(closedByReturn);
}

QTEST_MAIN(DialogLayoutTest)
#include "dialog_layout_test.moc"
