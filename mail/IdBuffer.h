#pragma once
#include "mail/IdException.h"
#include "mail/IdTexts.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class EIdNotEnoughDataInBuffer : public EIdException {
  public:
    EIdNotEnoughDataInBuffer() : EIdException(IdTexts::NotEnoughDataInBuffer) {}
};

// A growable byte buffer; removing bytes from the front moves the rest at once.
class TIdSimpleBuffer {
  public:
    TIdSimpleBuffer() = default;
    virtual ~TIdSimpleBuffer() = default;
    TIdSimpleBuffer(const TIdSimpleBuffer&) = delete;
    TIdSimpleBuffer& operator=(const TIdSimpleBuffer&) = delete;

    // Told of every removal with the number of bytes removed.
    std::function<void(std::size_t)> BytesRemovedHandler;

    // The visible bytes.
    std::size_t Size() const { return m_size - m_start; }
    const char* Memory() const { return m_data.get() + m_start; }
    std::string_view View() const { return {Memory(), Size()}; }

    void Append(const char* bytes, std::size_t count);
    void Append(std::string_view bytes) { Append(bytes.data(), bytes.size()); }
    // Room for count more bytes at the end, to be filled in place (a receive writes straight
    // into the buffer); Commit then adds the bytes actually written.
    char* Reserve(std::size_t count);
    void Commit(std::size_t count) { m_size += count; }

    // The first count visible bytes, removed; throws EIdNotEnoughDataInBuffer.
    std::string TakeBytes(std::size_t count);
    // Removes the first count visible bytes; throws EIdNotEnoughDataInBuffer.
    void DropBytes(std::size_t count);
    void Clear() {
        m_size = 0;
        m_start = 0;
    }

  protected:
    virtual void RemoveFront(std::size_t count);

    std::unique_ptr<char[]> m_data;
    std::size_t m_start = 0; // bytes already taken but still in front (managed buffer only)
    std::size_t m_size = 0;  // bytes held, taken ones included
    std::size_t m_capacity = 0;
};

// The input buffer of a connection: consumed bytes stay in front until they add up to
// CompactThreshold, so reading many short lines does not move memory on every line.
class TIdManagedBuffer final : public TIdSimpleBuffer {
  public:
    // Large enough that compaction is rare, small enough to bound the memory held.
    static constexpr std::size_t CompactThreshold = 32768;

    std::size_t ConsumedBytes() const { return m_start; }

  protected:
    void RemoveFront(std::size_t count) override;
};
