// The language of the program's texts: the person's own choice, kept per
// user in Qt's settings (never in ORBEL.ini), applied by a translator
// installed before any window is made.
#pragma once

#include <QString>

namespace language {

/// What the person chose; kDefault until a choice is made: the program's own
/// texts, English and Japanese mixed, as they always were.
enum class Language { kDefault, kEnglish, kJapanese };

/// The stored choice of this user; kDefault when none is stored or it is unknown.
Language StoredChoice();
/// Keeps `language` as this user's choice (kDefault forgets the choice).
void StoreChoice(Language language);

/// Installs the translator of `language` on the running application in place
/// of the one installed before; false when its translation did not load (the
/// texts then stay the program's own).
bool Apply(Language language);
/// The language Apply last installed.
Language Applied();

/// The menu label of `language`, the same whatever language is applied.
QString Label(Language language);

}  // namespace language
