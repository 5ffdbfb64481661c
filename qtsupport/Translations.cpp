#include "qtsupport/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstring>

namespace {

// The toolkit's texts that the program shows and Debian's Spanish catalogue leaves in
// English.
struct Text {
    const char *context, *source, *spanish;
};
constexpr Text kMissing[] = {
    {"QPrintSettingsOutput", "Pages", "Páginas"},
    {"QPrintSettingsOutput", "Double Sided Printing", "Impresión a doble cara"},
    {"QPrintSettingsOutput", "Off", "Desactivada"},
    {"QPrintSettingsOutput", "Long side binding", "Encuadernación por el lado largo"},
    {"QPrintSettingsOutput", "Short side binding", "Encuadernación por el lado corto"},
    {"QPrintSettingsOutput",
     "Specify pages or ranges separated by commas. Ranges are specified by two numbers "
     "separated by a hyphen. E.g: 3,5-7,9 prints pages 3, 5, 6, 7 and 9.",
     "Indique páginas o intervalos separados por comas; un intervalo son dos números "
     "separados por un guion. Por ejemplo, 3,5-7,9 imprime las páginas 3, 5, 6, 7 y 9."},
};

// Asked before Debian's catalogue; answers only for the texts above.
class SupplementaryTexts : public QTranslator {
  public:
    using QTranslator::QTranslator;
    QString translate(const char* context, const char* source, const char* disambiguation,
                      int) const override {
        if (disambiguation && *disambiguation)
            return {};
        for (const Text& t : kMissing)
            if (std::strcmp(t.context, context) == 0 && std::strcmp(t.source, source) == 0)
                return QString::fromUtf8(t.spanish);
        return {};
    }
    bool isEmpty() const override { return false; }
};

} // namespace

bool InstallSpanishToolkitTexts(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    if (!translator->load(QLocale(QLocale::Spanish), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    // The toolkit asks the translator installed last first.
    return QCoreApplication::installTranslator(translator) &&
           QCoreApplication::installTranslator(new SupplementaryTexts(&app));
}
