// Every folder under src/ is one or more libraries; all of them share the
// include path src/, so the compiler alone would let a folder include the
// header of one it does not link (and then fail only at link time, or not at
// all for a header-only use). These tests hold the includes to the links.
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>
#include <map>
#include <set>

namespace {

const QString kSrc = QStringLiteral(DORVANE_SOURCE_DIR);

QString ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(file.readAll());
}

QStringList Folders() {
  return QDir(kSrc).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

// Which folder each dorvane_* library is built in.
std::map<QString, QString> LibraryFolders() {
  std::map<QString, QString> folders;
  const QRegularExpression add(QStringLiteral(R"(add_library\((dorvane_\w+))"));
  for (const QString& folder : Folders()) {
    const QString text = ReadAll(kSrc + "/" + folder + "/CMakeLists.txt");
    for (auto it = add.globalMatch(text); it.hasNext();) folders[it.next().captured(1)] = folder;
  }
  return folders;
}

// The dorvane_* libraries each library links directly.
std::map<QString, std::set<QString>> LibraryLinks() {
  const std::map<QString, QString> libraryFolder = LibraryFolders();
  std::map<QString, std::set<QString>> links;
  const QRegularExpression link(QStringLiteral(R"(target_link_libraries\((dorvane_\w+)([^)]*)\))"));
  const QRegularExpression library(QStringLiteral(R"(dorvane_\w+)"));
  for (const QString& folder : Folders()) {
    const QString text = ReadAll(kSrc + "/" + folder + "/CMakeLists.txt");
    for (auto it = link.globalMatch(text); it.hasNext();) {
      const QRegularExpressionMatch m = it.next();
      if (libraryFolder.count(m.captured(1)) == 0) continue;  // an executable
      for (auto lib = library.globalMatch(m.captured(2)); lib.hasNext();)
        links[m.captured(1)].insert(lib.next().captured(0));
    }
  }
  return links;
}

// The folders a folder's libraries link directly.
std::map<QString, std::set<QString>> DirectLinks() {
  const std::map<QString, QString> libraryFolder = LibraryFolders();
  std::map<QString, std::set<QString>> links;
  const QRegularExpression link(QStringLiteral(R"(target_link_libraries\((dorvane_\w+)([^)]*)\))"));
  const QRegularExpression library(QStringLiteral(R"(dorvane_\w+)"));
  for (const QString& folder : Folders()) {
    links[folder];
    const QString text = ReadAll(kSrc + "/" + folder + "/CMakeLists.txt");
    for (auto it = link.globalMatch(text); it.hasNext();) {
      const QRegularExpressionMatch m = it.next();
      if (libraryFolder.count(m.captured(1)) == 0) continue;  // an executable
      for (auto lib = library.globalMatch(m.captured(2)); lib.hasNext();) {
        const auto found = libraryFolder.find(lib.next().captured(0));
        if (found != libraryFolder.end() && found->second != folder)
          links[folder].insert(found->second);
      }
    }
  }
  return links;
}

std::set<QString> Reachable(const std::map<QString, std::set<QString>>& links, const QString& from) {
  std::set<QString> seen;
  QStringList todo{from};
  while (!todo.isEmpty()) {
    const QString folder = todo.takeLast();
    const auto it = links.find(folder);
    if (it == links.end()) continue;
    for (const QString& next : it->second)
      if (seen.insert(next).second) todo << next;
  }
  return seen;
}

// "file: #include "folder/x.h"" for each include of another src/ folder.
QStringList IncludesOfOtherFolders(const QString& folder) {
  QStringList found;
  const QRegularExpression include(QStringLiteral(R"(^#include "(\w+)/[^"]+")"),
                                   QRegularExpression::MultilineOption);
  const QDir dir(kSrc + "/" + folder);
  for (const QString& name : dir.entryList({"*.cpp", "*.h"}, QDir::Files, QDir::Name)) {
    const QString text = ReadAll(dir.filePath(name));
    for (auto it = include.globalMatch(text); it.hasNext();) {
      const QRegularExpressionMatch m = it.next();
      if (m.captured(1) != folder && QDir(kSrc + "/" + m.captured(1)).exists())
        found << name + ": " + m.captured(0);
    }
  }
  return found;
}

QString FolderOf(const QString& includeLine) {
  static const QRegularExpression folder(QStringLiteral(R"(#include "(\w+)/)"));
  return folder.match(includeLine).captured(1);
}

}  // namespace

class LayersTest : public QObject {
  Q_OBJECT

 private slots:
  void includesOnlyWhatItLinks_data() {
    QTest::addColumn<QString>("folder");
    for (const QString& folder : Folders()) QTest::newRow(qPrintable(folder)) << folder;
  }

  void includesOnlyWhatItLinks() {
    QFETCH(QString, folder);
    const std::set<QString> allowed = Reachable(DirectLinks(), folder);
    QStringList stray;
    for (const QString& line : IncludesOfOtherFolders(folder))
      if (allowed.count(FolderOf(line)) == 0) stray << line;
    QVERIFY2(stray.isEmpty(), qPrintable(stray.join("\n")));
  }

  // Layers, not a web: no library reaches itself through what it links.
  void noCycleBetweenLibraries() {
    const auto links = LibraryLinks();
    QVERIFY(links.size() > 10);
    for (const auto& [library, direct] : links) {
      (void)direct;
      QVERIFY2(Reachable(links, library).count(library) == 0, qPrintable(library));
    }
  }

  // Below the test procedure only the layout may know the staircase's table.
  void lowerLayersKeepOutOfTheProcedure_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("display") << "display"
                             << QStringList{"layout.h: #include \"procedure/staircase.h\""};
    for (const char* folder : {"ui", "settings", "fileio", "timing"})
      QTest::newRow(folder) << folder << QStringList{};
  }

  void lowerLayersKeepOutOfTheProcedure() {
    QFETCH(QString, folder);
    QFETCH(QStringList, expected);
    QStringList procedure;
    for (const QString& line : IncludesOfOtherFolders(folder))
      if (FolderOf(line) == "procedure") procedure << line;
    QCOMPARE(procedure, expected);
  }
};

QTEST_MAIN(LayersTest)
#include "layers_test.moc"
