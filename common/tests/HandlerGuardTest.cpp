// The one guard both windows run their handlers through.
#include "qev/FileError.h"
#include "qev/HandlerGuard.h"
#include "qev/ScriptedPlatform.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using Kind = qev::ScriptedPlatform::Asked;

TEST(HandlerGuard, ABodyThatEndsShowsNothing)
{
    qev::ScriptedPlatform platform;
    int ran = 0;
    EXPECT_TRUE(qev::runHandler(platform, nullptr, "Title", [&] { ++ran; }));
    EXPECT_EQ(ran, 1);
    EXPECT_TRUE(platform.asked().empty());
}

TEST(HandlerGuard, AFileErrorEndsTheBodyAndIsShownWithTheProgramsTitle)
{
    qev::ScriptedPlatform platform;
    QStringList done;
    const bool ended = qev::runHandler(platform, nullptr, "Ostiv", [&] {
        done << "before";
        throw qev::FileError("/m/list.qev", "Permission denied");
        done << "after";
    });
    EXPECT_FALSE(ended);
    EXPECT_EQ(done, QStringList{"before"});
    const auto asked = platform.asked();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].kind, Kind::Message);
    EXPECT_EQ(asked[0].caption, "Ostiv");
    EXPECT_EQ(asked[0].text, "Permission denied: /m/list.qev");
}

TEST(HandlerGuard, OtherFailuresAreShownAsUtf8Text)
{
    qev::ScriptedPlatform platform;
    const QString text = QStringLiteral(u"Le contr\u00F4le n'a pas pu \u00EAtre cr\u00E9\u00E9.");
    EXPECT_FALSE(qev::runHandler(platform, nullptr, "Ravlen",
                                 [&] { throw std::runtime_error(text.toStdString()); }));
    EXPECT_EQ(platform.messages(), std::vector<QString>{text});
}

} // namespace
