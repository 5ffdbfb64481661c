#include "interchange/VCardLoss.h"

#include "interchange/FieldRules.h"
#include "interchange/VCardSyntax.h"

namespace veldrano {

namespace {

struct PropertyLoss {
    std::string_view property; // upper case
    std::string_view lost;     // empty: nothing a user typed
};

constexpr PropertyLoss kLosses[] = {
    {"NOTE", kNotes},
    {"BDAY", kBirthday},
    {"ANNIVERSARY", "aniversario"},
    {"X-ANNIVERSARY", "aniversario"},
    {"X-ABDATE", "fechas"},
    {"NICKNAME", "apodo"},
    {"TITLE", "cargo"},
    {"ROLE", "cargo"},
    {"PHOTO", "foto"},
    {"LOGO", "logotipo"},
    {"SOUND", "sonido"},
    {"KEY", "clave"},
    {"CATEGORIES", "categorías"},
    {"GEO", "posición"},
    {"TZ", "zona horaria"},
    {"GENDER", "sexo"},
    {"LANG", "idioma"},
    {"RELATED", "personas relacionadas"},
    {"X-ABRELATEDNAMES", "personas relacionadas"},
    {"MEMBER", "miembros"},
    {"IMPP", "mensajería instantánea"},
    {"X-AIM", "mensajería instantánea"},
    {"X-JABBER", "mensajería instantánea"},
    {"X-SKYPE", "mensajería instantánea"},
    {"X-MSN", "mensajería instantánea"},
    {"X-YAHOO", "mensajería instantánea"},
    {"X-ICQ", "mensajería instantánea"},
    {"X-SOCIALPROFILE", "redes sociales"},
    {"CALURI", "calendario"},
    {"FBURL", "disponibilidad"},
    // What the writing program keeps for itself, or says again of what is read.
    {"VERSION", ""},
    {"PRODID", ""},
    {"UID", ""},
    {"REV", ""},
    {"KIND", ""},
    {"X-ABLABEL", ""},
    {"X-ABUID", ""},
    {"X-ABSHOWAS", ""},
    {"X-ABADR", ""},
    {"SORT-STRING", ""},
    {"CLASS", ""},
    {"SOURCE", ""},
    {"NAME", ""},
    {"PROFILE", ""},
    {"MAILER", ""},
    {"LABEL", ""}, // the address again, as printed
    {"CLIENTPIDMAP", ""},
    {"X-PHONETIC-FIRST-NAME", ""},
    {"X-PHONETIC-LAST-NAME", ""},
    {"X-PHONETIC-MIDDLE-NAME", ""},
};

constexpr PropertyLoss kRepeats[] = {
    {"TEL", kOtherPhones}, {"EMAIL", kOtherEmails}, {"ADR", kSecondAddress},
    {"URL", kOtherWebs},   {"ORG", kOtherOrgs},
};

} // namespace

std::string_view LostNameOfProperty(std::string_view name) {
    for (const PropertyLoss& loss : kLosses)
        if (IsName(name, loss.property))
            return loss.lost;
    return name;
}

std::string_view LostNameOfRepeat(std::string_view name) {
    for (const PropertyLoss& loss : kRepeats)
        if (IsName(name, loss.property))
            return loss.lost;
    return {};
}

} // namespace veldrano
