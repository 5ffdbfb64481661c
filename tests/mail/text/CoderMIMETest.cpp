#include <gtest/gtest.h>

#include <sstream>

#include "mail/IdCoderMIME.h"
#include "mail/IdException.h"

namespace {

TEST(EncoderMIMETest, PadsShortGroups) {
    EXPECT_EQ(TIdEncoderMIME::EncodeToText(""), "");
    EXPECT_EQ(TIdEncoderMIME::EncodeToText("M"), "TQ==");
    EXPECT_EQ(TIdEncoderMIME::EncodeToText("Ma"), "TWE=");
    EXPECT_EQ(TIdEncoderMIME::EncodeToText("Man"), "TWFu");
    EXPECT_EQ(TIdEncoderMIME::EncodeToText(std::string("\xFF\xFE\x00\x01", 4)), "//4AAQ==");
}

TEST(EncoderMIMETest, NeverBreaksLines) {
    const std::string encoded = TIdEncoderMIME::EncodeToText(std::string(300, 'x'));
    EXPECT_EQ(encoded.size(), 400u);
    EXPECT_EQ(encoded.find_first_of("\r\n"), std::string::npos);
}

TEST(EncoderMIMETest, EncodesACountFromTheStreamPosition) {
    TIdEncoderMIME encoder;
    std::istringstream source("xxManMan");
    source.ignore(2);
    EXPECT_EQ(encoder.Encode(source, 3), "TWFu");
    EXPECT_EQ(encoder.Encode(source), "TWFu");
}

TEST(EncoderMIMETest, RefusesACountThatSplitsAGroup) {
    TIdEncoderMIME encoder;
    std::istringstream source("Man");
    try {
        encoder.Encode(source, 2);
        FAIL() << "no exception";
    } catch (const EIdException& e) {
        EXPECT_STREQ(e.what(), "Uneven size in Encode.");
    }
}

} // namespace
