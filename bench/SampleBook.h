#pragma once
// A book of Spanish names and addresses in Windows-1252 for the benchmarks: a third of the
// contacts with business fields, one in fifty a duplicate of an earlier one.
#include "book/BookFile.h"
#include "book/ContactRecord.h"

#include <random>
#include <string>
#include <vector>

namespace veldrano {

inline std::vector<ContactRecord> MakeBook(size_t count) {
    const char* given[] = {"Ana",
                           "Luis",
                           "Mar\xED"
                           "a",
                           "Jos\xE9",
                           "\xC1ngel",
                           "Luc\xED"
                           "a",
                           "Carmen",
                           "Pedro",
                           "In\xE9s",
                           "Tom\xE1s",
                           "Roc\xEDo",
                           "Jes\xFAs",
                           "\xD3scar",
                           "Nuria",
                           "Ra\xFAl",
                           "Elena"};
    const char* family[] = {"Garc\xED"
                            "a",
                            "Mart\xEDnez",
                            "L\xF3pez",
                            "S\xE1nchez",
                            "P\xE9rez",
                            "G\xF3mez",
                            "Mu\xF1oz",
                            "Ib\xE1\xF1"
                            "ez",
                            "Ruiz",
                            "D\xED"
                            "az",
                            "Hern\xE1ndez",
                            "Ortu\xF1o",
                            "Castro",
                            "Nu\xF1"
                            "ez",
                            "Ferrer",
                            "Alonso",
                            "Pe\xF1"
                            "a",
                            "Gil"};
    const char* streets[] = {"C/ Mayor",
                             "Avda. de la Constituci\xF3n",
                             "Pza. Espa\xF1"
                             "a",
                             "C/ Real",
                             "Paseo del Prado",
                             "C/ Alcal\xE1"};
    std::mt19937 rng(42);
    auto pick = [&](auto& arr) { return std::string(arr[rng() % std::size(arr)]); };
    std::vector<ContactRecord> book(count);
    for (size_t i = 0; i < count; ++i) {
        ContactRecord& r = book[i];
        if (i % 50 == 49) { // some duplicates
            r = book[i - 7];
            continue;
        }
        r[0] = pick(given) + " " + pick(family) + " " + pick(family);
        r[1] = pick(streets) + ", " + std::to_string(rng() % 200 + 1);
        r[2] = "9" + std::to_string(10000000 + rng() % 89999999);
        r[3] = "contacto" + std::to_string(i) + "@correo.example";
        r[4] = std::to_string(28000 + rng() % 24000);
        r[5] = "6" + std::to_string(10000000 + rng() % 89999999);
        if (rng() % 3 == 0) {
            r[6] = "9" + std::to_string(10000000 + rng() % 89999999);
            r[7] = "Talleres " + pick(family) + " S.L.";
            r[8] = "Administraci\xF3n";
            r[9] = "https://empresa" + std::to_string(i % 997) + ".example";
            r[10] = "Planta " + std::to_string(rng() % 9);
        }
    }
    return book;
}

// The bytes of a book file holding `records`.
inline std::string BookText(const std::vector<ContactRecord>& records) {
    std::string out;
    AppendBookHeader(out, {});
    for (const ContactRecord& record : records)
        AppendBookRecord(out, record);
    return out;
}

} // namespace veldrano
