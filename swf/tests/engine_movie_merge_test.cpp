// A loaded movie's characters join the playing movie's dictionary under
// ids the playing movie does not use, and every reference among them
// follows: placements, bitmap fills, fonts, button records and sounds,
// init actions, exported names. A reference to an id the loaded movie never
// defined points at nothing, never at a character of the playing movie.

#include "engine/MovieMerge.h"

#include <gtest/gtest.h>

namespace qev::swf::engine {
namespace {

Shape bitmapFilled(std::uint16_t bitmapId)
{
    Shape s;
    ShapeLayer layer;
    FillStyle f;
    f.kind = FillStyle::Kind::Bitmap;
    f.bitmapId = bitmapId;
    layer.fills.push_back(f);
    LineStyle l;
    l.fill = f;
    layer.lines.push_back(l);
    s.layers.push_back(layer);
    return s;
}

PlaceObject placing(std::uint16_t id, std::uint16_t depth)
{
    PlaceObject p;
    p.characterId = id;
    p.depth = depth;
    return p;
}

// The playing movie: characters 1 to 3.
Movie host()
{
    Movie m;
    m.dictionary.emplace(1, bitmapFilled(2));
    m.dictionary.emplace(2, Bitmap{});
    m.dictionary.emplace(3, Font{});
    m.exports.emplace(QStringLiteral("box"), 1);
    return m;
}

// The movie to load: its own characters 1 to 6 and sound 7, referring to
// one another, and to 40, which it never defines.
Movie loaded()
{
    Movie m;
    m.header.version = 7;
    m.dictionary.emplace(1, bitmapFilled(2));
    m.dictionary.emplace(2, Bitmap{});
    m.dictionary.emplace(3, Font{});
    Text text;
    text.records.push_back(TextRecord{});
    text.records.back().fontId = 3;
    m.dictionary.emplace(4, text);
    Button button;
    ButtonRecord record;
    record.characterId = 1;
    button.records.push_back(record);
    button.sounds[Button::PressSound] = ButtonSound{7, {}};
    m.dictionary.emplace(5, button);
    Sprite sprite;
    Frame frame;
    frame.tags.emplace_back(placing(4, 1));
    frame.tags.emplace_back(placing(40, 2));
    frame.sounds.push_back(StartSound{7, {}, {}});
    sprite.timeline.frames.push_back(frame);
    m.dictionary.emplace(6, sprite);
    m.sounds.emplace(7, Sound{});
    m.exports.emplace(QStringLiteral("box"), 6);
    Frame main;
    main.tags.emplace_back(placing(5, 1));
    main.tags.emplace_back(DoInitAction{6, QByteArray("init")});
    m.timeline.frames.push_back(main);
    return m;
}

TEST(MovieMerge, TheLoadedMoviesReferencesFollowItsCharactersToTheirNewIds)
{
    Movie playing = host();
    const auto merged = mergeMovie(playing, loaded());
    ASSERT_TRUE(merged);
    EXPECT_EQ(merged->version, 7);
    // The playing movie's own characters are untouched.
    EXPECT_EQ(std::get<Shape>(*playing.character(1)).layers[0].fills[0].bitmapId, 2);
    EXPECT_EQ(playing.exports.at(QStringLiteral("box")), 1);
    EXPECT_EQ(playing.dictionary.size(), 3u + 6u + 1u);
    EXPECT_EQ(playing.sounds.size(), 1u);

    // The loaded main timeline is a sprite: it places the button, whose
    // record shows the shape, whose fill is the loaded bitmap.
    const Sprite* root = playing.find<Sprite>(merged->rootSprite);
    ASSERT_TRUE(root);
    const Frame& first = root->timeline.frames.at(0);
    const Button* button = playing.find<Button>(*std::get<PlaceObject>(first.tags[0]).characterId);
    ASSERT_TRUE(button);
    const std::uint16_t shapeId = button->records.at(0).characterId;
    EXPECT_GT(shapeId, 3);
    const Shape* shape = playing.find<Shape>(shapeId);
    ASSERT_TRUE(shape);
    const std::uint16_t bitmapId = shape->layers[0].fills[0].bitmapId;
    EXPECT_TRUE(playing.find<Bitmap>(bitmapId));
    EXPECT_NE(bitmapId, 2);
    EXPECT_EQ(shape->layers[0].lines[0].fill->bitmapId, bitmapId);
    const std::uint16_t soundId = button->sounds[Button::PressSound]->soundId;
    EXPECT_TRUE(playing.sounds.contains(soundId));

    // The exported sprite: its init action, its text's font, its sound, and
    // the character it never defined.
    const std::uint16_t spriteId = merged->exports.at(QStringLiteral("box"));
    EXPECT_EQ(std::get<DoInitAction>(first.tags[1]).spriteId, spriteId);
    const Sprite* sprite = playing.find<Sprite>(spriteId);
    ASSERT_TRUE(sprite);
    const Frame& inner = sprite->timeline.frames.at(0);
    const Text* text = playing.find<Text>(*std::get<PlaceObject>(inner.tags[0]).characterId);
    ASSERT_TRUE(text);
    EXPECT_TRUE(playing.find<Font>(text->records[0].fontId));
    EXPECT_NE(text->records[0].fontId, 3);
    EXPECT_EQ(*std::get<PlaceObject>(inner.tags[1]).characterId, 0xFFFF);
    EXPECT_FALSE(playing.character(0xFFFF));
    EXPECT_EQ(inner.sounds.at(0).soundId, soundId);
}

TEST(MovieMerge, AMovieWithoutRoomForItsCharactersIsNotMerged)
{
    Movie playing;
    for (std::uint32_t id = 1; id < 0xFFFF - 3; ++id)
        playing.dictionary.emplace(std::uint16_t(id), Bitmap{});
    const std::size_t before = playing.dictionary.size();
    EXPECT_FALSE(mergeMovie(playing, loaded()));
    EXPECT_EQ(playing.dictionary.size(), before);
    EXPECT_TRUE(playing.sounds.empty());
}

} // namespace
} // namespace qev::swf::engine
