#include "book/Search.h"

namespace veldrano {

namespace {

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

bool NameMatches(std::string_view name, const SearchQuery& query) {
    const std::string_view text = query.text;
    if (name.size() != text.size())
        return false;
    if (query.caseSensitive)
        return name == text;
    for (size_t i = 0; i < name.size(); ++i)
        if (AsciiUpper(name[i]) != AsciiUpper(text[i]))
            return false;
    return true;
}

int FindFirst(int rowCount, const RowName& name, const SearchQuery& query) {
    for (int row = 0; row < rowCount; ++row)
        if (NameMatches(name(row), query))
            return row;
    return -1;
}

FindNextStep FindNext(int rowCount, const RowName& name, const SearchQuery& query,
                      SearchPosition& position) {
    FindNextStep step;
    const int last = rowCount - 1;
    position.SeguirBuscando = true;
    step.deselect = position.PosBusqueda;
    while (position.PosBusqueda < last && position.SeguirBuscando) {
        ++position.PosBusqueda;
        if (NameMatches(name(position.PosBusqueda), query)) {
            step.select = position.PosBusqueda;
            position.SeguirBuscando = false;
        }
    }
    if (position.PosBusqueda >= last) {
        step.finished = true;
        position.PosBusqueda = 0;
        position.SeguirBuscando = true;
    }
    return step;
}

} // namespace veldrano
