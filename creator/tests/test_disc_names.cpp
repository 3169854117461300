// Names that a burned disc keeps, and why the others are refused.
#include "DiscNames.h"

#include <gtest/gtest.h>

namespace {

struct NameCase {
    const char16_t* name;
    const char* problemPart; // "" when the name is kept
};

class DiscNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(DiscNames, AreKeptOrRefusedWithTheReason)
{
    const NameCase c = GetParam();
    const QString problem = creator::discNameProblem(QString::fromUtf16(c.name));
    if (*c.problemPart == '\0')
        EXPECT_EQ(problem, QString()) << problem.toStdString();
    else
        EXPECT_TRUE(problem.contains(QString::fromUtf8(c.problemPart))) << problem.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, DiscNames,
    ::testing::Values(
        NameCase{u"intro.swf", ""},
        NameCase{u"Mixed Case With Spaces & (brackets).swf", ""},
        NameCase{u"\u00C9t\u00E9 \u6771\u4EAC \u0416.swf", ""},            // any character of UCS-2
        NameCase{u"libQt6Core.so.6", ""},
        NameCase{u"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.swf", ""}, // 63 characters
        NameCase{u"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.swf", ""}, // 64
        NameCase{u"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.swf", "65 characters long"},
        NameCase{u"part 1: intro.swf", "\":\""},
        NameCase{u"a;1.swf", "\";\""},
        NameCase{u"what?.swf", "\"?\""},
        NameCase{u"star*.swf", "\"*\""},
        NameCase{u"back\\slash.swf", "\"\\\""},
        NameCase{u"tab\there.swf", "U+0009"},
        NameCase{u"a:b:c?.swf", "\":\", \"?\""},                         // each character named once
        NameCase{u"smile \U0001F600.swf", "beyond"},
        NameCase{u"..", "not a file name"},
        NameCase{u"", "not a file name"}));

} // namespace
