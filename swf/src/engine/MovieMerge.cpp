#include "engine/MovieMerge.h"

#include <vector>

namespace qev::swf::engine {

namespace {

// Old id -> new id. An id the loaded movie never defined becomes 0xFFFF,
// which no character holds (ids are handed out below it), so a dangling
// reference stays dangling instead of meeting a character of the host.
class Renumbering {
public:
    std::map<std::uint16_t, std::uint16_t> ids;

    std::uint16_t operator()(std::uint16_t id) const
    {
        auto it = ids.find(id);
        return it == ids.end() ? kNone : it->second;
    }
    void fill(FillStyle& f) const
    {
        if (f.kind == FillStyle::Kind::Bitmap)
            f.bitmapId = (*this)(f.bitmapId);
    }
    void line(LineStyle& l) const
    {
        if (l.fill)
            fill(*l.fill);
    }
    void timeline(Timeline& t) const
    {
        for (Frame& frame : t.frames) {
            for (ControlTag& tag : frame.tags) {
                if (auto* p = std::get_if<PlaceObject>(&tag)) {
                    if (p->characterId)
                        p->characterId = (*this)(*p->characterId);
                } else if (auto* r = std::get_if<RemoveObject>(&tag)) {
                    if (r->characterId)
                        r->characterId = (*this)(*r->characterId);
                } else if (auto* init = std::get_if<DoInitAction>(&tag)) {
                    init->spriteId = (*this)(init->spriteId);
                }
            }
            for (StartSound& s : frame.sounds)
                if (s.className.isEmpty())
                    s.soundId = (*this)(s.soundId);
        }
    }
    void character(Character& c) const
    {
        if (auto* shape = std::get_if<Shape>(&c)) {
            for (ShapeLayer& layer : shape->layers) {
                for (FillStyle& f : layer.fills)
                    fill(f);
                for (LineStyle& l : layer.lines)
                    line(l);
            }
        } else if (auto* morph = std::get_if<MorphShape>(&c)) {
            for (MorphFillStyle& f : morph->fills) {
                fill(f.start);
                fill(f.end);
            }
            for (MorphLineStyle& l : morph->lines) {
                line(l.start);
                line(l.end);
            }
        } else if (auto* text = std::get_if<Text>(&c)) {
            for (TextRecord& r : text->records)
                r.fontId = (*this)(r.fontId);
        } else if (auto* edit = std::get_if<EditText>(&c)) {
            if (edit->fontId != 0)
                edit->fontId = (*this)(edit->fontId);
        } else if (auto* button = std::get_if<Button>(&c)) {
            for (ButtonRecord& r : button->records)
                r.characterId = (*this)(r.characterId);
            for (auto& s : button->sounds)
                if (s)
                    s->soundId = (*this)(s->soundId);
        } else if (auto* sprite = std::get_if<Sprite>(&c)) {
            timeline(sprite->timeline);
        }
    }

    static constexpr std::uint16_t kNone = 0xFFFF;
};

} // namespace

std::optional<MergedMovie> mergeMovie(Movie& host, Movie&& loaded)
{
    // Characters and sounds share one id space in a movie.
    std::vector<std::uint16_t> wanted;
    for (const auto& [id, c] : loaded.dictionary)
        wanted.push_back(id);
    for (const auto& [id, s] : loaded.sounds)
        if (!loaded.dictionary.contains(id))
            wanted.push_back(id);
    Renumbering renumber;
    std::vector<std::uint16_t> free;
    for (std::uint32_t id = Renumbering::kNone - 1; id > 0 && free.size() < wanted.size() + 1; --id)
        if (!host.dictionary.contains(std::uint16_t(id)) && !host.sounds.contains(std::uint16_t(id)))
            free.push_back(std::uint16_t(id));
    if (free.size() < wanted.size() + 1)
        return std::nullopt;
    for (std::size_t i = 0; i < wanted.size(); ++i)
        renumber.ids[wanted[i]] = free[i];

    MergedMovie merged;
    merged.rootSprite = free[wanted.size()];
    merged.version = loaded.header.version;
    for (auto& [id, c] : loaded.dictionary) {
        renumber.character(c);
        host.dictionary.emplace(renumber(id), std::move(c));
    }
    for (auto& [id, s] : loaded.sounds)
        host.sounds.emplace(renumber(id), std::move(s));
    for (const auto& [name, id] : loaded.exports)
        merged.exports.emplace(name, renumber(id));
    Sprite root;
    root.declaredFrameCount = loaded.header.frameCount;
    root.timeline = std::move(loaded.timeline);
    renumber.timeline(root.timeline);
    host.dictionary.emplace(merged.rootSprite, Sprite{std::move(root)});
    return merged;
}

} // namespace qev::swf::engine
