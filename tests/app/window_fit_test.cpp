// Every dialog fits a 1024 x 768 screen that a desktop panel shares, with its
// buttons whole and in view, in every language (Japanese texts are wider);
// those with a list or charts can be made larger.
#include <QtTest>
#include <QtWidgets>
#include <functional>
#include <memory>

#include "app/language.h"
#include "check/figure_advice.h"
#include "check/timing_chart.h"
#include "check/timing_check_dialog.h"
#include "check/timing_report.h"
#include "dialogs/about_dialog.h"
#include "dialogs/lock_wait_dialog.h"
#include "dialogs/results_dialog.h"
#include "dialogs/setup_dialogs.h"
#include "support/fake_ui.h"

using language::Language;
using MakeDialog = std::function<QWidget*()>;
Q_DECLARE_METATYPE(Language)
Q_DECLARE_METATYPE(MakeDialog)

namespace {

// The screen less a 40-pixel panel, and a window manager's frame around each window.
const QRect kAvailable(0, 0, 1024, 768 - 40);
const QMargins kFrame(4, 30, 4, 4);

QWidget* MakeTimingCheckResult() {
  check::TimingCheck check;  // nothing measured: every failure row there is
  const check::Verdict verdict = check::Judge(check);
  return new check::TimingCheckDialog(
      verdict, check::AdviseOnFigures(check), check::FormatReport(check, verdict),
      check::RenderTimingChartImages(check),
      "Saved as /home/someone/a/rather/long/folder/name/dorvane-check-20260101-120000.txt and "
      "/home/someone/a/rather/long/folder/name/dorvane-check-20260101-120000.png.");
}

// The text of a button or label without its mnemonic marker.
QString Shown(QString text) {
  return text.remove(QRegularExpression(QStringLiteral("&(?=\\S)")));
}

}  // namespace

class WindowFitTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { language::Apply(Language::kDefault); }

  void dialog_fitsWithItsButtonsInView_data() {
    QTest::addColumn<MakeDialog>("make");
    QTest::addColumn<bool>("resizable");
    QTest::addColumn<Language>("language");
    const std::pair<const char*, Language> languages[] = {{"default", Language::kDefault},
                                                          {"English", Language::kEnglish},
                                                          {"日本語", Language::kJapanese}};
    const std::tuple<const char*, MakeDialog, bool> dialogs[] = {
        {"About", [] { return new CAboutDialog; }, false},
        {"Subject Information", [] { return new CSubject; }, false},
        {"Option", [] { return new COption; }, false},
        {"Results", [] { return new CResult; }, true},
        {"Timing Check result", MakeTimingCheckResult, true}};
    for (const auto& [dialog, make, resizable] : dialogs)
      for (const auto& [name, choice] : languages)
        QTest::addRow("%s, %s", dialog, name) << make << resizable << choice;
  }
  void dialog_fitsWithItsButtonsInView() {
    QFETCH(MakeDialog, make);
    QFETCH(bool, resizable);
    QFETCH(Language, language);
    QVERIFY(language::Apply(language));
    testing::FakeUi fake;
    std::unique_ptr<QWidget> dialog(make());
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    CheckFits(dialog.get());
    QCOMPARE(dialog->minimumSize() != dialog->maximumSize(), resizable);
  }

  // The box that waits for another station's lock, with a long subject file name.
  void lockWait_fitsWithItsButtonInView_data() {
    QTest::addColumn<Language>("language");
    QTest::newRow("default") << Language::kDefault;
    QTest::newRow("日本語") << Language::kJapanese;
  }
  void lockWait_fitsWithItsButtonInView() {
    QFETCH(Language, language);
    QVERIFY(language::Apply(language));
    testing::FakeUi fake;
    const std::string file = std::string(240, 'S') + ".csv";
    int polls = 0;
    const bool locked = dialogs::WaitForResultLock(file, [&] {
      for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == "lockWait" && top->isVisible()) CheckFits(top);
      }
      return ++polls > 1;
    });
    QVERIFY(locked);
  }

 private:
  static void CheckFits(QWidget* dialog) {
    QCoreApplication::processEvents();
    const QSize frame = dialog->size().grownBy(kFrame);
    QVERIFY2(frame.width() <= kAvailable.width() && frame.height() <= kAvailable.height(),
             qPrintable(QString("%1 x %2").arg(frame.width()).arg(frame.height())));
    const auto buttons = dialog->findChildren<QAbstractButton*>();
    QVERIFY(!buttons.isEmpty());
    for (QAbstractButton* button : buttons) {
      if (!button->isVisibleTo(dialog)) continue;
      const QRect where(button->mapTo(dialog, QPoint(0, 0)), button->size());
      QVERIFY2(dialog->rect().contains(where), qPrintable(button->text()));
      // A check box needs room for its box as well; a push button's margins may go.
      const int needed = qobject_cast<QCheckBox*>(button)
                             ? button->sizeHint().width()
                             : button->fontMetrics().horizontalAdvance(Shown(button->text()));
      QVERIFY2(needed <= button->width(), qPrintable(button->text()));
    }
    // In the dialogs drawn from a template, the labels keep their text whole too.
    for (QLabel* label : dialog->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
      if (!label->isVisibleTo(dialog) || label->text().isEmpty()) continue;
      const bool whole = label->wordWrap()
                             ? label->heightForWidth(label->width()) <= label->height()
                             : label->sizeHint().width() <= label->width();
      QVERIFY2(whole, qPrintable(label->text()));
    }
  }
};

int main(int argc, char** argv) {
  // Every measure in the program is in physical pixels, on a 1024 x 768 screen here.
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  QTemporaryDir dir;
  const QString config = dir.filePath("screen.json");
  QFile file(config);
  if (!file.open(QIODevice::WriteOnly)) return 1;
  file.write(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1024, "height": 768,
                 "logicalDpi": 96}]})");
  file.close();
  qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toUtf8());
  QApplication app(argc, argv);
  if (QGuiApplication::primaryScreen()->geometry() != QRect(0, 0, 1024, 768)) {
    qWarning("the screen is not 1024 x 768");
    return 1;
  }
  WindowFitTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "window_fit_test.moc"
