#include "book/MergeEdits.h"

#include <gtest/gtest.h>

using namespace veldrano;

namespace {

ContactRecord R(const std::string& name, const std::string& tel = "") {
    ContactRecord r;
    r[FieldIndex(Field::nombre)] = name;
    r[FieldIndex(Field::telefono)] = tel;
    return r;
}

BookStore Store(const std::vector<ContactRecord>& records) {
    BookStore s;
    for (const ContactRecord& r : records)
        s.insert(s.size(), r);
    return s;
}

std::vector<std::string> Names(const std::vector<ContactRecord>& records) {
    std::vector<std::string> names;
    for (const ContactRecord& r : records)
        names.push_back(r[0] + (r[FieldIndex(Field::telefono)].empty()
                                    ? ""
                                    : "/" + r[FieldIndex(Field::telefono)]));
    return names;
}

} // namespace

// The window's edits since the file was read, put into the file a sync rewrote meanwhile:
// each side's additions, changes and deletions survive, and nothing is lost when both
// sides changed one contact.
TEST(MergeEdits, EachSidesEditsSurviveAndNothingIsLost) {
    struct Row {
        const char* name;
        std::vector<ContactRecord> base, ours, theirs;
        std::vector<std::string> merged;
    } rows[] = {
        {"nothing edited here",
         {R("Ana"), R("Eva")},
         {R("Ana"), R("Eva")},
         {R("Ana"), R("Eva"), R("Luis")},
         {"Ana", "Eva", "Luis"}},
        {"added here, added there",
         {R("Ana")},
         {R("Ana"), R("Mia")},
         {R("Ana"), R("Luis")},
         {"Ana", "Luis", "Mia"}},
        {"deleted here, changed there: the server's version stays",
         {R("Ana", "1"), R("Eva")},
         {R("Eva")},
         {R("Ana", "2"), R("Eva")},
         {"Ana/2", "Eva"}},
        {"changed here, deleted there: ours comes back",
         {R("Ana", "1"), R("Eva")},
         {R("Ana", "3"), R("Eva")},
         {R("Eva")},
         {"Eva", "Ana/3"}},
        {"changed on both sides: both versions",
         {R("Ana", "1")},
         {R("Ana", "3")},
         {R("Ana", "2")},
         {"Ana/2", "Ana/3"}},
        {"one of two equal contacts deleted here",
         {R("Ana"), R("Ana"), R("Eva")},
         {R("Ana"), R("Eva")},
         {R("Ana"), R("Ana"), R("Eva"), R("Luis")},
         {"Ana", "Eva", "Luis"}},
        {"deleted on both sides", {R("Ana"), R("Eva")}, {R("Eva")}, {R("Eva")}, {"Eva"}},
        {"a paste of a copy here", {R("Ana")}, {R("Ana"), R("Ana")}, {R("Ana")}, {"Ana", "Ana"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Names(MergeEdits(Store(row.base), Store(row.ours), Store(row.theirs))),
                  row.merged);
    }
}
