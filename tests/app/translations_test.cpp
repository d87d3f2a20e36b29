// The translations: every entry finished, with the placeholders and the
// menu mnemonic of its source; English has no Japanese left, Japanese no
// English sentence.
#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

struct Entry {
  QString context;
  QString source;
  QString type;  // of the translation: empty when finished
  QStringList forms;
  bool numerus = false;
};

std::vector<Entry> ReadTs(const QString& path, QString* language) {
  std::vector<Entry> entries;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return entries;
  QXmlStreamReader xml(&file);
  QString context;
  while (xml.readNextStartElement() || !xml.atEnd()) {
    if (!xml.isStartElement()) continue;
    const auto name = xml.name();
    if (name == QLatin1String("TS")) {
      *language = xml.attributes().value("language").toString();
    } else if (name == QLatin1String("name")) {
      context = xml.readElementText();
    } else if (name == QLatin1String("message")) {
      entries.push_back(
          {context, {}, {}, {}, xml.attributes().value("numerus") == QLatin1String("yes")});
    } else if (name == QLatin1String("source")) {
      entries.back().source = xml.readElementText();
    } else if (name == QLatin1String("translation")) {
      entries.back().type = xml.attributes().value("type").toString();
      if (!entries.back().numerus) entries.back().forms << xml.readElementText();
    } else if (name == QLatin1String("numerusform")) {
      entries.back().forms << xml.readElementText();
    }
  }
  return entries;
}

QStringList Placeholders(const QString& text) {
  static const QRegularExpression marker(QStringLiteral("%(\\d|n)"));
  QStringList found;
  for (const auto& m : marker.globalMatch(text)) found << m.captured();
  found.sort();
  return found;
}

// A menu mnemonic: "&" before a letter, as in "E&xit" and "終了(&X)".
QString Mnemonic(const QString& text) {
  static const QRegularExpression amp(QStringLiteral("&(\\w)"));
  const auto m = amp.match(text);
  return m.hasMatch() ? m.captured(1).toUpper() : QString();
}

bool HasJapanese(const QString& text) {
  static const QRegularExpression kana(QStringLiteral("[\\x{3040}-\\x{30FF}\\x{4E00}-\\x{9FFF}]"));
  return kana.match(text).hasMatch();
}

bool HasEnglishWord(const QString& text) {
  static const QRegularExpression word(QStringLiteral("\\b[A-Za-z]{3,}\\b"));
  return word.match(text).hasMatch();
}

}  // namespace

class TranslationsTest : public QObject {
  Q_OBJECT

 private slots:
  void entries_finishedAndFaithful_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("pluralForms");
    QTest::addColumn<int>("least");  // entries at least: the file is not a stub
    QTest::newRow("English") << "dorvane_en.ts"
                             << "en_US" << 2 << 150;
    QTest::newRow("日本語") << "dorvane_ja.ts"
                            << "ja_JP" << 1 << 150;
    QTest::newRow("default plurals") << "dorvane_default.ts"
                                     << "en" << 2 << 3;
  }
  void entries_finishedAndFaithful() {
    QFETCH(QString, file);
    QFETCH(QString, language);
    QFETCH(int, pluralForms);
    QFETCH(int, least);
    QString declared;
    const std::vector<Entry> entries = ReadTs(QStringLiteral(DORVANE_TS_DIR "/") + file, &declared);
    QCOMPARE(declared, language);
    QVERIFY2(static_cast<int>(entries.size()) >= least,
             qPrintable(QString::number(entries.size())));
    for (const Entry& e : entries) {
      const QString where = e.context + ": " + e.source;
      QVERIFY2(e.type.isEmpty(), qPrintable(e.type + " " + where));
      QCOMPARE(e.forms.size(), e.numerus ? pluralForms : 1);
      if (file == "dorvane_default.ts") QVERIFY2(e.numerus, qPrintable(where));
      for (const QString& form : e.forms) {
        QVERIFY2(!form.isEmpty(), qPrintable(where));
        QVERIFY2(Placeholders(form) == Placeholders(e.source), qPrintable(where + " -> " + form));
        QVERIFY2(Mnemonic(form).isEmpty() == Mnemonic(e.source).isEmpty(),
                 qPrintable(where + " -> " + form));
        if (language.startsWith("en")) QVERIFY2(!HasJapanese(form), qPrintable(where));
        // A Japanese text may keep a setting's or a field's own name beside it.
        if (language == "ja_JP" && HasEnglishWord(e.source)) {
          QVERIFY2(HasJapanese(form), qPrintable(where + " -> " + form));
        }
      }
    }
  }

  // The program's own Japanese texts, given in English.
  void english_namesTheJapaneseTexts_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("english");
    QTest::newRow("View Results") << "結果を見る(&R)"
                                  << "View &Results";
    QTest::newRow("Cancel") << "キャンセル"
                            << "Cancel";
  }
  void english_namesTheJapaneseTexts() {
    QFETCH(QString, source);
    QFETCH(QString, english);
    QString declared;
    int found = 0;
    for (const Entry& e : ReadTs(QStringLiteral(DORVANE_TS_DIR "/dorvane_en.ts"), &declared)) {
      if (e.source != source) continue;
      ++found;
      QCOMPARE(e.forms.value(0), english);
    }
    QVERIFY(found > 0);
  }
};

QTEST_APPLESS_MAIN(TranslationsTest)
#include "translations_test.moc"
