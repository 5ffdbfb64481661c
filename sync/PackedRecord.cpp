#include "sync/PackedRecord.h"

#include <stdexcept>

namespace veldrano {

namespace {

constexpr std::string_view kEmpty = "\n\n\n\n\n\n\n\n\n\n"; // the separators of empty fields
static_assert(kEmpty.size() == kFieldCount - 1);

} // namespace

PackedRecord::PackedRecord(const ContactRecord& record) {
    Fields fields;
    for (int k = 0; k < kFieldCount; ++k)
        fields[k] = record[k];
    *this = PackedRecord(fields);
}

PackedRecord::PackedRecord(const Fields& fields) {
    size_t size = kFieldCount - 1;
    for (const std::string_view field : fields)
        size += field.size();
    if (size == kFieldCount - 1)
        return;
    if (size > UINT32_MAX)
        throw std::length_error("a contact too large to hold");
    std::shared_ptr<char[]> text = std::make_shared_for_overwrite<char[]>(size);
    char* at = text.get();
    for (int k = 0; k < kFieldCount; ++k) {
        if (k > 0)
            *at++ = '\n';
        for (const char c : fields[k])
            *at++ = SingleLineByte(c);
    }
    m_text = std::move(text);
    m_size = static_cast<uint32_t>(size);
}

std::string_view PackedRecord::text() const {
    return m_text ? std::string_view(m_text.get(), m_size) : kEmpty;
}

PackedRecord::Fields PackedRecord::fields() const {
    Fields fields;
    const std::string_view all = text();
    size_t start = 0;
    for (int k = 0; k < kFieldCount; ++k) {
        const size_t end = k + 1 < kFieldCount ? all.find('\n', start) : all.size();
        fields[k] = all.substr(start, end - start);
        start = end + 1;
    }
    return fields;
}

std::string_view PackedRecord::operator[](int k) const {
    const std::string_view all = text();
    size_t start = 0;
    for (int i = 0; i < k; ++i)
        start = all.find('\n', start) + 1;
    return all.substr(start, all.find('\n', start) - start);
}

ContactRecord PackedRecord::Unpack() const {
    ContactRecord record;
    const Fields f = fields();
    for (int k = 0; k < kFieldCount; ++k)
        record[k] = f[k];
    return record;
}

bool PackedRecord::operator==(const ContactRecord& record) const {
    const Fields f = fields();
    for (int k = 0; k < kFieldCount; ++k) {
        if (f[k].size() != record[k].size())
            return false;
        for (size_t i = 0; i < f[k].size(); ++i)
            if (f[k][i] != SingleLineByte(record[k][i]))
                return false;
    }
    return true;
}

} // namespace veldrano
