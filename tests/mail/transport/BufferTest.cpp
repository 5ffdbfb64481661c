#include "mail/IdBuffer.h"
#include "tests/mail/transport/TransportTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace veldrano::test;

TEST(ConnectionManagedBuffer, ConsumedBytesStayInFrontUntilTheThreshold) {
    TIdManagedBuffer buffer;
    std::vector<std::size_t> removed;
    buffer.BytesRemovedHandler = [&](std::size_t n) { removed.push_back(n); };

    std::string data;
    for (int i = 0; i < 5000; ++i)
        data += "line " + std::to_string(i) + "\n"; // about 44 KB
    buffer.Append(data);

    std::size_t taken = 0;
    bool compacted = false;
    while (buffer.Size() > 100) {
        const std::size_t before = buffer.ConsumedBytes();
        EXPECT_EQ(buffer.TakeBytes(10), data.substr(taken, 10));
        taken += 10;
        if (before + 10 >= TIdManagedBuffer::CompactThreshold) {
            EXPECT_EQ(buffer.ConsumedBytes(), 0u); // moved to the front at the threshold
            compacted = true;
        } else {
            EXPECT_EQ(buffer.ConsumedBytes(), before + 10);
        }
        ASSERT_EQ(buffer.View(), std::string_view(data).substr(taken));
    }
    EXPECT_TRUE(compacted);
    EXPECT_EQ(removed.size(), taken / 10);

    buffer.DropBytes(buffer.Size()); // all of it: cleared outright
    EXPECT_EQ(buffer.Size(), 0u);
    EXPECT_EQ(buffer.ConsumedBytes(), 0u);
    buffer.Append("new");
    EXPECT_EQ(buffer.View(), "new");
}

TEST(ConnectionBuffers, TakingMoreThanHeldRaisesAndKeepsTheBytes) {
    TIdSimpleBuffer simple;
    TIdManagedBuffer managed;
    for (TIdSimpleBuffer* buffer : {&simple, static_cast<TIdSimpleBuffer*>(&managed)}) {
        buffer->Append("abc");
        EXPECT_EQ(ErrorText<EIdNotEnoughDataInBuffer>([&] { buffer->TakeBytes(4); }),
                  "Not enough data in buffer.");
        EXPECT_THROW(buffer->DropBytes(4), EIdNotEnoughDataInBuffer);
        EXPECT_EQ(buffer->View(), "abc");
        EXPECT_EQ(buffer->TakeBytes(1), "a");
        EXPECT_EQ(buffer->View(), "bc");
    }
}

} // namespace
