// The Participants window over registers written for the test.
#include "participants/participants_window.h"

#include <QtTest>
#include <QtWidgets>

#include "support/fake_ui.h"
#include "support/file_bytes.h"

using participants::CParticipants;
using testing::ReadBytes;
using testing::WriteBytes;

namespace {

const QByteArray kRegister = "ID,age,gender,notes,room\nP01,34,f,\"a, \"\"b\"\"\nc\",2\nP02,,m,,\n";

QStringList Row(const CParticipants& w, int row) {
  QStringList out;
  for (int c = 0; c < w.Model()->columnCount(); ++c)
    out << w.Model()->index(row, c).data().toString();
  return out;
}

QStringList Header(const CParticipants& w) {
  QStringList out;
  for (int c = 0; c < w.Model()->columnCount(); ++c)
    out << w.Model()->headerData(c, Qt::Horizontal).toString();
  return out;
}

// Types into a cell the way the person does: through the table's editor.
void Type(CParticipants& w, int row, int column, const QString& text) {
  const QModelIndex cell = w.Model()->index(row, column);
  w.Table()->setCurrentIndex(cell);
  w.Table()->edit(cell);
  auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  QVERIFY(editor);
  editor->selectAll();
  QTest::keyClicks(editor, text);
  QTest::keyClick(editor, Qt::Key_Return);
  QCoreApplication::processEvents();  // the delegate commits the text a moment later
  QCOMPARE(w.Model()->index(row, column).data().toString(), text);
}

}  // namespace

class ParticipantsWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void opens_showsRowsAndExtraColumns();
  void addEditSave_writesRegister();
  void deleteRow_andSave();
  void badId_isMarkedAndNotSaved_data();
  void badId_isMarkedAndNotSaved();
  void malformed_opensReadOnly_data();
  void malformed_opensReadOnly();
  void missing_saveMakesFile();
  void changedMeanwhile_isNotOverwritten();
  void fitsTheSmallScreen();
};

void ParticipantsWindowTest::opens_showsRowsAndExtraColumns() {
  QTemporaryDir dir;
  const QString path = dir.filePath("participants.csv");
  QVERIFY(WriteBytes(path, kRegister));
  testing::FakeUi fake;
  CParticipants w(path);
  QVERIFY(!w.ReadOnly());
  QCOMPARE(Header(w), (QStringList{"ID", "age", "gender", "notes", "room"}));
  QCOMPARE(w.Model()->rowCount(), 2);
  QCOMPARE(Row(w, 0), (QStringList{"P01", "34", "f", "a, \"b\"\nc", "2"}));
  QVERIFY(w.Model()->flags(w.Model()->index(0, 4)) & Qt::ItemIsEditable);
}

void ParticipantsWindowTest::addEditSave_writesRegister() {
  QTemporaryDir dir;
  const QString path = dir.filePath("participants.csv");
  QVERIFY(WriteBytes(path, kRegister));
  testing::FakeUi fake;
  CParticipants w(path);
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  w.AddRow();
  QCOMPARE(w.Model()->rowCount(), 3);
  Type(w, 2, 0, "P03");
  Type(w, 2, 4, "lab, 3");
  Type(w, 1, 1, "41");
  QVERIFY(w.Modified());
  QVERIFY(w.Save());
  QVERIFY(!w.Modified());
  QCOMPARE(ReadBytes(path), QByteArray("ID,age,gender,notes,room\nP01,34,f,\"a, \"\"b\"\"\nc\",2\n"
                                       "P02,41,m,,\nP03,,,,\"lab, 3\"\n"));
  QVERIFY(fake.boxes.empty());
}

void ParticipantsWindowTest::deleteRow_andSave() {
  QTemporaryDir dir;
  const QString path = dir.filePath("participants.csv");
  QVERIFY(WriteBytes(path, kRegister));
  testing::FakeUi fake;
  CParticipants w(path);
  w.Table()->selectRow(0);
  w.DeleteSelectedRows();
  QVERIFY(w.Save());
  QCOMPARE(ReadBytes(path), QByteArray("ID,age,gender,notes,room\nP02,,m,,\n"));
}

void ParticipantsWindowTest::badId_isMarkedAndNotSaved_data() {
  QTest::addColumn<QString>("id");
  QTest::addColumn<QString>("status");
  QTest::newRow("comma") << "P,9"
                         << "Row 2: The subject ID holds \",\", which would split the rows of the "
                            "data file. Please correct it.";
  QTest::newRow("outer blank") << " P9"
                               << "Row 2: The subject ID begins or ends with a blank or a tab. "
                                  "Please correct it.";
  QTest::newRow("twice") << "P01"
                         << "Row 2: The ID P01 is in the register twice.";
}

void ParticipantsWindowTest::badId_isMarkedAndNotSaved() {
  QFETCH(QString, id);
  QFETCH(QString, status);
  QTemporaryDir dir;
  const QString path = dir.filePath("participants.csv");
  QVERIFY(WriteBytes(path, kRegister));
  testing::FakeUi fake;
  CParticipants w(path);
  w.Model()->item(1, 0)->setText(id);
  QCOMPARE(w.StatusText(), status);
  QVERIFY(!w.Model()->item(1, 0)->toolTip().isEmpty());
  QVERIFY(!w.Save());
  QCOMPARE(fake.boxes.size(), size_t{1});
  QCOMPARE(ReadBytes(path), kRegister);
}

void ParticipantsWindowTest::malformed_opensReadOnly_data() {
  QTest::addColumn<QByteArray>("csv");
  QTest::addColumn<QString>("reason");
  QTest::newRow("duplicate") << QByteArray("ID,age\nP01,1\nP01,2\n")
                             << "participants.csv, line 3: the ID \"P01\" is also on line 2";
  QTest::newRow("ragged") << QByteArray("ID,age\nP01\n")
                          << "participants.csv, line 2: the row has 1 fields, the header 2";
  QTest::newRow("link") << QByteArray("<link>") << "participants.csv: is a symbolic link";
}

void ParticipantsWindowTest::malformed_opensReadOnly() {
  QFETCH(QByteArray, csv);
  QFETCH(QString, reason);
  QTemporaryDir dir;
  const QString path = dir.filePath("participants.csv");
  const QString other = dir.filePath("other.csv");
  QVERIFY(WriteBytes(other, "ID\nX\n"));
  if (csv == "<link>") {
    QVERIFY(QFile::link(other, path));
  } else {
    QVERIFY(WriteBytes(path, csv));
  }
  testing::FakeUi fake;
  CParticipants w(path);
  QVERIFY(w.ReadOnly());
  QVERIFY2(w.StatusText().endsWith(reason), qPrintable(w.StatusText()));
  QCOMPARE(w.Table()->editTriggers(), QAbstractItemView::NoEditTriggers);
  for (QPushButton* b : w.findChildren<QPushButton*>()) {
    if (b->text() != "&Close") QVERIFY2(!b->isEnabled(), qPrintable(b->text()));
  }
  w.AddRow();
  QVERIFY(!w.Save());
  QCOMPARE(ReadBytes(path), csv == "<link>" ? QByteArray("ID\nX\n") : csv);
  QCOMPARE(ReadBytes(other), QByteArray("ID\nX\n"));
}

void ParticipantsWindowTest::missing_saveMakesFile() {
  QTemporaryDir dir;
  const QString path = dir.filePath("participants.csv");
  testing::FakeUi fake;
  CParticipants w(path);
  QVERIFY(!w.ReadOnly());
  QCOMPARE(Header(w), (QStringList{"ID", "age", "gender", "handedness", "group", "condition",
                                   "experimenter", "notes"}));
  w.AddRow();
  w.Model()->item(0, 0)->setText("N01");
  QVERIFY(w.Save());
  QCOMPARE(ReadBytes(path),
           QByteArray("ID,age,gender,handedness,group,condition,experimenter,notes\nN01,,,,,,,\n"));
}

// Another station saved since the window read the register: its rows stay.
void ParticipantsWindowTest::changedMeanwhile_isNotOverwritten() {
  QTemporaryDir dir;
  const QString path = dir.filePath("participants.csv");
  QVERIFY(WriteBytes(path, kRegister));
  testing::FakeUi fake;
  CParticipants w(path);
  QVERIFY(WriteBytes(path, kRegister + "P77,1,f,,\n"));
  w.AddRow();
  w.Model()->item(2, 0)->setText("P03");
  QVERIFY(!w.Save());
  QCOMPARE(ReadBytes(path), kRegister + "P77,1,f,,\n");
  QCOMPARE(fake.boxes.size(), size_t{1});
  QVERIFY(w.Modified());
}

void ParticipantsWindowTest::fitsTheSmallScreen() {
  QTemporaryDir dir;
  testing::FakeUi fake;
  CParticipants w(dir.filePath("participants.csv"));
  QVERIFY(w.width() <= 1024 - 16 && w.height() <= 768 - 48);
  QVERIFY(w.minimumSizeHint().width() <= 1024 && w.minimumSizeHint().height() <= 768);
}

QTEST_MAIN(ParticipantsWindowTest)
#include "participants_window_test.moc"
