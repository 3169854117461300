#pragma once

// Helpers shared by the reader and writer tests: field-by-field checks for
// model types without operator==, and one-character movies.

#include <qev/swf/Reader.h>
#include <qev/swf/Writer.h>

#include <gtest/gtest.h>

namespace qev::swf::testsupport {

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
