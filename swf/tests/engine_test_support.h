#pragma once

// Helpers for the engine's tests: movies made with the SWF writer, played
// and drawn by the engine, and colours probed at stage points.

#include "qev/swf/Player.h"
#include "qev/swf/Writer.h"
#include "qev/swf/testsupport/MovieParts.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <cstdlib>

namespace qev::swf::testing {

// Loads bytes into a player; fails the test when they do not load.
inline void loadOrFail(Player& player, const QByteArray& bytes)
{
    const QString error = player.loadBytes(bytes);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
}

// The current frame drawn at the stage size (one image pixel per stage pixel).
inline QImage frameImage(const Player& player)
{
    return player.renderImage(player.stageSize());
}

// Colours match when every channel is within tolerance.
inline ::testing::AssertionResult colorNear(QRgb got, QRgb want, int tolerance = 6)
{
    const bool ok = std::abs(qRed(got) - qRed(want)) <= tolerance && std::abs(qGreen(got) - qGreen(want)) <= tolerance
        && std::abs(qBlue(got) - qBlue(want)) <= tolerance && std::abs(qAlpha(got) - qAlpha(want)) <= tolerance;
    if (ok)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << QColor::fromRgba(got).name(QColor::HexArgb).toStdString()
                                         << ", want " << QColor::fromRgba(want).name(QColor::HexArgb).toStdString();
}

inline QRgb pixel(const QImage& image, int x, int y)
{
    return image.pixel(x, y);
}

} // namespace qev::swf::testing
