#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <optional>
#include <tuple>

#include "dialogs/about_dialog.h"
#include "dialogs/dialog_frame.h"
#include "dialogs/int_field.h"
#include "dialogs/results_dialog.h"
#include "dialogs/setup_dialogs.h"
#include "procedure/staircase.h"
#include "settings/test_settings.h"
#include "support/fake_ui.h"

namespace {

// Subject, start value, memtime, max_rev, hide_mouse, flag_feedback, flag_ranking.
const TestSettings kSample{"P01", 0, 45, 6, 1, 1, 0};

auto Tie(const TestSettings& s) {
  return std::tie(s.subject, s.memtime, s.max_rev, s.hide_mouse, s.flag_feedback, s.flag_ranking);
}

// Runs `drive` on the modal dialog of type D once its loop runs, then closes
// whatever is still open, so that a failed check cannot hang the test.
template <typename D>
std::shared_ptr<bool> WhenShown(std::function<void(D*)> drive) {
  auto reached = std::make_shared<bool>(false);
  QTimer::singleShot(0, [drive, reached] {
    QPointer<QWidget> modal = QApplication::activeModalWidget();
    if (auto* dialog = qobject_cast<D*>(modal.data())) {
      *reached = true;
      drive(dialog);
    }
    if (modal) modal->close();
  });
  return reached;
}

// Edit texts, then check states as Qt numbers them (2 checked), in tab order.
QStringList Fields(const CSetupDialog* d) {
  QStringList fields;
  for (const QLineEdit* edit : d->findChildren<QLineEdit*>()) fields << edit->text();
  for (const QCheckBox* box : d->findChildren<QCheckBox*>())
    fields << QString::number(box->checkState());
  return fields;
}

// The list's rows, and the rows selected.
QStringList Rows(const CResult& dialog) {
  QStringList rows;
  const QAbstractItemModel* model = dialog.List()->model();
  for (int i = 0; i < model->rowCount(); ++i) rows << model->index(i, 0).data().toString();
  return rows;
}
QList<int> SelectedRows(const CResult& dialog) {
  QList<int> rows;
  for (const QModelIndex& index : dialog.List()->selectionModel()->selectedIndexes())
    rows << index.row();
  return rows;
}

// Writes "ORBEL.txt" with `lines` under its header into `dir`; returns its path.
std::string WriteLog(const QTemporaryDir& dir, const QByteArray& lines) {
  QFile file(dir.filePath("ORBEL.txt"));
  if (file.open(QIODevice::WriteOnly)) file.write("Date\tTime\tScore\tSubject\n" + lines);
  return file.fileName().toStdString();
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    fake_.emplace();  // fresh records; the dialogs need services installed
    testSettings = kSample;
    testState = {};
    testState.trialsRun = 12;  // a finished test, to tell a reset from none
  }

  void parseIntField_readsLikePercentD_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("text after the number") << "12 abc" << true << 12;
    QTest::newRow("spaces and minus") << "  -3" << true << -3;
    QTest::newRow("zero") << "0" << true << 0;
    QTest::newRow("plus") << "+7" << true << 7;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("letters") << "abc" << false << 0;
    QTest::newRow("sign alone") << "-" << false << 0;
    QTest::newRow("digits from the 64th character") << QString(63, ' ') + "5" << false << 0;
    QTest::newRow("number cut after the 63rd character")
        << QString(60, ' ') + "12345" << true << 123;
    QTest::newRow("huge saturates") << QString(60, '9') << true << 2147483647;
    QTest::newRow("huge negative saturates") << "-99999999999" << true << -2147483647 - 1;
  }

  void parseIntField_readsLikePercentD() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, value);
    int32_t parsed = -12345;
    QCOMPARE(dialogs::ParseIntField(text.toStdString(), &parsed), ok);
    QCOMPARE(parsed, ok ? value : -12345);  // a failure leaves the value alone
  }

  void dialogs_titlesTextsSizeAndTabOrder() {
    CSubject subject;
    COption option;
    CResult result;
    CAboutDialog about;
    const QStringList texts{subject.windowTitle(),       option.windowTitle(),
                            result.windowTitle(),        about.windowTitle(),
                            about.VersionText()->text(), subject.Button(1)->text(),
                            subject.Button(2)->text(),   option.Button(2)->text()};
    QCOMPARE(texts,
             (QStringList{"Subject Information", "Option", "Results", "About this application",
                          "Dorvane v8.003", "OK", "キャンセル", "キャンセル"}));
    // The one check of dialog-unit geometry: a fixed client size from the template.
    QCOMPARE(subject.maximumSize(), dialogs::DialogUnits(subject.font()).Size(232, 93));
    QStringList chain;
    QWidget* w = subject.Edit(1001);
    do {
      if (w->parentWidget() == &subject && (w->focusPolicy() & Qt::TabFocus))
        chain << w->objectName();
    } while ((w = w->nextInFocusChain()) != subject.Edit(1001));
    QCOMPARE(chain, (QStringList{"edit1001", "edit1004", "edit1006", "check1005", "check1008",
                                 "check1007", "button1", "button2"}));
  }

  void checkBox_showsStoredState_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("shown");  // as Fields() gives it
    QTest::addColumn<int>("readBack");
    QTest::newRow("0") << 0 << "0" << 0;
    QTest::newRow("1") << 1 << "2" << 1;
    QTest::newRow("2: hand-set on") << 2 << "2" << 1;
    QTest::newRow("3") << 3 << "2" << 1;
    QTest::newRow("-1") << -1 << "2" << 1;
  }

  void checkBox_showsStoredState() {
    QFETCH(int, stored);
    QFETCH(QString, shown);
    QFETCH(int, readBack);
    CSubject d;
    d.subject = "P01";
    d.hideMouse = d.flagRanking = d.flagFeedback = stored;
    QVERIFY(d.ExchangeData(true));
    QCOMPARE(Fields(&d).mid(3), QStringList(3, shown));
    QVERIFY(d.ExchangeData(false));
    QCOMPARE(QList<int>({d.hideMouse, d.flagRanking, d.flagFeedback}), QList<int>(3, readBack));
  }

  void askSubject_opensWithSettings_okStoresClosesInputMethodAndResets() {
    auto reached = WhenShown<CSubject>([](CSubject* d) {
      QCOMPARE(Fields(d), (QStringList{"P01", "45", "6", "2", "2", "0"}));
      QCOMPARE(d->focusWidget(), d->Edit(1001));
      QCOMPARE(d->Edit(1001)->selectedText(), QStringLiteral("P01"));
      d->Edit(1001)->setText("Q-17");
      d->Edit(1004)->setText("30");
      d->Edit(1006)->setText("8");
      for (int id : {1005, 1007, 1008}) d->Check(id)->click();
      d->Button(1)->click();
    });
    QCOMPARE(AskSubjectInformation(), 1);
    QVERIFY(*reached);
    QVERIFY(Tie(testSettings) == Tie(TestSettings{"Q-17", 0, 30, 8, 0, 0, 1}));
    QVERIFY((fake_->inputMethod == decltype(fake_->inputMethod){{fake_->mainWindow, false}}));
    QCOMPARE(testState.trialsRun, 0);
  }

  void setupDialog_dismissed_changesNothing_data() {
    QTest::addColumn<bool>("subject");  // else Option
    QTest::addColumn<bool>("escape");   // else the Cancel button
    for (bool escape : {false, true}) {
      QTest::addRow("subject, escape %d", escape) << true << escape;
      QTest::addRow("option, escape %d", escape) << false << escape;
    }
  }

  void setupDialog_dismissed_changesNothing() {
    QFETCH(bool, subject);
    QFETCH(bool, escape);
    auto reached = WhenShown<CSetupDialog>([escape](CSetupDialog* d) {
      d->Edit(1004)->setText("1");
      d->Check(1005)->click();
      if (escape) QTest::keyClick(d->Edit(1004), Qt::Key_Escape);
      if (!escape) d->Button(2)->click();
    });
    if (subject) QCOMPARE(AskSubjectInformation(), 0);
    if (!subject) EditOptions();
    QVERIFY(*reached);
    QVERIFY(Tie(testSettings) == Tie(kSample));
    QCOMPARE(testState.trialsRun, 12);
    QVERIFY(fake_->inputMethod.empty());
  }

  void askSubject_badField_warnsAndStaysOpen_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("named");  // what the warning names
    QTest::newRow("time empty") << 1004 << ""
                                << "integer";
    QTest::newRow("time letters") << 1004 << "abc"
                                  << "integer";
    QTest::newRow("reversals sign only") << 1006 << "-"
                                         << "integer";
    QTest::newRow("ID with a line break") << 1001 << "p\nq"
                                          << "line break";
    QTest::newRow("ID into the parent folder") << 1001 << "../x"
                                               << "\"/\"";
    QTest::newRow("ID empty") << 1001 << ""
                              << "empty";
    QTest::newRow("ID with outer blanks") << 1001 << " P01 "
                                          << "blank";
    QTest::newRow("ID with =") << 1001 << "A=B"
                               << "\"=\"";
    QTest::newRow("ID with a comma") << 1001 << "P,01"
                                     << "\",\"";
  }

  void askSubject_badField_warnsAndStaysOpen() {
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(QString, named);
    auto reached = WhenShown<CSubject>([&, this](CSubject* d) {
      d->Edit(1001)->setText("NEW");
      d->Edit(field)->setText(text);
      d->Button(1)->click();
      QVERIFY(d->isVisible());
      QCOMPARE(d->focusWidget(), d->Edit(field));
      QCOMPARE(d->Edit(field)->selectedText(), text);
      QVERIFY(Tie(testSettings) == Tie(kSample));
      QCOMPARE(fake_->boxes.size(), size_t(1));
      QCOMPARE(fake_->boxes[0].type, ui::kMbOk | ui::kMbIconWarning);
      QVERIFY2(QString::fromStdString(fake_->boxes[0].text).contains(named),
               fake_->boxes[0].text.c_str());
      d->Edit(field)->setText(field == 1001 ? "NEW" : "9");  // corrected: OK goes through
      d->Button(1)->click();
    });
    QCOMPARE(AskSubjectInformation(), 1);
    QVERIFY(*reached);
    QCOMPARE(testSettings.subject, std::string("NEW"));
  }

  void askSubject_storedBadId_shownAsItIs() {
    testSettings.subject = "p\nq";
    auto reached = WhenShown<CSubject>([this](CSubject* d) {
      QCOMPARE(d->Edit(1001)->text(), QStringLiteral("p\nq"));
      d->Button(1)->click();
      QVERIFY(d->isVisible());
      QCOMPARE(fake_->boxes.size(), size_t(1));
    });
    QCOMPARE(AskSubjectInformation(), 0);
    QVERIFY(*reached);
    QCOMPARE(testSettings.subject, std::string("p\nq"));
  }

  void editOptions_ok_storesTimingOnly() {
    auto reached = WhenShown<COption>([](COption* d) {
      QCOMPARE(Fields(d), (QStringList{"45", "6", "2"}));
      QCOMPARE(d->focusWidget(), d->Edit(1004));
      d->Edit(1004)->setText("15");
      d->Edit(1006)->setText("2");
      d->Check(1005)->click();
      d->Button(1)->click();
    });
    EditOptions();
    QVERIFY(*reached);
    QVERIFY(Tie(testSettings) == Tie(TestSettings{"P01", 0, 15, 2, 0, 1, 0}));
    QCOMPARE(testState.trialsRun, 12);
    QVERIFY(fake_->inputMethod.empty());
  }

  void results_workedExample() {
    QTemporaryDir dir;
    CResult dialog;
    QVERIFY(PrepareResults(&dialog, WriteLog(dir,
                                             "2026/01/03\t10:00:00\t5.00\tP\n"
                                             "2026/01/04\t11:00:00\t6.25\tQ\n"
                                             "2026/01/05\t09:03:07\t5.00\tR\n")));
    QCOMPARE(Rows(dialog), (QStringList{"0001:  2026/01/04(11:00:00)    6.25   Q",
                                        "0002:  2026/01/05(09:03:07)    5.00   R",
                                        "0003:  2026/01/03(10:00:00)    5.00   P"}));
    QCOMPARE(dialog.Summary()->text(),
             QStringLiteral("Result of [R]: 5.00 chunks (ORDER: 2 out of 3 / 66.7 percentile)"));
    QCOMPARE(SelectedRows(dialog), QList<int>{1});
  }

  void viewResults_headerOnlyLog_showsNothing() {
    QTemporaryDir dir;
    WriteLog(dir, "");
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    auto shown = WhenShown<QDialog>([](QDialog*) {});
    ViewResults();
    QCoreApplication::processEvents();  // no dialog: the check runs now, and finds none
    QDir::setCurrent(previous);
    QVERIFY(!*shown);
  }

  void results_moreThan9999_rankOrderAndCurrentEntrySelected() {
    // 10001 better results put the latest at 10002: in text order its row
    // would sort between "0999" and "1000".
    QByteArray lines;
    for (int i = 0; i < 10004; ++i)
      lines += "2026/03/01\t12:00:00\t" + QByteArray::number(100 - i * 0.005, 'f', 3) + "\tS\n";
    QTemporaryDir dir;
    CResult dialog;
    QVERIFY(PrepareResults(&dialog, WriteLog(dir, lines + "2026/03/02\t12:00:00\t49.997\tCUR\n")));
    const QStringList rows = Rows(dialog);
    QCOMPARE(rows.size(), 10005);
    for (int k = 0; k < rows.size(); ++k) {
      const QString position = QString::number(k + 1).rightJustified(4, '0') + ":  ";
      QVERIFY2(rows[k].startsWith(position), qPrintable(rows[k]));
    }
    QCOMPARE(rows[10001], QStringLiteral("10002:  2026/03/02(12:00:00)   50.00   CUR"));
    QCOMPARE(SelectedRows(dialog), QList<int>{10001});
  }

 private:
  std::optional<testing::FakeUi> fake_;
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
