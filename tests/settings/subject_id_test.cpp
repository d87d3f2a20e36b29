#include "settings/subject_id.h"

#include <QtTest>
#include <string>

using namespace std::string_literals;
Q_DECLARE_METATYPE(SubjectIdFault)

class SubjectIdTest : public QObject {
  Q_OBJECT

 private slots:
  void checkSubjectId_data() {
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<SubjectIdFault>("fault");
    const auto row = [](const char* name, const std::string& id, SubjectIdFault fault) {
      QTest::newRow(name) << QByteArray(id.data(), int(id.size())) << fault;
    };
    using F = SubjectIdFault;
    row("plain", "P01", F::kNone);
    row("inner blank, dash, dot, Japanese", "P 01-a.b 被験者", F::kNone);
    row("dots alone", "..", F::kNone);
    row("longest", std::string(kMaxSubjectIdBytes, 'x'), F::kNone);
    row("empty", "", F::kEmpty);
    row("blanks and tabs only", " \t ", F::kEmpty);
    row("leading blank", " P01", F::kOuterBlank);
    row("trailing blank", "P01 ", F::kOuterBlank);
    row("trailing tab", "P01\t", F::kOuterBlank);
    row("line feed", "p\nq", F::kLineBreak);
    row("carriage return", "p\rq", F::kLineBreak);
    row("next line U+0085", "p\xC2\x85q", F::kLineBreak);
    row("line separator U+2028", "p\xE2\x80\xA8q", F::kLineBreak);
    row("NUL", "p\0q"s, F::kNul);
    row("inner tab", "p\tq", F::kControl);
    row("escape", "p\x1Bq", F::kControl);
    row("DEL", "p\x7Fq", F::kControl);
    row("C1 control U+0090", "p\xC2\x90q", F::kControl);
    row("parent folder", "../x", F::kSlash);
    row("subfolder", "a/b", F::kSlash);
    row("backslash", "a\\b", F::kSlash);
    row("equals", "A=B", F::kEquals);
    row("comma", "P,01", F::kComma);
    row("one byte too long", std::string(kMaxSubjectIdBytes + 1, 'x'), F::kTooLong);
    // The blank rules come first: they are what a glance at the field misses.
    row("leading blank and comma", " a,b", F::kOuterBlank);
    row("comma before slash", "a,b/c", F::kComma);
  }

  void checkSubjectId() {
    QFETCH(QByteArray, id);
    QFETCH(SubjectIdFault, fault);
    QCOMPARE(CheckSubjectId(id.toStdString()), fault);
  }

  void subjectIdMessage_namesEveryFault() {
    QVERIFY(SubjectIdMessage(SubjectIdFault::kNone).empty());
    QStringList seen;
    for (int f = int(SubjectIdFault::kEmpty); f <= int(SubjectIdFault::kTooLong); ++f) {
      const QString text = QString::fromStdString(SubjectIdMessage(SubjectIdFault(f)));
      QVERIFY2(text.startsWith("The subject ID "), qPrintable(text));
      QVERIFY2(!seen.contains(text), qPrintable(text));
      seen << text;
    }
    QVERIFY(seen.filter("\",\"").size() == 1 && seen.filter("\"=\"").size() == 1 &&
            seen.filter("line break").size() == 1 && seen.filter("NUL").size() == 1);
  }
};

QTEST_GUILESS_MAIN(SubjectIdTest)
#include "subject_id_test.moc"
