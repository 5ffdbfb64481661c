// A million contacts copied and pasted into a new book save as the bytes they were read from.
#include "tests/support/TempDir.h"
#include "tests/support/app/WindowFixture.h"

#include <QAbstractItemView>
#include <random>

using namespace veldrano;
using veldrano::test::WindowTest;

namespace {

// Names that sort far from their file order, accented, in mixed case, some repeated (equal
// names keep their order), and rows of every length of field.
std::vector<ContactRecord> Shuffled(size_t count) {
    const char* given[] = {"Ana",
                           "\xC1ngel",
                           "mar\xED"
                           "a",
                           "JOS\xC9",
                           "Luc\xED"
                           "a",
                           "In\xE9s",
                           ""};
    const char* family[] = {"Garc\xED"
                            "a",
                            "p\xE9rez", "Mu\xF1oz",
                            "Ib\xE1\xF1"
                            "ez",
                            "Ruiz"};
    std::mt19937 random(5);
    std::vector<ContactRecord> book(count);
    for (size_t i = 0; i < count; ++i) {
        ContactRecord& r = book[i];
        r[0] = std::string(given[random() % std::size(given)]) + " " +
               family[random() % std::size(family)] + " " + std::to_string(random() % 5000);
        for (int f = 1; f < kFieldCount; ++f)
            if (random() % 4 != 0)
                r[f] = "dato " + std::to_string(i) + std::string(random() % 30, 'x');
    }
    return book;
}

} // namespace

TEST_F(WindowTest, AMillionContactsCopiedAndPastedIntoANewBookSaveAsTheSameBytes) {
    start();
    open(writeBook("revuelto.kbx", Shuffled(1'000'000)));
    // Saved once, the book is in the list's order: what a paste into an empty list keeps.
    platform.saveNames = {QString::fromStdString(path("ordenado"))}; // the extension is added
    trigger("GuardarComo");
    const std::string sorted = test::ReadFileBytes(path("ordenado.kbx"));
    trigger("SeleccionarTodo1");
    trigger("copiar");
    platform.yesNo = {false}; // the copy marked the book; its changes are not kept
    trigger("Nueva");
    trigger("Pegar");
    ASSERT_EQ(list()->model()->rowCount(), 1'000'000);
    platform.saveNames = {QString::fromStdString(path("pegado"))};
    trigger("GuardarComo");
    EXPECT_TRUE(test::ReadFileBytes(path("pegado.kbx")) == sorted);
}
