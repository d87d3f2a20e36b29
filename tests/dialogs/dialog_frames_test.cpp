// Every dialog has a close box and nothing to minimise or maximise, and the
// About box shows no made-up address.
#include <QLabel>
#include <QtTest>
#include <functional>
#include <memory>

#include "dialogs/about_dialog.h"
#include "dialogs/results_dialog.h"
#include "dialogs/setup_dialogs.h"
#include "support/fake_ui.h"

using MakeDialog = std::function<QDialog*()>;
Q_DECLARE_METATYPE(MakeDialog)

class DialogFramesTest : public QObject {
  Q_OBJECT

 private slots:
  void frame_closeBoxOnly_data() {
    QTest::addColumn<MakeDialog>("make");
    QTest::newRow("About") << MakeDialog([] { return new CAboutDialog; });
    QTest::newRow("Subject Information") << MakeDialog([] { return new CSubject; });
    QTest::newRow("Option") << MakeDialog([] { return new COption; });
    QTest::newRow("Results") << MakeDialog([] { return new CResult; });
  }

  void frame_closeBoxOnly() {
    QFETCH(MakeDialog, make);
    testing::FakeUi fake;
    std::unique_ptr<QDialog> dialog(make());
    const Qt::WindowFlags flags = dialog->windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
    // Without the customise hint the window manager picks the buttons itself.
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
  }

  void about_noPlaceholderAddress() {
    testing::FakeUi fake;
    CAboutDialog about;
    const QString credit = about.CreditText()->text();
    QVERIFY2(!credit.contains("example.", Qt::CaseInsensitive), qPrintable(credit));
    QVERIFY2(!credit.contains("://"), qPrintable(credit));
    QVERIFY(credit.contains("Dorvane"));
  }
};

QTEST_MAIN(DialogFramesTest)
#include "dialog_frames_test.moc"
