// Imports 100,000 contacts as Google Contacts exports them and as our own CSV holds them, in
// the same run: the Google CSV, with its thirty columns and labelled telephones, should
// take under 1.5 times our own CSV's time.
//   bench_import [contacts]
#include "bench/SampleBook.h"
#include "interchange/ContactCsv.h"
#include "interchange/Import.h"
#include "text/Charset.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

using namespace veldrano;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kLimit = 1.5;

const char* const kGoogleHeader[] = {"First Name",
                                     "Middle Name",
                                     "Last Name",
                                     "Phonetic First Name",
                                     "Phonetic Middle Name",
                                     "Phonetic Last Name",
                                     "Name Prefix",
                                     "Name Suffix",
                                     "Nickname",
                                     "File As",
                                     "Organization Name",
                                     "Organization Title",
                                     "Organization Department",
                                     "Birthday",
                                     "Notes",
                                     "Photo",
                                     "Labels",
                                     "E-mail 1 - Label",
                                     "E-mail 1 - Value",
                                     "Phone 1 - Label",
                                     "Phone 1 - Value",
                                     "Phone 2 - Label",
                                     "Phone 2 - Value",
                                     "Phone 3 - Label",
                                     "Phone 3 - Value",
                                     "Address 1 - Label",
                                     "Address 1 - Street",
                                     "Address 1 - Postal Code",
                                     "Address 1 - Extended Address",
                                     "Website 1 - Label",
                                     "Website 1 - Value"};

std::string Quoted(const std::string& cell) {
    if (cell.find_first_of(",\"\r\n") == std::string::npos)
        return cell;
    std::string out = "\"";
    for (char c : cell)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// The contact as Google writes it: the name split, each telephone with its label.
void AppendGoogleRow(std::string& out, const ContactRecord& r) {
    const std::string& name = r[0];
    const size_t space = name.find(' ');
    const std::string given = name.substr(0, space);
    const std::string family = space == std::string::npos ? "" : name.substr(space + 1);
    const std::string cells[] = {given,
                                 "",
                                 family,
                                 "",
                                 "",
                                 "",
                                 "",
                                 "",
                                 "",
                                 "",
                                 r[7],
                                 "",
                                 r[8],
                                 "",
                                 "",
                                 "",
                                 "* myContacts",
                                 "* Home",
                                 r[3],
                                 "Home",
                                 r[2],
                                 "Mobile",
                                 r[5],
                                 "Work Fax",
                                 r[6],
                                 "Home",
                                 r[1],
                                 r[4],
                                 r[10],
                                 "",
                                 r[9]};
    for (size_t i = 0; i < std::size(cells); ++i)
        out += (i ? "," : "") + Quoted(cells[i]);
    out += "\r\n";
}

double BestOfThree(const std::string& bytes, size_t count) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto t = Clock::now();
        const ImportResult result = ImportContacts(bytes, {});
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t).count());
        if (result.records.size() != count)
            std::exit(1);
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    const size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    Charset windows1252("CP1252");
    std::string own, google;
    AppendCsvHeader(own);
    for (size_t i = 0; i < std::size(kGoogleHeader); ++i)
        google += std::string(i ? "," : "") + kGoogleHeader[i];
    google += "\r\n";
    for (const ContactRecord& record : MakeBook(count)) {
        ContactRecord utf8;
        for (int k = 0; k < kFieldCount; ++k)
            utf8[k] = windows1252.ToUtf8(record[k]);
        AppendCsvRow(own, utf8);
        AppendGoogleRow(google, utf8);
    }
    const double baseline = BestOfThree(own, count), took = BestOfThree(google, count);
    std::printf("contacts                  %zu\n", count);
    std::printf("baseline: our own CSV     %8.3f s (%.0f MB)\n", baseline, own.size() / 1e6);
    std::printf("Google CSV                %8.3f s (%.0f MB)   ratio %5.2f (limit %.1f)\n", took,
                google.size() / 1e6, took / baseline, kLimit);
    return took / baseline < kLimit ? 0 : 1;
}
