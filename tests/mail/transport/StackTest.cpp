#include "mail/IdComponent.h"
#include "mail/IdStackPosix.h"
#include "tests/mail/transport/TransportTestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace veldrano::test;

// --- Error texts ----------------------------------------------------------------------------

struct ErrorTextRow {
    const char* name;
    int number;
    const char* text;
};

// Test names show the row name rather than its bytes.
void PrintTo(const ErrorTextRow& row, std::ostream* os) {
    *os << row.name;
}

class SocketErrorTextTest : public ::testing::TestWithParam<ErrorTextRow> {};

TEST_P(SocketErrorTextTest, FormatsNumberCrLfAndText) {
    TIdComponent component;
    const ErrorTextRow& row = GetParam();
    EXPECT_EQ(TIdComponent::Stack().SocketErrorText(row.number),
              "Socket Error # " + std::to_string(row.number) + "\r\n" + row.text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SocketErrorTextTest,
    ::testing::Values(
        ErrorTextRow{"WouldBlockKeepsTrailingBlank", 10035, "Operation would block. "},
        ErrorTextRow{"Reset", 10054, "Connection reset by peer."},
        ErrorTextRow{"Shutdown", 10058, "Cannot send or receive after socket is closed."},
        ErrorTextRow{"DirectoryNotEmptyHasNoStop", 10066, "Directory not empty"},
        ErrorTextRow{"HostNotFound", 11001, "Host not found."},
        ErrorTextRow{"OutsideTableHasNoText", 12345, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SocketErrorText, CheckSocketResultRaisesWithNumberUnlessIgnored) {
    TIdComponent component;
    TIdStack& stack = TIdComponent::Stack();
    EXPECT_FALSE(stack.CheckSocketResult(0));
    EXPECT_FALSE(stack.CheckSocketResult(17));

    stack.WSSetLastError(10048);
    EXPECT_TRUE(stack.CheckSocketResult(-1, {10048}));
    EXPECT_EQ(stack.LastSocketError(), 10048);

    stack.WSSetLastError(10061);
    const auto e = Thrown<EIdSocketError>([&] { stack.CheckSocketResult(-1, {10048}); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->SocketErrorCode(), 10061);
    EXPECT_STREQ(e->what(), "Socket Error # 10061\r\nConnection refused.");
}

// --- Dotted quads ---------------------------------------------------------------------------

struct QuadRow {
    const char* name;
    const char* text;
    bool dottedQuad;
};

// Test names show the row name rather than its bytes.
void PrintTo(const QuadRow& row, std::ostream* os) {
    *os << row.name;
}

class StackDottedQuadTest : public ::testing::TestWithParam<QuadRow> {};

TEST_P(StackDottedQuadTest, IsDottedQuadAndParseAgree) {
    const QuadRow& row = GetParam();
    EXPECT_EQ(TIdStack::IsDottedQuad(row.text), row.dottedQuad);
    if (row.dottedQuad)
        EXPECT_EQ(TIdStack::FormatDottedQuad(TIdStack::ParseDottedQuad(row.text)), row.text);
    else
        EXPECT_THROW(TIdStack::ParseDottedQuad(row.text), std::logic_error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StackDottedQuadTest,
    ::testing::Values(QuadRow{"Private", "192.168.1.10", true}, QuadRow{"Zeros", "0.0.0.0", true},
                      QuadRow{"AllOnes", "255.255.255.255", true},
                      QuadRow{"ByteOverflow", "192.168.1.256", false},
                      QuadRow{"ThreeParts", "1.2.3", false},
                      QuadRow{"FiveParts", "1.2.3.4.5", false},
                      QuadRow{"TrailingDot", "1.2.3.", false},
                      QuadRow{"EmptyPart", "1..3.4", false}, QuadRow{"Empty", "", false},
                      QuadRow{"Name", "mail.example.com", false},
                      QuadRow{"Signed", "-1.2.3.4", false}, QuadRow{"Blank", "1.2.3. 4", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StackDottedQuad, FormatsBytesInAddressOrder) {
    EXPECT_EQ(TIdStack::FormatDottedQuad(TIdInAddr{10, 0, 200, 7}), "10.0.200.7");
    EXPECT_EQ(TIdStack::ParseDottedQuad("10.0.200.7"), (TIdInAddr{10, 0, 200, 7}));
}

// --- Host resolution ------------------------------------------------------------------------

// Counts the lookups the rules let through.
class CountingStack : public TIdStackPosix {
  public:
    std::vector<std::string> lookups;
    std::string WSGetHostByName(const std::string& host) override {
        lookups.push_back(host);
        return TIdStackPosix::WSGetHostByName(host);
    }
};

TEST(StackResolveHostName, LocalhostAndDottedQuadsNeedNoLookup) {
    CountingStack stack;
    EXPECT_EQ(stack.ResolveHostName("localhost"), "127.0.0.1");
    EXPECT_EQ(stack.ResolveHostName("LocalHost"), "127.0.0.1");
    EXPECT_EQ(stack.ResolveHostName("LOCALHOST"), "127.0.0.1");
    EXPECT_EQ(stack.ResolveHostName("192.168.1.10"), "192.168.1.10");
    EXPECT_TRUE(stack.lookups.empty());
}

TEST(StackResolveHostName, NearQuadsGoToTheLookup) {
    CountingStack stack;
    EXPECT_THROW(stack.ResolveHostName("192.168.1.256"), EIdSocketError);
    stack.ResolveHostName("1.2.3"); // the resolver reads it as 1.2.0.3
    EXPECT_EQ(stack.lookups, (std::vector<std::string>{"192.168.1.256", "1.2.3"}));
}

TEST(StackResolveHostName, UnknownHostRaises11001) {
    TIdComponent component;
    const auto e = Thrown<EIdSocketError>(
        [&] { TIdComponent::Stack().ResolveHostName("no-such-host.invalid"); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->SocketErrorCode(), 11001);
    EXPECT_STREQ(e->what(), "Socket Error # 11001\r\nHost not found.");
}

// --- Component life cycle and notifications -------------------------------------------------

TEST(ComponentStack, FirstComponentMakesTheStackAndLastFreesIt) {
    ASSERT_EQ(TIdComponent::StackUsers(), 0);
    for (int round = 0; round < 2; ++round) {
        EXPECT_FALSE(TIdComponent::HasSocketStack());
        {
            TIdComponent a;
            TIdComponent b;
            EXPECT_EQ(TIdComponent::StackUsers(), 2);
            EXPECT_TRUE(TIdComponent::HasSocketStack());
            EXPECT_TRUE(TIdComponent::StackStarted());
        }
        EXPECT_EQ(TIdComponent::StackUsers(), 0);
        EXPECT_TRUE(TIdComponent::StackStarted()); // started once, never cleared
    }
    EXPECT_FALSE(TIdComponent::HasSocketStack());
}

TEST(StackComponentWork, OnlyTheOutermostBeginAndEndReachTheHandlers) {
    TIdComponent component;
    std::vector<std::string> events;
    component.OnWorkBegin = [&](TIdComponent&, TWorkMode m, std::int64_t max) {
        events.push_back("begin " + std::to_string(m) + " " + std::to_string(max));
    };
    component.OnWork = [&](TIdComponent&, TWorkMode m, std::int64_t count) {
        events.push_back("work " + std::to_string(m) + " " + std::to_string(count));
    };
    component.OnWorkEnd = [&](TIdComponent&, TWorkMode m) {
        events.push_back("end " + std::to_string(m));
    };

    component.DoWork(wmWrite, 5); // outside a begin: ignored
    component.BeginWork(wmWrite, 100);
    component.DoWork(wmWrite, 10);
    component.BeginWork(wmWrite, 999); // nested: no new begin, count kept
    component.DoWork(wmWrite, 7);
    component.DoWork(wmRead, 3); // the other mode has its own level
    component.EndWork(wmWrite);
    component.EndWork(wmWrite);
    component.EndWork(wmWrite); // unbalanced: ignored
    component.BeginWork(wmWrite);
    component.DoWork(wmWrite, 1);
    component.EndWork(wmWrite);

    const std::vector<std::string> expected = {"begin 1 100", "work 1 10", "work 1 17", "end 1",
                                               "begin 1 0",   "work 1 1",  "end 1"};
    EXPECT_EQ(events, expected);
}

} // namespace
