#pragma once

// Qt's own texts (network errors, the context menus of text fields, standard buttons) in Hebrew,
// like every text Vorlex writes itself. Debian ships them in qt6-translations-l10n.

namespace vorlex {

class QtTranslations {
public:
    QtTranslations() = delete;

    // Installs qtbase's Hebrew catalogue from Qt's translations folder into the running application,
    // whose object must exist; it stays until the application ends. False when the catalogue is not
    // there: Qt's texts then stay as Qt writes them.
    static bool install();
};

} // namespace vorlex
