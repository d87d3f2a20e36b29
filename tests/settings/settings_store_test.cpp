#include "settings/settings_store.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QtTest>
#include <csignal>
#include <initializer_list>
#include <utility>

namespace {

using Entries = std::initializer_list<std::pair<const char*, const char*>>;

QByteArrayList ToList(const std::vector<std::string>& v) {
  QByteArrayList list;
  for (const std::string& s : v) list << QByteArray::fromStdString(s);
  return list;
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray ReadBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

std::string TagIn(const QTemporaryDir& dir) {
  return QFile::encodeName(dir.filePath("ORBEL")).toStdString();
}

// Bytes of a literal, NULs included.
template <size_t N>
QByteArray Bytes(const char (&s)[N]) {
  return QByteArray(s, N - 1);
}

void AddReadRow(const char* name, const QByteArray& file, Entries entries) {
  QByteArrayList keys, values;
  for (const auto& e : entries) {
    keys << e.first;
    values << e.second;
  }
  QTest::newRow(name) << file << keys << values;
}

}  // namespace

class SettingsStoreTest : public QObject {
  Q_OBJECT

 private slots:
  void loadFile_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArrayList>("keys");
    QTest::addColumn<QByteArrayList>("values");

    AddReadRow("empty file", "", {});
    AddReadRow("blank lines only", "\n \n\t\n\r\n", {});
    AddReadRow("unknown key kept in order, blank line dropped",
               "max_rev = 6\nfoo = bar\n\nsubject = X\n",
               {{"max_rev", "6"}, {"foo", "bar"}, {"subject", "X"}});
    AddReadRow("blanks around and no blanks at =", "  memtime=30  \n", {{"memtime", "30"}});
    AddReadRow("two = between key and value", "memtime==30\n", {{"memtime", "30"}});
    AddReadRow("value ends at the next =", "subject = A = B\n", {{"subject", "A"}});
    AddReadRow("key without = has empty value", "subject\nmemtime\n",
               {{"subject", ""}, {"memtime", ""}});
    AddReadRow("leading = skipped for the key", "= x\n", {{"x", ""}});
    AddReadRow("line of = only is skipped", "===\n  =  \nk = v\n", {{"k", "v"}});
    AddReadRow("blanks between = give no key", "= \t = x\n", {});
    AddReadRow("comment and section lines are keys", "#note\n[section]\n",
               {{"#note", ""}, {"[section]", ""}});
    AddReadRow("keys are case-sensitive", "memtime = 1\nMemtime = 10\n",
               {{"memtime", "1"}, {"Memtime", "10"}});
    AddReadRow("duplicate key overwrites in place", "max_rev = 3\nfoo = 1\nmax_rev = 5\n",
               {{"max_rev", "5"}, {"foo", "1"}});
    AddReadRow("tabs trimmed, inner blanks kept", "\tmy  key\t=\t a  b \t\n",
               {{"my  key", "a  b"}});
    AddReadRow("only space, tab and LF are trimmed", "k = \va\f\n", {{"k", "\va\f"}});
    AddReadRow("CR LF line ends", "a = 1\r\nb = 2\r\n", {{"a", "1"}, {"b", "2"}});
    AddReadRow("lone CR is an ordinary byte", "a = 1\rb\n", {{"a", "1\rb"}});
    AddReadRow("only the CR before LF is dropped", "a = 1\r\r\n", {{"a", "1\r"}});
    AddReadRow("last line without line feed", "a = 1\nb = 2", {{"a", "1"}, {"b", "2"}});
    AddReadRow("NUL ends the line's text", Bytes("a = 1\0 = x\nb\0c = 2\n"),
               {{"a", "1"}, {"b", ""}});
    AddReadRow("UTF-8 text kept", "subject = J\xc3\xbcrgen \xe8\xa9\xa6\xe9\xa8\x93\n",
               {{"subject", "J\xc3\xbcrgen \xe8\xa9\xa6\xe9\xa8\x93"}});
    // Shift-JIS: the ideographic space 81 40 and katakana with trail bytes
    // 65 58 67 (letters) must neither be trimmed nor split.
    AddReadRow("Shift-JIS text kept", "\x83\x65 = \x81\x40\x83\x65\x83\x58\x83\x67\x81\x40\n",
               {{"\x83\x65", "\x81\x40\x83\x65\x83\x58\x83\x67\x81\x40"}});

    const QByteArray v1021(1021, 'v');
    AddReadRow("1023 bytes and LF read whole", "k=" + v1021 + "\n", {{"k", v1021.constData()}});
    AddReadRow("1023 bytes and CR LF read whole", "k=" + v1021 + "\r\n",
               {{"k", v1021.constData()}});
    AddReadRow("1024th byte starts a new line", "k=" + v1021 + "xy\nz = 1\n",
               {{"k", v1021.constData()}, {"xy", ""}, {"z", "1"}});
    AddReadRow("later piece with = is its own entry", "k=" + v1021 + "=q\n",
               {{"k", v1021.constData()}, {"q", ""}});
    const QByteArray a1023(1023, 'a');
    AddReadRow("two equal pieces make one key", a1023 + a1023 + "\n", {{a1023.constData(), ""}});
    const QByteArray b500(500, 'b');
    AddReadRow("2500-byte line makes three entries",
               a1023 + a1023.left(1023 - 500) + b500 + QByteArray(454, 'c') + "\n",
               {{a1023.constData(), ""},
                {(a1023.left(523) + b500).constData(), ""},
                {QByteArray(454, 'c').constData(), ""}});
  }

  void loadFile() {
    QFETCH(QByteArray, file);
    QFETCH(QByteArrayList, keys);
    QFETCH(QByteArrayList, values);
    QTemporaryDir dir;
    WriteBytes(dir.filePath("ORBEL.ini"), file);

    SettingsStore store;
    store.SetString("stale", "entry");
    store.LoadFile(TagIn(dir));
    QCOMPARE(ToList(store.Keys()), keys);
    QCOMPARE(ToList(store.Values()), values);
    QCOMPARE(store.Count(), static_cast<int>(keys.size()));
  }

  void loadMissingFile_leavesStoreEmptyWithFileName() {
    QTemporaryDir dir;
    SettingsStore store;
    store.SetString("stale", "entry");
    store.LoadFile(TagIn(dir));
    QCOMPARE(store.Count(), 0);
    QCOMPARE(QByteArray::fromStdString(store.FileName()),
             QFile::encodeName(dir.filePath("ORBEL.ini")));
    QVERIFY(!QFile::exists(dir.filePath("ORBEL.ini")));
  }

  void loadDirectory_leavesStoreEmpty() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("ORBEL.ini"));
    SettingsStore store;
    QVERIFY(!store.LoadPath(QFile::encodeName(dir.filePath("ORBEL.ini")).toStdString()));
    QCOMPARE(store.Count(), 0);
  }

  void loadPath_keepsFileName() {
    QTemporaryDir dir;
    WriteBytes(dir.filePath("other.ini"), "a = 1\n");
    SettingsStore store;
    QVERIFY(store.LoadPath(QFile::encodeName(dir.filePath("other.ini")).toStdString()));
    QCOMPARE(store.Count(), 1);
    QVERIFY(store.FileName().empty());
    QVERIFY(!store.SaveFile());
  }

  void saveFile_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("empty file") << QByteArray() << QByteArray();
    QTest::newRow("normalised blanks") << QByteArray("  memtime=30  \n\tfoo\t=\tbar\n")
                                       << QByteArray("memtime = 30\r\nfoo = bar\r\n");
    QTest::newRow("empty value ends in '= '")
        << QByteArray("subject\n") << QByteArray("subject = \r\n");
    QTest::newRow("comment and section lines")
        << QByteArray("#x\n[s]\n") << QByteArray("#x = \r\n[s] = \r\n");
    QTest::newRow("capital key unchanged")
        << QByteArray("Memtime = 10\n") << QByteArray("Memtime = 10\r\n");
    QTest::newRow("duplicate written once at first place")
        << QByteArray("max_rev = 3\nfoo=1\nmax_rev = 5\n")
        << QByteArray("max_rev = 5\r\nfoo = 1\r\n");
    QTest::newRow("CR LF file written the same")
        << QByteArray("a = 1\r\nb = \r\n") << QByteArray("a = 1\r\nb = \r\n");
    QTest::newRow("shorter text replaces longer")
        << QByteArray("\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\na = 1\n")
        << QByteArray("a = 1\r\n");
    QTest::newRow("multi-byte text unchanged") << QByteArray("\x83\x65=\x81\x40\x83\x58\n")
                                               << QByteArray("\x83\x65 = \x81\x40\x83\x58\r\n");
  }

  void saveFile() {
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, written);
    QTemporaryDir dir;
    const QString path = dir.filePath("ORBEL.ini");
    WriteBytes(path, file);

    SettingsStore store;
    store.LoadFile(TagIn(dir));
    QVERIFY(store.SaveFile());
    QCOMPARE(ReadBytes(path), written);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot),
             QStringList{"ORBEL.ini"});

    SettingsStore again;
    again.LoadFile(TagIn(dir));
    QCOMPARE(ToList(again.Keys()), ToList(store.Keys()));
    QCOMPARE(ToList(again.Values()), ToList(store.Values()));
  }

  void saveWithoutLoadFile_writesNothing() {
    QTemporaryDir dir;
    const QString old = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    SettingsStore store;
    store.SetString("subject", "X");
    const bool saved = store.SaveFile();
    QVERIFY(QDir::setCurrent(old));
    QVERIFY(!saved);
    QVERIFY(QDir(dir.path()).isEmpty());
  }

  void saveOverDirectory_keepsItAndNoTempFile() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("ORBEL.ini/inner"));
    SettingsStore store;
    store.LoadFile(TagIn(dir));
    store.SetString("subject", "X");
    QVERIFY(!store.SaveFile());
    QVERIFY(QFileInfo(dir.filePath("ORBEL.ini/inner")).isDir());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"ORBEL.ini"});
  }

  void saveIntoMissingDirectory_fails() {
    QTemporaryDir dir;
    SettingsStore store;
    store.LoadFile(QFile::encodeName(dir.filePath("gone/ORBEL")).toStdString());
    store.SetString("subject", "X");
    QVERIFY(!store.SaveFile());
    QVERIFY(QDir(dir.path()).isEmpty());
  }

  void saveIntoReadOnlyDirectory_keepsOldFile() {
    if (::geteuid() == 0) QSKIP("root writes into read-only directories");
    QTemporaryDir dir;
    const QString path = dir.filePath("ORBEL.ini");
    WriteBytes(path, "subject = OLD\r\n");
    SettingsStore store;
    store.LoadFile(TagIn(dir));
    store.SetString("subject", "NEW");
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    const bool saved = store.SaveFile();
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!saved);
    QCOMPARE(ReadBytes(path), QByteArray("subject = OLD\r\n"));
  }

  // A file size limit makes the write fail part-way, as a full disk does.
  void saveOnFullDisk_keepsOldFileAndNoTempFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("ORBEL.ini");
    const QByteArray oldText = "subject = OLD\r\nmemtime = 30\r\n";
    WriteBytes(path, oldText);
    SettingsStore store;
    store.LoadFile(TagIn(dir));
    store.SetString("subject", std::string(4000, 'N'));

    struct rlimit saved;
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = store.SaveFile();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!ok);
    QCOMPARE(ReadBytes(path), oldText);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"ORBEL.ini"});
  }

  void save_keepsPermissionsOfOldFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("ORBEL.ini");
    WriteBytes(path, "a = 1\n");
    const QByteArray name = QFile::encodeName(path);
    QCOMPARE(::chmod(name.constData(), 0604), 0);
    SettingsStore store;
    store.LoadFile(TagIn(dir));
    store.SetString("a", "2");
    QVERIFY(store.SaveFile());
    struct stat st;
    QCOMPARE(::stat(name.constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t{0604});
    QCOMPARE(ReadBytes(path), QByteArray("a = 2\r\n"));
  }

  void save_throughSymlink_updatesLinkedFile() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("real"));
    WriteBytes(dir.filePath("real/settings.ini"), "a = 1\n");
    QVERIFY(QFile::link(dir.filePath("real/settings.ini"), dir.filePath("ORBEL.ini")));
    SettingsStore store;
    store.LoadFile(TagIn(dir));
    store.SetString("a", "2");
    QVERIFY(store.SaveFile());
    QVERIFY(QFileInfo(dir.filePath("ORBEL.ini")).isSymLink());
    QCOMPARE(ReadBytes(dir.filePath("real/settings.ini")), QByteArray("a = 2\r\n"));
    QCOMPARE(QDir(dir.filePath("real")).entryList(QDir::Files), QStringList{"settings.ini"});
  }

  void setString_replacesInPlaceOrAppends() {
    SettingsStore store;
    store.SetString("a", "1");
    store.SetString("b", "2");
    store.SetString("A", "3");
    store.SetString("a ", "4");
    store.SetString("a", "5");
    QCOMPARE(ToList(store.Keys()), (QByteArrayList{"a", "b", "A", "a "}));
    QCOMPARE(ToList(store.Values()), (QByteArrayList{"5", "2", "3", "4"}));
  }

  void setInt_writesDecimalText_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("zero") << 0 << QByteArray("0");
    QTest::newRow("positive") << 60 << QByteArray("60");
    QTest::newRow("negative") << -7 << QByteArray("-7");
    QTest::newRow("largest") << 2147483647 << QByteArray("2147483647");
    QTest::newRow("smallest") << (-2147483647 - 1) << QByteArray("-2147483648");
  }

  void setInt_writesDecimalText() {
    QFETCH(int, value);
    QFETCH(QByteArray, text);
    SettingsStore store;
    store.SetInt("k", value);
    std::string out;
    QVERIFY(store.GetString("k", &out));
    QCOMPARE(QByteArray::fromStdString(out), text);
    int32_t back = 1;
    QVERIFY(store.GetInt("k", &back));
    QCOMPARE(back, value);
  }

  void getInt_convertsDigitPrefix_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << QByteArray("30") << 30;
    QTest::newRow("plus sign") << QByteArray("+7") << 7;
    QTest::newRow("minus sign") << QByteArray("-12") << -12;
    QTest::newRow("leading zeros") << QByteArray("0000000000000000000042") << 42;
    QTest::newRow("letters") << QByteArray("abc") << 0;
    QTest::newRow("digit prefix") << QByteArray("12abc") << 12;
    QTest::newRow("stops at blank") << QByteArray("1 2") << 1;
    QTest::newRow("hex is not read") << QByteArray("0x1F") << 0;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("minus and letter") << QByteArray("-a") << 0;
    QTest::newRow("two signs") << QByteArray("+-3") << 0;
    QTest::newRow("leading white space") << QByteArray("\v\f\r 42") << 42;
    QTest::newRow("eleven nines") << QByteArray("99999999999") << 2147483647;
    QTest::newRow("just above the top") << QByteArray("2147483648") << 2147483647;
    QTest::newRow("bottom") << QByteArray("-2147483648") << (-2147483647 - 1);
    QTest::newRow("just below the bottom") << QByteArray("-2147483649") << (-2147483647 - 1);
    QTest::newRow("sixty digits") << QByteArray(60, '9') << 2147483647;
    QTest::newRow("minus sixty digits") << "-" + QByteArray(60, '9') << (-2147483647 - 1);
  }

  void getInt_convertsDigitPrefix() {
    QFETCH(QByteArray, text);
    QFETCH(int, value);
    SettingsStore store;
    store.SetString("k", text.toStdString());
    int32_t out = 555;
    QVERIFY(store.GetInt("k", &out));
    QCOMPARE(out, value);
  }

  void getMissingKey_leavesOutUntouched() {
    SettingsStore store;
    store.SetString("memtime", "30");
    std::string text = "keep";
    int32_t number = 77;
    QVERIFY(!store.GetString("Memtime", &text));
    QVERIFY(!store.GetInt("memtime ", &number));
    QCOMPARE(QByteArray::fromStdString(text), QByteArray("keep"));
    QCOMPARE(number, 77);
  }
};

QTEST_APPLESS_MAIN(SettingsStoreTest)
#include "settings_store_test.moc"
