#pragma once
#include "book/BookFile.h"

#include <array>
#include <string>
#include <vector>

namespace veldrano::test {

// The bytes of a book file holding `records`, as the program writes one.
inline std::string BookText(const std::array<int, kFieldCount>& columnaOculta,
                            const std::vector<ContactRecord>& records) {
    std::string out;
    AppendBookHeader(out, columnaOculta);
    for (const ContactRecord& record : records)
        AppendBookRecord(out, record);
    return out;
}

} // namespace veldrano::test
