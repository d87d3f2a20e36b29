#include "app/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QSettings>
#include <QTranslator>

namespace language {
namespace {

constexpr char kKey[] = "language";

// Qt's usual place for one user's settings: ~/.config/Dorvane/Dorvane.conf.
constexpr char kOrganisation[] = "Dorvane";
constexpr char kApplication[] = "Dorvane";

// The default has a translation too: it holds only the plural forms, so that
// "(1 session)" reads right without changing any other text.
QString ResourceOf(Language language) {
  switch (language) {
    case Language::kEnglish:
      return QStringLiteral(":/i18n/dorvane_en.qm");
    case Language::kJapanese:
      return QStringLiteral(":/i18n/dorvane_ja.qm");
    case Language::kDefault:
      break;
  }
  return QStringLiteral(":/i18n/dorvane_default.qm");
}

// Owned by the application, so that they go with it.
QPointer<QTranslator> g_installed;
QPointer<QTranslator> g_qtInstalled;

// Qt's own texts (the file dialog's, the standard buttons') in Japanese, where
// Debian's qt6-translations-l10n is installed; English needs none.
void ApplyQtTranslation(Language language) {
  delete g_qtInstalled.data();
  if (language != Language::kJapanese) return;
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (!translator->load(QStringLiteral("qt_ja"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return;
  }
  QCoreApplication::installTranslator(translator);
  g_qtInstalled = translator;
}
Language g_applied = Language::kDefault;

}  // namespace

Language StoredChoice() {
  const QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                           QLatin1String(kOrganisation), QLatin1String(kApplication));
  const QString code = settings.value(QLatin1String(kKey)).toString();
  if (code == QLatin1String("en")) return Language::kEnglish;
  if (code == QLatin1String("ja")) return Language::kJapanese;
  return Language::kDefault;
}

void StoreChoice(Language language) {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QLatin1String(kOrganisation),
                     QLatin1String(kApplication));
  if (language == Language::kDefault) {
    settings.remove(QLatin1String(kKey));
  } else {
    settings.setValue(QLatin1String(kKey),
                      language == Language::kEnglish ? QStringLiteral("en") : QStringLiteral("ja"));
  }
  settings.sync();
}

bool Apply(Language language) {
  delete g_installed.data();  // removes itself from the application
  g_applied = language;
  ApplyQtTranslation(language);
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (!translator->load(ResourceOf(language))) {
    delete translator;
    return false;
  }
  // Installing sends every widget a LanguageChange event.
  QCoreApplication::installTranslator(translator);
  g_installed = translator;
  return true;
}

Language Applied() {
  return g_applied;
}

QString Label(Language language) {
  switch (language) {
    case Language::kEnglish:
      return QStringLiteral("English");
    case Language::kJapanese:
      return QStringLiteral("日本語");
    case Language::kDefault:
      break;
  }
  return QString();
}

}  // namespace language
