#include "cli/SortBook.h"

#include "model/BookModel.h"
#include "book/BookFile.h"

#include <cstdio>
#include <thread>

int SortBook(const std::string& in, const std::string& out) {
    // The collation's tables are built while the file is read; the model below finds them.
    std::jthread collation([] { NameCollation warm; });
    veldrano::LoadedBook book;
    try {
        book = veldrano::ReadBookFile(in);
    } catch (const std::exception&) {
        std::fprintf(stderr, "torvikalen: %s: Formato de archivo no válido\n", in.c_str());
        return 1;
    }
    collation.join();
    BookModel model; // with ordering on, as every window starts
    model.load(std::move(book.records));
    std::array<int, veldrano::kFieldCount> columns{};
    for (int k = 0; k < veldrano::kFieldCount; ++k)
        columns[k] = book.hidden[k] ? -1 : 0;
    try {
        veldrano::WriteBookFile(out, columns, model.store());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "torvikalen: %s\n", e.what());
        return 1;
    }
    return 0;
}
