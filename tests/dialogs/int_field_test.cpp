#include "dialogs/int_field.h"

#include <QtTest>
#include <cstdint>
#include <limits>
#include <string>

class IntFieldTest : public QObject {
  Q_OBJECT

 private slots:
  void parse_data();
  void parse();
  void failure_leavesValueAlone();
};

void IntFieldTest::parse_data() {
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<bool>("ok");
  QTest::addColumn<int>("value");

  const int max = std::numeric_limits<int32_t>::max();
  const int min = std::numeric_limits<int32_t>::min();
  QTest::newRow("trailing text ignored") << QByteArray("12 abc") << true << 12;
  QTest::newRow("letters right after digits") << QByteArray("12abc") << true << 12;
  QTest::newRow("leading spaces and minus") << QByteArray("  -3") << true << -3;
  QTest::newRow("zero") << QByteArray("0") << true << 0;
  QTest::newRow("plus sign") << QByteArray("+7") << true << 7;
  QTest::newRow("leading zeros") << QByteArray("007") << true << 7;
  QTest::newRow("tabs and newlines skipped") << QByteArray("\t\n\v\f\r 42") << true << 42;
  QTest::newRow("decimal point ends the number") << QByteArray("3.9") << true << 3;
  QTest::newRow("int32 max") << QByteArray("2147483647") << true << max;
  QTest::newRow("int32 min") << QByteArray("-2147483648") << true << min;
  QTest::newRow("one past max saturates") << QByteArray("2147483648") << true << max;
  QTest::newRow("one past min saturates") << QByteArray("-2147483649") << true << min;
  QTest::newRow("2^64 + 5 saturates, not wraps")
      << QByteArray("18446744073709551621") << true << max;
  QTest::newRow("huge saturates") << QByteArray(60, '9') << true << max;
  QTest::newRow("huge negative saturates") << QByteArray("-" + QByteArray(60, '9')) << true << min;
  QTest::newRow("empty") << QByteArray("") << false << 0;
  QTest::newRow("blank") << QByteArray("   ") << false << 0;
  QTest::newRow("letters") << QByteArray("abc") << false << 0;
  QTest::newRow("sign alone") << QByteArray("-") << false << 0;
  QTest::newRow("space after sign") << QByteArray("- 3") << false << 0;
  QTest::newRow("two signs") << QByteArray("+-3") << false << 0;
  QTest::newRow("hex is not decimal") << QByteArray("x10") << false << 0;
  QTest::newRow("full-width digits") << QByteArray("１２") << false << 0;
  // Only the first 63 characters are scanned.
  QTest::newRow("digits start at 64th character")
      << QByteArray(QByteArray(63, ' ') + "5") << false << 0;
  QTest::newRow("digits start at 63rd character")
      << QByteArray(QByteArray(62, ' ') + "58") << true << 5;
  QTest::newRow("number cut at 63rd character")
      << QByteArray(QByteArray(60, ' ') + "12345") << true << 123;
}

void IntFieldTest::parse() {
  QFETCH(QByteArray, text);
  QFETCH(bool, ok);
  QFETCH(int, value);
  int32_t parsed = -12345;
  QCOMPARE(dialogs::ParseIntField(text.toStdString(), &parsed), ok);
  if (ok) QCOMPARE(parsed, value);
}

void IntFieldTest::failure_leavesValueAlone() {
  int32_t value = 77;
  QVERIFY(!dialogs::ParseIntField("abc", &value));
  QCOMPARE(value, 77);
}

QTEST_APPLESS_MAIN(IntFieldTest)
#include "int_field_test.moc"
