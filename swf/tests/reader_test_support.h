#pragma once

// Helpers shared by the reader and writer tests: field-by-field checks for
// model types without operator==, and one-character movies.

#include <qev/swf/Reader.h>
#include <qev/swf/Writer.h>

#include <gtest/gtest.h>

namespace qev::swf::testsupport {

inline void expectSameAction(const Action& a, const Action& b)
{
    EXPECT_EQ(a.code, b.code);
    EXPECT_EQ(a.frame, b.frame);
    EXPECT_EQ(a.label, b.label);
    EXPECT_EQ(a.target, b.target);
    EXPECT_EQ(a.play, b.play);
    EXPECT_EQ(a.sceneBias, b.sceneBias);
    EXPECT_EQ(a.skipCount, b.skipCount);
    EXPECT_EQ(a.branchOffset, b.branchOffset);
    EXPECT_EQ(a.pushed, b.pushed);
    EXPECT_EQ(a.constants, b.constants);
}

inline void expectSameActions(const ActionList& a, const ActionList& b)
{
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        SCOPED_TRACE(i);
        expectSameAction(a[i], b[i]);
    }
}

inline void expectSamePlace(const PlaceObject& a, const PlaceObject& b)
{
    EXPECT_EQ(a.version, b.version);
    EXPECT_EQ(a.move, b.move);
    EXPECT_EQ(a.depth, b.depth);
    EXPECT_EQ(a.characterId, b.characterId);
    EXPECT_EQ(a.matrix, b.matrix);
    EXPECT_EQ(a.colorTransform, b.colorTransform);
    EXPECT_EQ(a.ratio, b.ratio);
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.clipDepth, b.clipDepth);
    EXPECT_EQ(a.filters, b.filters);
    EXPECT_EQ(a.blendMode, b.blendMode);
    EXPECT_EQ(a.cacheAsBitmap, b.cacheAsBitmap);
    EXPECT_EQ(a.visible, b.visible);
    EXPECT_EQ(a.backgroundColor, b.backgroundColor);
    EXPECT_EQ(a.className, b.className);
}

// Reads bytes and fails the test on a fatal error.
inline Movie readOk(const QByteArray& bytes, const ReadLimits& limits = {})
{
    try {
        return readMovie(bytes, limits);
    } catch (const ReadError& e) {
        ADD_FAILURE() << "unexpected read error: " << e.what();
        return {};
    }
}

} // namespace qev::swf::testsupport
