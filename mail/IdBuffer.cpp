#include "mail/IdBuffer.h"

#include <algorithm>
#include <cstring>

void TIdSimpleBuffer::Append(const char* bytes, std::size_t count) {
    if (count == 0)
        return;
    std::memcpy(Reserve(count), bytes, count);
    Commit(count);
}

char* TIdSimpleBuffer::Reserve(std::size_t count) {
    if (m_capacity - m_size < count) {
        // Grows geometrically and without zero-filling, as received data overwrites it anyway.
        const std::size_t capacity = std::max(m_capacity * 2, m_size + count);
        std::unique_ptr<char[]> data(new char[capacity]);
        if (m_size > 0)
            std::memcpy(data.get(), m_data.get(), m_size);
        m_data = std::move(data);
        m_capacity = capacity;
    }
    return m_data.get() + m_size;
}

std::string TIdSimpleBuffer::TakeBytes(std::size_t count) {
    if (count > Size())
        throw EIdNotEnoughDataInBuffer();
    std::string bytes(Memory(), count);
    DropBytes(count);
    return bytes;
}

void TIdSimpleBuffer::DropBytes(std::size_t count) {
    if (count > Size())
        throw EIdNotEnoughDataInBuffer();
    RemoveFront(count);
    if (BytesRemovedHandler)
        BytesRemovedHandler(count);
}

void TIdSimpleBuffer::RemoveFront(std::size_t count) {
    if (count > 0 && count < m_size)
        std::memmove(m_data.get(), m_data.get() + count, m_size - count);
    m_size -= count;
}

void TIdManagedBuffer::RemoveFront(std::size_t count) {
    if (count == Size()) {
        Clear();
        return;
    }
    m_start += count;
    if (m_start >= CompactThreshold) {
        std::memmove(m_data.get(), m_data.get() + m_start, m_size - m_start);
        m_size -= m_start;
        m_start = 0;
    }
}
