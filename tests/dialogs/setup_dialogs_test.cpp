#include "dialogs/setup_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <cstring>
#include <functional>

#include "settings/test_settings.h"
#include "support/fake_ui.h"
#include "test/staircase.h"

namespace {

// Drives the modal dialog of type D once its loop runs. Whatever `drive`
// leaves open is cancelled afterwards, so a failing check cannot hang the
// test in the modal loop.
template <typename D>
void WhenShown(std::function<void(D*)> drive, bool* reached) {
  *reached = false;
  QTimer::singleShot(0, [drive, reached] {
    QWidget* modal = QApplication::activeModalWidget();
    auto* dialog = qobject_cast<D*>(modal);
    if (!dialog) {
      if (modal) modal->close();
      return;
    }
    *reached = true;
    QPointer<D> guard(dialog);
    drive(dialog);
    if (guard && guard->isVisible()) guard->reject();
  });
}

TestSettings SampleSettings() {
  TestSettings s;
  s.subject = "P01";
  s.memtime = 45;
  s.max_rev = 6;
  s.hide_mouse = 1;
  s.flag_feedback = 1;
  s.flag_ranking = 0;
  return s;
}

bool SameSettings(const TestSettings& a, const TestSettings& b) {
  return a.subject == b.subject && a.memtime == b.memtime && a.max_rev == b.max_rev &&
         a.hide_mouse == b.hide_mouse && a.flag_feedback == b.flag_feedback &&
         a.flag_ranking == b.flag_ranking;
}

// A trial table left by an earlier test, to tell a reset from no reset.
void FillTestStateWithLastTest() {
  std::memset(&testState, 0, sizeof testState);
  for (int i = 0; i < 12; ++i) {
    testState.trials[i] = TrialRecord{i + 1, 3 + i % 3, 2, 900, 1500, i % 2, i % 4 == 3 ? 1 : 0};
  }
  testState.trialsRun = 12;
  testState.reversals = 3;
  testState.direction = -1;
}

bool TestStateIsLastTest() {
  return testState.trialsRun == 12 && testState.reversals == 3 && testState.direction == -1 &&
         testState.trials[4].NItems == 4 && testState.trials[4].RT1 == 900;
}

bool TestStateIsReset() {
  if (testState.trialsRun != 0 || testState.reversals != 0 || testState.direction != 1)
    return false;
  if (testState.trials[0].NItems != kFirstTrialPatches) return false;
  for (int i = 0; i < kMaxTrials; ++i) {
    const TrialRecord& r = testState.trials[i];
    if (r.Trial != i + 1 || r.NCorrect || r.RT1 || r.RT2 || r.Error || r.Rev) return false;
    if (i > 0 && r.NItems) return false;
  }
  return true;
}

}  // namespace

class SetupDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void init();

  void askSubject_showsCurrentSettings();
  void checkBox_showsStoredState_data();
  void checkBox_showsStoredState();
  void checkBox_clickToggles_neverBackToThirdState();
  void askSubject_okStoresEditsResetsTestClosesInputMethod();
  void askSubject_integerFields_data();
  void askSubject_integerFields();
  void askSubject_emptySubjectAccepted();
  void subject_longIdentifier_keptWhole();
  void askSubject_enterInField_actsAsOk();
  void askSubject_dismissed_changesNothing_data();
  void askSubject_dismissed_changesNothing();
  void askSubject_badField_warnsAndStaysOpen_data();
  void askSubject_badField_warnsAndStaysOpen();
  void subject_badTime_laterMembersNotTransferred();
  void editOptions_storesTimingOnly();
  void editOptions_cancel_changesNothing();
  void option_badReversals_earlierMembersTransferred();
};

void SetupDialogsTest::init() {
  testSettings = SampleSettings();
  FillTestStateWithLastTest();
}

void SetupDialogsTest::askSubject_showsCurrentSettings() {
  testing::FakeUi fake;
  bool reached = false;
  WhenShown<CSubject>(
      [](CSubject* d) {
        QCOMPARE(d->Edit(1001)->text(), QStringLiteral("P01"));
        QCOMPARE(d->Edit(1004)->text(), QStringLiteral("45"));
        QCOMPARE(d->Edit(1006)->text(), QStringLiteral("6"));
        QCOMPARE(d->Check(1005)->checkState(), Qt::Checked);
        QCOMPARE(d->Check(1008)->checkState(), Qt::Checked);
        QCOMPARE(d->Check(1007)->checkState(), Qt::Unchecked);
        // A fresh dialog has the focus in its first field, text selected.
        QCOMPARE(d->focusWidget(), d->Edit(1001));
        QCOMPARE(d->Edit(1001)->selectedText(), QStringLiteral("P01"));
      },
      &reached);
  QCOMPARE(AskSubjectInformation(), 0);
  QVERIFY(reached);
}

void SetupDialogsTest::checkBox_showsStoredState_data() {
  QTest::addColumn<int>("stored");
  QTest::addColumn<int>("shown");
  QTest::addColumn<int>("memberAfterShow");
  QTest::addColumn<int>("readBack");
  QTest::newRow("0 unchecked") << 0 << int(Qt::Unchecked) << 0 << 0;
  QTest::newRow("1 checked") << 1 << int(Qt::Checked) << 1 << 1;
  QTest::newRow("2 third state") << 2 << int(Qt::PartiallyChecked) << 2 << 0;
  QTest::newRow("3 out of range") << 3 << int(Qt::Unchecked) << 0 << 0;
  QTest::newRow("-1 out of range") << -1 << int(Qt::Unchecked) << 0 << 0;
}

void SetupDialogsTest::checkBox_showsStoredState() {
  QFETCH(int, stored);
  QFETCH(int, shown);
  QFETCH(int, memberAfterShow);
  QFETCH(int, readBack);
  testing::FakeUi fake;
  CSubject subject;
  subject.memtime = 10;
  subject.maxRev = 2;
  subject.hideMouse = stored;
  subject.flagRanking = stored;
  subject.flagFeedback = stored;
  QVERIFY(subject.ExchangeData(true));
  for (int id : {1005, 1007, 1008}) QCOMPARE(int(subject.Check(id)->checkState()), shown);
  QCOMPARE(subject.hideMouse, memberAfterShow);
  QCOMPARE(subject.flagRanking, memberAfterShow);
  QCOMPARE(subject.flagFeedback, memberAfterShow);
  QVERIFY(subject.ExchangeData(false));
  QCOMPARE(subject.hideMouse, readBack);
  QCOMPARE(subject.flagRanking, readBack);
  QCOMPARE(subject.flagFeedback, readBack);

  COption option;
  option.hideMouse = stored;
  QVERIFY(option.ExchangeData(true));
  QCOMPARE(int(option.Check(1005)->checkState()), shown);
  QCOMPARE(option.hideMouse, memberAfterShow);
}

void SetupDialogsTest::checkBox_clickToggles_neverBackToThirdState() {
  testing::FakeUi fake;
  CSubject subject;
  subject.hideMouse = 2;
  subject.ExchangeData(true);
  QCheckBox* box = subject.Check(1005);
  box->click();
  QCOMPARE(box->checkState(), Qt::Checked);
  box->click();
  QCOMPARE(box->checkState(), Qt::Unchecked);
  box->click();
  QCOMPARE(box->checkState(), Qt::Checked);
  // A box that never held the third state toggles the same way.
  QCheckBox* plain = subject.Check(1007);
  plain->click();
  plain->click();
  QCOMPARE(plain->checkState(), Qt::Unchecked);
}

void SetupDialogsTest::askSubject_okStoresEditsResetsTestClosesInputMethod() {
  testing::FakeUi fake;
  bool reached = false;
  WhenShown<CSubject>(
      [](CSubject* d) {
        d->Edit(1001)->setText(QStringLiteral("Q-17"));
        d->Edit(1004)->setText(QStringLiteral("30"));
        d->Edit(1006)->setText(QStringLiteral("8"));
        d->Check(1005)->click();  // 1 -> 0
        d->Check(1007)->click();  // 0 -> 1
        d->Check(1008)->click();  // 1 -> 0
        d->Button(1)->click();
      },
      &reached);
  QCOMPARE(AskSubjectInformation(), 1);
  QVERIFY(reached);
  QCOMPARE(testSettings.subject, std::string("Q-17"));
  QCOMPARE(testSettings.memtime, 30);
  QCOMPARE(testSettings.max_rev, 8);
  QCOMPARE(testSettings.hide_mouse, 0);
  QCOMPARE(testSettings.flag_ranking, 1);
  QCOMPARE(testSettings.flag_feedback, 0);
  QVERIFY(TestStateIsReset());
  QCOMPARE(fake.inputMethod.size(), std::size_t(1));
  QCOMPARE(fake.inputMethod[0].first, fake.mainWindow);
  QCOMPARE(fake.inputMethod[0].second, false);
  QVERIFY(fake.boxes.empty());
}

void SetupDialogsTest::askSubject_integerFields_data() {
  QTest::addColumn<QString>("timeText");
  QTest::addColumn<QString>("reversalsText");
  QTest::addColumn<int>("memtime");
  QTest::addColumn<int>("maxRev");
  QTest::newRow("text after number") << "12 abc"
                                     << "4" << 12 << 4;
  QTest::newRow("spaces and minus") << "  -3"
                                    << "4" << -3 << 4;
  QTest::newRow("zero time, zero reversals") << "0"
                                             << "0" << 0 << 0;
  QTest::newRow("plus sign") << "+7"
                             << "+2" << 7 << 2;
  QTest::newRow("huge saturates") << "99999999999"
                                  << "-99999999999" << 2147483647 << int(-2147483647 - 1);
}

void SetupDialogsTest::askSubject_integerFields() {
  QFETCH(QString, timeText);
  QFETCH(QString, reversalsText);
  QFETCH(int, memtime);
  QFETCH(int, maxRev);
  testing::FakeUi fake;
  bool reached = false;
  WhenShown<CSubject>(
      [timeText, reversalsText](CSubject* d) {
        d->Edit(1004)->setText(timeText);
        d->Edit(1006)->setText(reversalsText);
        d->Button(1)->click();
      },
      &reached);
  QCOMPARE(AskSubjectInformation(), 1);
  QVERIFY(reached);
  QCOMPARE(testSettings.memtime, memtime);
  QCOMPARE(testSettings.max_rev, maxRev);
  QVERIFY(fake.boxes.empty());
}

void SetupDialogsTest::askSubject_emptySubjectAccepted() {
  testing::FakeUi fake;
  bool reached = false;
  WhenShown<CSubject>(
      [](CSubject* d) {
        d->Edit(1001)->clear();
        d->Button(1)->click();
      },
      &reached);
  QCOMPARE(AskSubjectInformation(), 1);
  QVERIFY(reached);
  QCOMPARE(testSettings.subject, std::string());
}

void SetupDialogsTest::subject_longIdentifier_keptWhole() {
  testing::FakeUi fake;
  CSubject d;
  d.subject = std::string(40000, 'x') + "END";
  QVERIFY(d.ExchangeData(true));
  d.subject.clear();
  QVERIFY(d.ExchangeData(false));
  QCOMPARE(d.subject.size(), std::size_t(40003));
  QCOMPARE(d.subject.substr(40000), std::string("END"));
}

void SetupDialogsTest::askSubject_enterInField_actsAsOk() {
  testing::FakeUi fake;
  bool reached = false;
  WhenShown<CSubject>(
      [](CSubject* d) {
        d->Edit(1006)->setText(QStringLiteral("5"));
        QTest::keyClick(d->Edit(1006), Qt::Key_Return);
      },
      &reached);
  QCOMPARE(AskSubjectInformation(), 1);
  QVERIFY(reached);
  QCOMPARE(testSettings.max_rev, 5);
}

void SetupDialogsTest::askSubject_dismissed_changesNothing_data() {
  QTest::addColumn<int>("way");
  QTest::newRow("cancel button") << 0;
  QTest::newRow("escape key") << 1;
  QTest::newRow("close box") << 2;
}

void SetupDialogsTest::askSubject_dismissed_changesNothing() {
  QFETCH(int, way);
  testing::FakeUi fake;
  bool reached = false;
  WhenShown<CSubject>(
      [way](CSubject* d) {
        d->Edit(1001)->setText(QStringLiteral("OTHER"));
        d->Edit(1004)->setText(QStringLiteral("1"));
        d->Check(1005)->click();
        if (way == 0) d->Button(2)->click();
        if (way == 1) QTest::keyClick(d->Edit(1004), Qt::Key_Escape);
        if (way == 2) d->close();
      },
      &reached);
  QCOMPARE(AskSubjectInformation(), 0);
  QVERIFY(reached);
  QVERIFY(SameSettings(testSettings, SampleSettings()));
  QVERIFY(TestStateIsLastTest());
  QVERIFY(fake.inputMethod.empty());
}

void SetupDialogsTest::askSubject_badField_warnsAndStaysOpen_data() {
  QTest::addColumn<int>("field");
  QTest::addColumn<QString>("text");
  QTest::newRow("time empty") << 1004 << "";
  QTest::newRow("time letters") << 1004 << "abc";
  QTest::newRow("time sign only") << 1004 << "-";
  QTest::newRow("reversals letters") << 1006 << "four";
  QTest::newRow("reversals blank") << 1006 << "   ";
}

void SetupDialogsTest::askSubject_badField_warnsAndStaysOpen() {
  QFETCH(int, field);
  QFETCH(QString, text);
  testing::FakeUi fake;
  bool reached = false;
  bool stayedOpen = false;
  bool focusOnField = false;
  QString selected;
  bool settingsUntouched = false;
  std::size_t boxesAfterFirstOk = 0;
  WhenShown<CSubject>(
      [&](CSubject* d) {
        d->Edit(1001)->setText(QStringLiteral("NEW"));
        d->Edit(field)->setText(text);
        d->Button(1)->click();
        stayedOpen = d->isVisible();
        focusOnField = d->focusWidget() == d->Edit(field);
        selected = d->Edit(field)->selectedText();
        settingsUntouched = SameSettings(testSettings, SampleSettings());
        boxesAfterFirstOk = fake.boxes.size();
        // The experimenter corrects the field; OK now goes through.
        d->Edit(field)->setText(QStringLiteral("9"));
        d->Button(1)->click();
      },
      &reached);
  QCOMPARE(AskSubjectInformation(), 1);
  QVERIFY(reached);
  QVERIFY(stayedOpen);
  QVERIFY(focusOnField);
  QCOMPARE(selected, text);
  QVERIFY(settingsUntouched);
  QCOMPARE(boxesAfterFirstOk, std::size_t(1));
  QCOMPARE(fake.boxes.size(), std::size_t(1));
  QCOMPARE(fake.boxes[0].type, ui::kMbOk | ui::kMbIconWarning);
  QCOMPARE(fake.boxes[0].caption, ui::ApplicationName());
  QVERIFY(!fake.boxes[0].text.empty());
  QCOMPARE(testSettings.subject, std::string("NEW"));
  QCOMPARE(field == 1004 ? testSettings.memtime : testSettings.max_rev, 9);
}

void SetupDialogsTest::subject_badTime_laterMembersNotTransferred() {
  testing::FakeUi fake;
  CSubject d;
  d.subject = "A";
  d.memtime = 20;
  d.maxRev = 4;
  d.hideMouse = 0;
  d.show();
  d.Edit(1001)->setText(QStringLiteral("B"));
  d.Edit(1004)->setText(QStringLiteral("x"));
  d.Edit(1006)->setText(QStringLiteral("11"));
  d.Check(1005)->click();
  QVERIFY(!d.TryAccept());
  QVERIFY(d.isVisible());
  QCOMPARE(d.subject, std::string("B"));  // before the failing field
  QCOMPARE(d.memtime, 20);
  QCOMPARE(d.maxRev, 4);  // after it: untouched
  QCOMPARE(d.hideMouse, 0);
  QCOMPARE(fake.boxes.size(), std::size_t(1));
  d.reject();
}

void SetupDialogsTest::editOptions_storesTimingOnly() {
  testing::FakeUi fake;
  testSettings.flag_ranking = 1;
  bool reached = false;
  WhenShown<COption>(
      [](COption* d) {
        QCOMPARE(d->Edit(1004)->text(), QStringLiteral("45"));
        QCOMPARE(d->Edit(1006)->text(), QStringLiteral("6"));
        QCOMPARE(d->Check(1005)->checkState(), Qt::Checked);
        QCOMPARE(d->focusWidget(), d->Edit(1004));
        QVERIFY(!d->Edit(1001));
        d->Edit(1004)->setText(QStringLiteral("15"));
        d->Edit(1006)->setText(QStringLiteral("2"));
        d->Check(1005)->click();
        d->Button(1)->click();
      },
      &reached);
  EditOptions();
  QVERIFY(reached);
  QCOMPARE(testSettings.memtime, 15);
  QCOMPARE(testSettings.max_rev, 2);
  QCOMPARE(testSettings.hide_mouse, 0);
  QCOMPARE(testSettings.subject, std::string("P01"));
  QCOMPARE(testSettings.flag_feedback, 1);
  QCOMPARE(testSettings.flag_ranking, 1);
  QVERIFY(TestStateIsLastTest());
  QVERIFY(fake.inputMethod.empty());
}

void SetupDialogsTest::editOptions_cancel_changesNothing() {
  testing::FakeUi fake;
  bool reached = false;
  WhenShown<COption>(
      [](COption* d) {
        d->Edit(1004)->setText(QStringLiteral("15"));
        d->Check(1005)->click();
        QTest::keyClick(d->Edit(1004), Qt::Key_Escape);
      },
      &reached);
  EditOptions();
  QVERIFY(reached);
  QVERIFY(SameSettings(testSettings, SampleSettings()));
}

void SetupDialogsTest::option_badReversals_earlierMembersTransferred() {
  testing::FakeUi fake;
  COption d;
  d.memtime = 60;
  d.hideMouse = 0;
  d.maxRev = 4;
  d.show();
  d.Edit(1004)->setText(QStringLiteral("5"));
  d.Check(1005)->click();
  d.Edit(1006)->setText(QStringLiteral("x"));
  QVERIFY(!d.TryAccept());
  QVERIFY(d.isVisible());
  QCOMPARE(d.result(), int(QDialog::Rejected));
  QCOMPARE(d.memtime, 5);
  QCOMPARE(d.hideMouse, 1);
  QCOMPARE(d.maxRev, 4);
  QCOMPARE(d.focusWidget(), d.Edit(1006));
  QCOMPARE(d.Edit(1006)->selectedText(), QStringLiteral("x"));
  QCOMPARE(fake.boxes.size(), std::size_t(1));
  d.reject();
}

QTEST_MAIN(SetupDialogsTest)
#include "setup_dialogs_test.moc"
