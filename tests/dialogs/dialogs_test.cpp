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

// Runs `drive` on the modal dialog of type D, then closes what is open: a failed check cannot hang.
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

// "ORBEL.txt" in `dir`: its header, then `lines`.
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
    QTest::newRow("plus") << "+7" << true << 7;
    for (const char* bad : {"", "abc", "-"}) QTest::addRow("bad: '%s'", bad) << bad << false << 0;
    QTest::newRow("digits from the 64th character") << QString(63, ' ') + "5" << false << 0;
    QTest::newRow("cut after the 63rd character") << QString(60, ' ') + "12345" << true << 123;
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

  void checkBox_showsStoredState_data() {
    QTest::addColumn<int>("stored");  // any but 0 (a hand-set 2) is on, and reads back as 1
    for (int stored : {0, 1, 2, -1}) QTest::addRow("%d", stored) << stored;
  }

  void checkBox_showsStoredState() {
    QFETCH(int, stored);
    CSubject d;
    d.subject = "P01";
    d.memtime = 45;
    d.maxRev = 6;
    d.hideMouse = d.flagRanking = d.flagFeedback = stored;
    QVERIFY(d.ExchangeData(true));
    QCOMPARE(Fields(&d).mid(3), QStringList(3, stored ? "2" : "0"));
    QVERIFY(d.ExchangeData(false));
    QCOMPARE(QList<int>({d.hideMouse, d.flagRanking, d.flagFeedback}), QList<int>(3, stored != 0));
  }

  void setupDialog_showsSettings_okStores_dismissedChangesNothing_data() {
    QTest::addColumn<bool>("subject");  // else Option
    QTest::addColumn<int>("button");    // 1 OK, 2 Cancel, 0 the Escape key
    for (int button : {1, 2, 0}) {
      QTest::addRow("subject, button %d", button) << true << button;
      QTest::addRow("option, button %d", button) << false << button;
    }
  }

  void setupDialog_showsSettings_okStores_dismissedChangesNothing() {
    QFETCH(bool, subject);
    QFETCH(int, button);
    // The fields, then the tab order.
    const QStringList shown =
        subject ? QStringList{"P01",       "45",        "6",        "2",        "2",
                              "0",         "edit1001",  "edit1004", "edit1006", "check1005",
                              "check1008", "check1007", "button1",  "button2"}
                : QStringList{"45",       "6",         "2",       "edit1004",
                              "edit1006", "check1005", "button1", "button2"};
    auto reached = WhenShown<CSetupDialog>([&](CSetupDialog* d) {
      QLineEdit* const first = d->findChildren<QLineEdit*>().value(0);
      QStringList seen = Fields(d);
      QWidget* w = first;
      do {
        if (w->parentWidget() == d && (w->focusPolicy() & Qt::TabFocus)) seen << w->objectName();
      } while ((w = w->nextInFocusChain()) != first);
      QCOMPARE(seen, shown);
      QCOMPARE(d->focusWidget(), first);
      QCOMPARE(first->selectedText(), first->text());
      if (subject) d->Edit(1001)->setText("Q-17");
      d->Edit(1004)->setText("30");
      d->Edit(1006)->setText("8");
      for (QCheckBox* box : d->findChildren<QCheckBox*>()) box->click();
      button ? d->Button(button)->click() : QTest::keyClick(d->Edit(1004), Qt::Key_Escape);
    });
    if (subject) QCOMPARE(AskSubjectInformation(), int(button == 1));
    if (!subject) EditOptions();
    QVERIFY(*reached);
    const bool ok = button == 1;
    const TestSettings stored = !ok       ? kSample
                                : subject ? TestSettings{"Q-17", 0, 30, 8, 0, 0, 1}
                                          : TestSettings{"P01", 0, 30, 8, 0, 1, 0};
    QVERIFY(Tie(testSettings) == Tie(stored));
    // Only a subject's OK begins a test: the input method closed, the last test's state reset.
    QCOMPARE(testState.trialsRun, subject && ok ? 0 : 12);
    const decltype(fake_->inputMethod) closed{{fake_->mainWindow, false}};
    QVERIFY(fake_->inputMethod == (subject && ok ? closed : decltype(closed){}));
  }

  void askSubject_badField_warnsAndStaysOpen_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("named");  // what the warning names
    // Each identifier fault and its text are tested with the check; here, that the box names it.
    const std::tuple<int, const char*, const char*> rows[] = {
        {1004, "", "integer"},   {1004, "abc", "integer"},     {1006, "-", "integer"},
        {1001, "P,01", "\",\""}, {1001, "p\nq", "line break"}, {1001, "", "empty"}};
    for (const auto& [field, text, named] : rows)
      QTest::addRow("%d %s, %s", field, named, text[0] == 'p' ? "p q" : text)
          << field << QString(text) << QString(named);
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

  void timingFields_outsideRange_refusedNamingIt_data() {
    QTest::addColumn<bool>("subject");  // else Option
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("refused");
    const std::tuple<int, const char*, bool> rows[] = {
        {1004, "0", true},  {1004, "-1", true},   {1004, "601", true}, {1004, "99999999999", true},
        {1004, "1", false}, {1004, "600", false}, {1006, "0", true},   {1006, "-1", true},
        {1006, "51", true}, {1006, "1", false},   {1006, "50", false}};
    for (const bool subject : {true, false})
      for (const auto& [field, text, refused] : rows)
        QTest::addRow("%s %d '%s'", subject ? "subject" : "option", field, text)
            << subject << field << QString(text) << refused;
  }

  void timingFields_outsideRange_refusedNamingIt() {
    QFETCH(bool, subject);
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(bool, refused);
    const QString range = field == 1004 ? "1 to 600 seconds" : "1 to 50";
    auto reached = WhenShown<CSetupDialog>([&, this](CSetupDialog* d) {
      d->Edit(field)->setText(text);
      d->Button(1)->click();
      QCOMPARE(d->isVisible(), refused);
      if (!refused) return;
      QCOMPARE(d->focusWidget(), d->Edit(field));
      QCOMPARE(d->Edit(field)->selectedText(), text);
      QVERIFY(Tie(testSettings) == Tie(kSample));
      QCOMPARE(fake_->boxes.size(), size_t(1));
      QCOMPARE(fake_->boxes[0].type, ui::kMbOk | ui::kMbIconWarning);
      const QString box = QString::fromStdString(fake_->boxes[0].text);
      const int32_t value = [&] {
        int32_t v = 0;
        dialogs::ParseIntField(text.toStdString(), &v);
        return v;
      }();
      QVERIFY2(box.contains(range) && box.contains(QString::number(value) + " is outside"),
               qPrintable(box));
      d->Edit(field)->setText("7");  // corrected: OK goes through
      d->Button(1)->click();
    });
    if (subject) QCOMPARE(AskSubjectInformation(), 1);
    if (!subject) EditOptions();
    QVERIFY(*reached);
    const int32_t expected = refused ? 7 : text.toInt();
    QCOMPARE(field == 1004 ? testSettings.memtime : testSettings.max_rev, expected);
  }

  // A value read from "ORBEL.ini" reaches the dialog as it is, and no test
  // starts until it is corrected.
  void askSubject_storedOutOfRange_shownAndMustBeCorrected_data() {
    QTest::addColumn<int>("memtime");
    QTest::addColumn<int>("maxRev");
    QTest::addColumn<QString>("named");
    QTest::newRow("memtime 0") << 0 << 6 << "0 is outside";
    QTest::newRow("memtime -1") << -1 << 6 << "-1 is outside";
    QTest::newRow("memtime huge") << 2147483647 << 6 << "2147483647 is outside";
    QTest::newRow("max_rev -1") << 45 << -1 << "-1 is outside";
    QTest::newRow("max_rev 0") << 45 << 0 << "0 is outside";
  }

  void askSubject_storedOutOfRange_shownAndMustBeCorrected() {
    QFETCH(int, memtime);
    QFETCH(int, maxRev);
    QFETCH(QString, named);
    testSettings.memtime = memtime;
    testSettings.max_rev = maxRev;
    auto reached = WhenShown<CSubject>([&, this](CSubject* d) {
      QCOMPARE(d->Edit(1004)->text(), QString::number(memtime));
      QCOMPARE(d->Edit(1006)->text(), QString::number(maxRev));
      d->Button(1)->click();
      QVERIFY(d->isVisible());
      QCOMPARE(fake_->boxes.size(), size_t(1));
      QVERIFY2(QString::fromStdString(fake_->boxes[0].text).contains(named),
               fake_->boxes[0].text.c_str());
      QCOMPARE(d->focusWidget(), d->Edit(memtime == 45 ? 1006 : 1004));
    });
    QCOMPARE(AskSubjectInformation(), 0);  // closed without OK: no test
    QVERIFY(*reached);
    QCOMPARE(testSettings.memtime, memtime);
    QCOMPARE(testState.trialsRun, 12);
  }

  void rangesHint_shownWholeBesideNoOtherControl_data() {
    QTest::addColumn<bool>("subject");
    QTest::newRow("subject") << true;
    QTest::newRow("option") << false;
  }

  void rangesHint_shownWholeBesideNoOtherControl() {
    QFETCH(bool, subject);
    std::unique_ptr<CSetupDialog> d;
    if (subject) d = std::make_unique<CSubject>();
    if (!subject) d = std::make_unique<COption>();
    const QLabel* hint = d->RangesLabel();
    QVERIFY(hint);
    QCOMPARE(hint->text(), QString::fromUtf8("(1–600 sec., 1–50 reversals)"));
    QVERIFY(hint->fontMetrics().horizontalAdvance(hint->text()) <= hint->width());
    QVERIFY(d->rect().contains(hint->geometry()));
    for (const QWidget* other : d->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
      if (other != hint)
        QVERIFY2(!other->geometry().intersects(hint->geometry()), qPrintable(other->objectName()));
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

  void viewResults_nothingToRank_saysSoNamingTheFolder_data() {
    QTest::addColumn<bool>("headerOnly");  // else: no log at all
    QTest::addColumn<QString>("text");     // %1: the folder
    QTest::newRow("no log") << false
                            << "There is no log [ORBEL.txt] in the folder [%1]: no test has "
                               "been completed here yet.";
    QTest::newRow("header only") << true << "The log [%1/ORBEL.txt] holds no result to rank yet.";
  }

  void viewResults_nothingToRank_saysSoNamingTheFolder() {
    QFETCH(bool, headerOnly);
    QFETCH(QString, text);
    QTemporaryDir dir;
    if (headerOnly) WriteLog(dir, "");
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    auto shown = WhenShown<QDialog>([](QDialog*) {});
    ViewResults();
    QCoreApplication::processEvents();  // no dialog: the check runs now, and finds none
    QDir::setCurrent(previous);
    QVERIFY(!*shown);
    QCOMPARE(fake_->boxes.size(), size_t(1));
    QCOMPARE(QString::fromStdString(fake_->boxes[0].text),
             text.arg(QDir(dir.path()).absolutePath()));
  }

  // Row and summary texts are checked with the log; here, that the dialog shows them.
  void results_moreThan9999_rankOrderAndCurrentEntrySelected() {
    // The latest at 10002: in text order its row would sort between "0999" and "1000".
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
    QVERIFY(dialog.Summary()->text().startsWith(
        "Result of [CUR]: 50.00 chunks (ORDER: 10002 out of 10005 /"));
  }

 private:
  std::optional<testing::FakeUi> fake_;
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
