#include "text/CodePage.h"

#include <gtest/gtest.h>

using namespace veldrano;

TEST(CodePage, LocaleNamesGiveLanguageAndCodePage) {
    struct Row {
        const char* name;
        int primary, sub, codePage;
    } rows[] = {
        {"", 0x09, 0x01, 1252},
        {"C", 0x09, 0x01, 1252},
        {"POSIX", 0x09, 0x01, 1252},
        {"es_ES.UTF-8", 0x0A, 0x01, 1252},
        {"ja_JP.UTF-8", 0x11, 0x01, 932},
        {"ja_JP", 0x11, 0x01, 932},
        {"zh_CN.GB18030", 0x04, 0x02, 936},
        {"zh_TW.UTF-8", 0x04, 0x01, 950},
        {"zh_HK", 0x04, 0x03, 950},
        {"ko_KR.UTF-8", 0x12, 0x01, 949},
        {"sv_SE.UTF-8@euro", 0x09, 0x01, 1252},
    };
    for (const Row& r : rows) {
        SystemLocale l = LocaleFromName(r.name);
        EXPECT_EQ(l.primaryLanguage, r.primary) << r.name;
        EXPECT_EQ(l.subLanguage, r.sub) << r.name;
        EXPECT_EQ(l.codePage, r.codePage) << r.name;
    }
}

TEST(CodePage, LeadBytesFollowTheCodePage) {
    EXPECT_FALSE(IsLeadByte(1252, 0x81));
    EXPECT_TRUE(IsLeadByte(932, 0x81));
    EXPECT_TRUE(IsLeadByte(932, 0x9F));
    EXPECT_FALSE(IsLeadByte(932, 0xA1)); // half-width katakana is one byte
    EXPECT_TRUE(IsLeadByte(932, 0xFC));
    EXPECT_FALSE(IsLeadByte(932, 0xFD));
    EXPECT_TRUE(IsLeadByte(936, 0xFE));
    EXPECT_FALSE(IsLeadByte(949, 0x80));
}
