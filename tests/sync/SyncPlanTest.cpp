#include "sync/SyncPlan.h"

#include <gtest/gtest.h>

using namespace veldrano;

namespace {

// A contact by its name, telephone and e-mail address; the other fields stay empty.
ContactRecord C(const std::string& name, const std::string& tel = "",
                const std::string& mail = "") {
    ContactRecord r;
    r[FieldIndex(Field::nombre)] = name;
    r[FieldIndex(Field::telefono)] = tel;
    r[FieldIndex(Field::e_mail)] = mail;
    return r;
}

std::vector<PackedRecord> Packed(const std::vector<ContactRecord>& records) {
    return {records.begin(), records.end()};
}

std::string Href(size_t i) {
    return "/l/" + std::to_string(i) + ".vcf";
}

struct Row {
    const char* name;
    std::vector<ContactRecord> synced; // the state: card i at Href(i), ETag "1"
    std::vector<ContactRecord> book;
    std::map<size_t, ContactRecord> changedThere; // card i now, ETag "2"
    std::set<size_t> deletedThere;
    std::vector<ContactRecord> newThere; // at Href(100 + i)
    std::vector<ContactRecord> bookAfter;
    std::vector<std::string> actions; // "create NAME", "update HREF fields", "delete HREF"
    size_t conflicts = 0;
};

std::string Describe(const SyncPlan& plan, const Action& a) {
    switch (a.kind) {
    case Action::Create:
        return "create " + std::string(plan.contacts[a.contact].record[0]);
    case Action::Update:
        return "update " + a.href + " " + a.fields.to_string();
    case Action::Delete:
        return "delete " + a.href;
    }
    return {};
}

// The telephone field alone, as FieldSet::to_string writes it (field 0 last).
const std::string kTel = "00000000100";
const std::string kMail = "00000001000";
const std::string kName = "00000000001";

} // namespace

// Each rule of the merge, planned from the state, the book and what the server said, the
// way the sync fetches it: the cards changed there, and those changed here, which an
// update needs.
TEST(SyncPlan, MergesFieldByFieldAndNeverLosesAnEdit) {
    const Row rows[] = {
        {"nothing changed", {C("Ana", "1")}, {C("Ana", "1")}, {}, {}, {}, {C("Ana", "1")}, {}},
        {"changed here: its field is uploaded",
         {C("Ana", "1")},
         {C("Ana", "2")},
         {},
         {},
         {},
         {C("Ana", "2")},
         {"update /l/0.vcf " + kTel}},
        {"changed there: the book takes it",
         {C("Ana", "1")},
         {C("Ana", "1")},
         {{0, C("Ana", "3")}},
         {},
         {},
         {C("Ana", "3")},
         {}},
        {"different fields on each side are merged",
         {C("Ana", "1", "a@x")},
         {C("Ana", "2", "a@x")},
         {{0, C("Ana", "1", "b@x")}},
         {},
         {},
         {C("Ana", "2", "b@x")},
         {"update /l/0.vcf " + kTel}},
        {"one field changed on both sides keeps the value changed here",
         {C("Ana", "1")},
         {C("Ana", "2")},
         {{0, C("Ana", "3")}},
         {},
         {},
         {C("Ana", "2")},
         {"update /l/0.vcf " + kTel},
         1},
        {"the same change on both sides is no conflict",
         {C("Ana", "1")},
         {C("Ana", "2")},
         {{0, C("Ana", "2")}},
         {},
         {},
         {C("Ana", "2")},
         {}},
        {"deleted here: deleted there",
         {C("Ana"), C("Bea")},
         {C("Bea")},
         {},
         {},
         {},
         {C("Bea")},
         {"delete /l/0.vcf"}},
        {"deleted here but changed there: the server's contact comes back",
         {C("Ana", "1")},
         {},
         {{0, C("Ana", "3")}},
         {},
         {},
         {C("Ana", "3")},
         {}},
        {"changed here but deleted there: uploaded again as a new card",
         {C("Ana", "1")},
         {C("Ana", "2")},
         {},
         {0},
         {},
         {C("Ana", "2")},
         {"create Ana"}},
        {"changed here, deleted there and uploaded again by a run cut short: that card is it",
         {C("Ana", "1")},
         {C("Ana", "2")},
         {},
         {0},
         {C("Ana", "2")},
         {C("Ana", "2")},
         {}},
        {"deleted there: deleted here",
         {C("Ana"), C("Bea")},
         {C("Ana"), C("Bea")},
         {},
         {1},
         {},
         {C("Ana")},
         {}},
        {"new on each side",
         {},
         {C("Ana")},
         {},
         {},
         {C("Bea")},
         {C("Ana"), C("Bea")},
         {"create Ana"}},
        {"a first sync matches equal contacts instead of doubling them",
         {},
         {C("Ana", "1"), C("Ana", "1"), C("Bea")},
         {},
         {},
         {C("Ana", "1"), C("Cid")},
         {C("Ana", "1"), C("Ana", "1"), C("Bea"), C("Cid")},
         {"create Ana", "create Bea"}},
        {"two contacts of one name changed here: each keeps its own card",
         {C("Ana", "1", "a@x"), C("Ana", "2", "b@x")},
         {C("Ana", "2", "b@y"), C("Ana", "1", "a@y")},
         {},
         {},
         {},
         {C("Ana", "2", "b@y"), C("Ana", "1", "a@y")},
         {"update /l/0.vcf " + kMail, "update /l/1.vcf " + kMail}},
        {"renamed here: the card is updated, not replaced",
         {C("Ana Ruiz", "1", "a@x")},
         {C("Ana Ruiz Gil", "1", "a@x")},
         {},
         {},
         {},
         {C("Ana Ruiz Gil", "1", "a@x")},
         {"update /l/0.vcf " + kName}},
        {"renamed here and changed there: merged field by field into one contact",
         {C("Ana Ruiz", "1", "a@x")},
         {C("Ana Ruiz Gil", "1", "a@x")},
         {{0, C("Ana Ruiz", "9", "a@x")}},
         {},
         {},
         {C("Ana Ruiz Gil", "9", "a@x")},
         {"update /l/0.vcf " + kName}},
        {"renamed here, deleted there: uploaded again",
         {C("Ana Ruiz", "1", "a@x")},
         {C("Ana Ruiz Gil", "1", "a@x")},
         {},
         {0},
         {},
         {C("Ana Ruiz Gil", "1", "a@x")},
         {"create Ana Ruiz Gil"}},
        {"killed after uploading: the uploaded card is the book's new contact",
         {C("Ana")},
         {C("Ana"), C("Bea", "1")},
         {},
         {},
         {C("Bea", "1")},
         {C("Ana"), C("Bea", "1")},
         {}},
        {"killed after uploading a deletion of a contact then changed there",
         {C("Ana", "1")},
         {C("Ana", "3")},
         {{0, C("Ana", "3")}},
         {},
         {},
         {C("Ana", "3")},
         {}},
        {"killed after writing the book: the server's changes are there already",
         {C("Ana", "1"), C("Bea")},
         {C("Ana", "3"), C("Cid")},
         {{0, C("Ana", "3")}},
         {1},
         {C("Cid")},
         {C("Ana", "3"), C("Cid")},
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<SyncedCard> state;
        for (size_t i = 0; i < row.synced.size(); ++i)
            state.push_back({Href(i), "1", "uid", row.synced[i]});
        ServerView server;
        for (const auto& [i, record] : row.changedThere)
            server.fetched[Href(i)] = {Href(i), "2", "uid", "card", record};
        for (size_t i : row.deletedThere)
            server.deleted.insert(Href(i));
        for (size_t i = 0; i < row.newThere.size(); ++i)
            server.fetched[Href(100 + i)] = {Href(100 + i), "1", "uid", "card", row.newThere[i]};
        const std::vector<PackedRecord> book = Packed(row.book);
        const LocalDiff diff = DiffBook(state, book);
        for (const std::string& href : diff.ChangedHrefs(state)) {
            const size_t i = std::stoul(href.substr(3));
            if (!server.fetched.count(href) && !server.deleted.count(href))
                server.fetched[href] = {href, "1", "uid", "card", row.synced[i]};
        }

        const SyncPlan plan = PlanSync(state, book, diff, server);
        // In book order (a contact unchanged on both sides is the book's record), then the
        // contacts new here.
        std::map<size_t, PackedRecord> inBookOrder;
        std::vector<PackedRecord> bookAfter;
        for (const auto& [j, i] : plan.unchanged) {
            EXPECT_EQ(state[i].record, book[j]);
            inBookOrder[j] = book[j];
        }
        for (const auto& contact : plan.contacts) {
            if (contact.inBook && contact.bookIndex)
                inBookOrder[*contact.bookIndex] = contact.record;
            if (contact.card && contact.inBook) { // the state keeps what the book holds
                EXPECT_EQ(contact.card->record, contact.record);
            }
        }
        for (const auto& [j, record] : inBookOrder)
            bookAfter.push_back(record);
        for (const auto& contact : plan.contacts)
            if (contact.inBook && !contact.bookIndex)
                bookAfter.push_back(contact.record);
        EXPECT_EQ(bookAfter, Packed(row.bookAfter));
        std::vector<std::string> actions;
        for (const Action& a : plan.actions)
            actions.push_back(Describe(plan, a));
        std::sort(actions.begin(), actions.end());
        EXPECT_EQ(actions, row.actions);
        EXPECT_EQ(plan.conflicts.size(), row.conflicts);
    }
}

// A conflict names the contact and the field, and carries both values.
TEST(SyncPlan, ConflictKeepsTheValueChangedHere) {
    const Merge merge =
        MergeContact(C("Ana", "1", "a@x"), C("Ana", "2", "b@x"), C("Ana", "3", "a@x"));
    EXPECT_EQ(merge.record, C("Ana", "2", "b@x"));
    ASSERT_EQ(merge.conflicts.size(), 1u);
    EXPECT_EQ(merge.conflicts[0].name, "Ana");
    EXPECT_EQ(merge.conflicts[0].field, Field::telefono);
    EXPECT_EQ(merge.conflicts[0].here, "2");
    EXPECT_EQ(merge.conflicts[0].there, "3");
}

namespace {

// A contact with a name, a telephone, an e-mail address, a postcode and an organization.
ContactRecord Full(const std::string& name, const std::string& tel, const std::string& mail,
                   const std::string& cp = "", const std::string& org = "") {
    ContactRecord r = C(name, tel, mail);
    r[FieldIndex(Field::cp)] = cp;
    r[FieldIndex(Field::organizacion)] = org;
    return r;
}

ContactRecord WithMovil(ContactRecord r, const std::string& movil) {
    r[FieldIndex(Field::movil)] = movil;
    return r;
}

} // namespace

// Which book record is which card: equal records first, then the records left on each side
// paired by likeness, the likeliest pairs first whatever the order of either side.
TEST(SyncPlan, PairsRecordsChangedHereByLikeness) {
    const ContactRecord luis1 = Full("Luis Gil", "1", "", "28001"),
                        luis2 = Full("Luis Gil", "2", "", "28001");
    const struct {
        const char* name;
        std::vector<ContactRecord> synced, book;
        std::vector<int> cardOf; // per book record: its card, -1 for a new one
    } rows[] = {
        {"a rename keeps the other fields",
         {Full("Ana", "1", "a@x")},
         {Full("Eva", "1", "a@x")},
         {0}},
        {"the same e-mail alone", {Full("Ana", "1", "a@x")}, {Full("Eva", "2", "a@x")}, {0}},
        {"the same telephone alone", {Full("Ana", "1", "a@x")}, {Full("Eva", "1", "e@x")}, {0}},
        {"half the fields equal",
         {Full("Ana", "1", "", "28001", "Acme")},
         {Full("Ana", "2", "", "28002", "Acme")},
         {0}},
        {"less than half and no e-mail or telephone kept: another contact",
         {Full("Ana", "1", "a@x", "28001")},
         {Full("Eva", "2", "e@x", "28001")},
         {-1}},
        {"a deletion and an unrelated addition",
         {C("Ana", "1"), C("Bea", "2")},
         {C("Bea", "2"), C("Cid", "3")},
         {1, -1}},
        {"two of one name, each given a Móvil, in the other order",
         {luis1, luis2},
         {WithMovil(luis2, "6"), WithMovil(luis1, "5")},
         {1, 0}},
        {"the likelier card wins over the first alike one",
         {Full("Ana", "1", "", "28001", "Acme"), Full("Ana", "1", "a@x", "28001", "Acme")},
         {Full("Ana", "1", "a@x", "28002", "Acme")},
         {1}},
        {"two of one name with nothing else: each keeps a card",
         {C("Luis"), C("Luis")},
         {WithMovil(C("Luis"), "5"), WithMovil(C("Luis"), "6")},
         {0, 1}},
        {"one card, two alike records: the likelier is the card, the other is new",
         {Full("Ana", "1", "a@x", "28001")},
         {Full("Ana", "9", "a@x", "28002"), Full("Ana", "1", "a@x", "28002")},
         {-1, 0}},
        {"an unchanged copy is matched before any likeness",
         {Full("Ana", "1", "a@x"), Full("Ana", "1", "a@x", "28001")},
         {Full("Ana", "1", "a@x", "28001"), Full("Ana", "1", "a@y")},
         {1, 0}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<SyncedCard> state;
        for (size_t i = 0; i < row.synced.size(); ++i)
            state.push_back({Href(i), "1", "uid", row.synced[i]});
        const LocalDiff diff = DiffBook(state, Packed(row.book));
        std::vector<int> cardOf;
        for (size_t j = 0; j < row.book.size(); ++j) {
            cardOf.push_back(diff.bookCard[j] ? static_cast<int>(*diff.bookCard[j]) : -1);
            EXPECT_EQ(diff.changed[j],
                      diff.bookCard[j] && state[*diff.bookCard[j]].record != row.book[j]);
        }
        EXPECT_EQ(cardOf, row.cardOf);
    }
}
