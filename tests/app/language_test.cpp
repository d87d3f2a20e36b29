// The person's choice of language: kept per user in Qt's settings, never in
// ORBEL.ini; applied before the main frame is made and at once when chosen.
#include "app/language.h"

#include <QtTest>
#include <QtWidgets>

#include "app/main_frame.h"
#include "app/my_app.h"
#include "check/timing_check.h"
#include "display/presenter.h"
#include "display/surfaces.h"
#include "support/fake_ui.h"
#include "ui/qt_services.h"

using language::Language;
Q_DECLARE_METATYPE(Language)
Q_DECLARE_METATYPE(std::function<void()>)

namespace {

struct QuietPresenter : display::Presenter {
  void BindWindow(ui::WindowHandle) override {}
  void WaitVerticalBlank() override {}
  bool FillScreen(uint32_t) override { return true; }
  bool Present(const uint8_t*, int, int, int, const ui::Rect&) override { return true; }
};

// Every item of the menu bar, submenus included, as "menu/item" in menu order.
QStringList MenuTexts(const CMainFrame& frame) {
  QStringList texts;
  for (QAction* menu : frame.menuBar()->actions()) {
    for (QAction* item : menu->menu()->actions()) {
      texts << menu->text() + "/" + item->text();
      if (!item->menu()) continue;
      for (QAction* sub : item->menu()->actions())
        texts << menu->text() + "/" + item->text() + "/" + sub->text() +
                     (sub->isChecked() ? " ✓" : "");
    }
  }
  return texts;
}

QString UserSettingsFile() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         "/Dorvane/Dorvane.conf";
}

const QStringList kDefaultMenu{
    "&File/E&xit",          "&Test/&Start Test", "&Test/&Practice…",
    "&Test/結果を見る(&R)", "&Test/Partic&ipants…", "&Test/S&essions…",  "&Help/&About",
    "&Help/Timing Check…",  "&Help/Language",    "&Help/Language/English",
    "&Help/Language/日本語"};

}  // namespace

class LanguageTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    ScreenSize = {1024, 768};
  }
  void init() {
    QFile::remove(UserSettingsFile());
    language::Apply(Language::kDefault);
    QDir::setCurrent(work_.path());
    QFile ini("ORBEL.ini");
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(kIni);
  }
  void cleanup() {
    QFile::remove(UserSettingsFile());
    language::Apply(Language::kDefault);
    QDir::setCurrent(QDir::tempPath());
  }

  void choice_showsItsMenuAndIsKept_data() {
    QTest::addColumn<Language>("choice");
    QTest::addColumn<QStringList>("menu");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("English")
        << Language::kEnglish
        << QStringList{"&File/E&xit",          "&Test/&Start Test", "&Test/&Practice…",
                       "&Test/View &Results",  "&Test/Partic&ipants…", "&Test/S&essions…",  "&Help/&About",
                       "&Help/Timing Check…",  "&Help/Language",    "&Help/Language/English ✓",
                       "&Help/Language/日本語"}
        << QByteArray("language=en");
    QTest::newRow("日本語") << Language::kJapanese
                            << QStringList{"ファイル(&F)/終了(&X)",
                                           "テスト(&T)/テスト開始(&S)",
                                           "テスト(&T)/練習(&P)…",
                                           "テスト(&T)/結果を見る(&R)",
                                           "テスト(&T)/参加者(&I)…",
                                           "テスト(&T)/セッション(&E)…",
                                           "ヘルプ(&H)/バージョン情報(&A)",
                                           "ヘルプ(&H)/タイミングチェック…",
                                           "ヘルプ(&H)/言語 (Language)",
                                           "ヘルプ(&H)/言語 (Language)/English",
                                           "ヘルプ(&H)/言語 (Language)/日本語 ✓"}
                            << QByteArray("language=ja");
  }
  void choice_showsItsMenuAndIsKept() {
    QFETCH(Language, choice);
    QFETCH(QStringList, menu);
    QFETCH(QByteArray, stored);
    testing::FakeUi fake;
    CMainFrame frame;
    QCOMPARE(MenuTexts(frame), kDefaultMenu);  // nothing chosen yet: the program's own texts
    frame.LanguageAction(choice)->trigger();
    QCoreApplication::sendPostedEvents();  // the LanguageChange each window is sent
    QCOMPARE(MenuTexts(frame), menu);      // at once, in the open frame
    QCOMPARE(language::StoredChoice(), choice);
    QFile settings(UserSettingsFile());
    QVERIFY2(settings.open(QIODevice::ReadOnly), qPrintable(UserSettingsFile()));
    QVERIFY2(settings.readAll().contains(stored), qPrintable(UserSettingsFile()));
    QFile ini("ORBEL.ini");
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QCOMPARE(ini.readAll(), QByteArray(kIni));
  }

  // The stored choice is what start-up installs, before the frame is made.
  void startUp_appliesTheStoredChoice_data() {
    QTest::addColumn<Language>("stored");
    QTest::addColumn<QString>("viewResults");
    QTest::addColumn<QString>("helpMenu");
    QTest::newRow("none") << Language::kDefault << "結果を見る(&R)"
                          << "&Help";
    QTest::newRow("English") << Language::kEnglish << "View &Results"
                             << "&Help";
    QTest::newRow("日本語") << Language::kJapanese << "結果を見る(&R)"
                            << "ヘルプ(&H)";
  }
  void startUp_appliesTheStoredChoice() {
    QFETCH(Language, stored);
    QFETCH(QString, viewResults);
    QFETCH(QString, helpMenu);
    language::StoreChoice(stored);
    testing::FakeUi fake;
    CMyApp app({&fake, [](ui::WindowHandle) {
                  return std::unique_ptr<display::Presenter>(new QuietPresenter);
                }});
    QCOMPARE(app.StartUp("dorvane"), 1);
    QCOMPARE(language::Applied(), stored);
    QCOMPARE(app.MainFrame()->CommandAction(kCmdViewResults)->text(), viewResults);
    QCOMPARE(app.MainFrame()->menuBar()->actions().last()->text(), helpMenu);
    delete app.MainFrame();
    ShutDownDisplay();
    display::SetPresenterFactory(nullptr);
  }

  // Counts read right in every language, the program's own texts included.
  void counts_takeTheirPluralForm_data() {
    QTest::addColumn<Language>("language");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("listed");
    QTest::addColumn<QString>("title");
    const char* title = "Scores at memtime 60, max_rev 4 (%1)";
    QTest::newRow("default, 1") << Language::kDefault << 1 << "1 of 1 session listed"
                                << QString(title).arg("1 session");
    QTest::newRow("default, 2") << Language::kDefault << 2 << "1 of 2 sessions listed"
                                << QString(title).arg("2 sessions");
    QTest::newRow("default, 0") << Language::kDefault << 0 << "1 of 0 sessions listed"
                                << QString(title).arg("0 sessions");
    QTest::newRow("English, 1") << Language::kEnglish << 1 << "1 of 1 session listed"
                                << QString(title).arg("1 session");
    QTest::newRow("English, 21") << Language::kEnglish << 21 << "1 of 21 sessions listed"
                                 << QString(title).arg("21 sessions");
    QTest::newRow("日本語, 1") << Language::kJapanese << 1 << "1 セッション中 1 件を表示"
                               << "記憶時間 60、反転回数 4 のスコア（1 セッション）";
  }
  void counts_takeTheirPluralForm() {
    QFETCH(Language, language);
    QFETCH(int, n);
    QFETCH(QString, listed);
    QFETCH(QString, title);
    QVERIFY(language::Apply(language));
    QCOMPARE(
        QCoreApplication::translate("sessions::CSessions", "%1 of %n sessions listed", nullptr, n)
            .arg(1),
        listed);
    QCOMPARE(QCoreApplication::translate(
                 "Sessions", "Scores at memtime %1, max_rev %2 (%n sessions)", nullptr, n)
                 .arg(60)
                 .arg(4),
             title);
  }

  // Message boxes say "Dorvane" in their title, whatever the executable is called.
  void messageBoxes_titledDorvane_data() {
    QTest::addColumn<std::function<void()>>("show");
    QTest::newRow("application box")
        << std::function<void()>([] { ui::AppMessageBox("text", ui::kMbOk); });
    QTest::newRow("timing check notice")
        << std::function<void()>([] { check::ConfirmTimingCheck(check::CheckOptions{}, nullptr); });
  }
  void messageBoxes_titledDorvane() {
    QFETCH(std::function<void()>, show);
    testing::FakeUi fake;
    fake.boxAnswer = ui::kIdCancel;
    show();
    QCOMPARE(fake.boxes.size(), size_t(1));
    QCOMPARE(fake.boxes[0].caption, std::string("Dorvane"));
  }

 private:
  static constexpr char kIni[] = "memtime = 30\r\nodd line\r\n";
  QTemporaryDir work_;
};

QTEST_MAIN(LanguageTest)
#include "language_test.moc"
