// The characters of a clip's static text (DefineText), for TextSnapshot:
// what each glyph stands for (its font's code table), where it stands and
// how it looks.

#include "engine/Timeline.h"

namespace qev::swf::engine {

std::vector<avm1::StaticChar> TimelineEngine::staticText(avm1::ClipObject* clip)
{
    std::vector<avm1::StaticChar> out;
    TimelineState* t;
    std::vector<int> path;
    Instance* inst;
    if (!locate(clip, t, path, inst))
        return out;
    const QTransform twipsToPixels = QTransform::fromScale(1 / 20.0, 1 / 20.0);
    for (const auto& [depth, child] : t->list) {
        const Text* text = movie_.find<Text>(child.characterId);
        if (!text)
            continue;
        // The text's twips to the clip's pixels.
        const QTransform m = text->matrix.toTransform() * child.matrix.toTransform() * twipsToPixels;
        bool first = true;
        Twips lineY = 0;
        for (const TextRecord& record : text->records) {
            const Font* font = movie_.find<Font>(record.fontId);
            const bool newLine = !first && record.y != lineY;
            lineY = record.y;
            double x = record.x;
            bool firstOfRecord = true;
            for (const GlyphEntry& g : record.glyphs) {
                const double advance = g.advance;
                const double left = x;
                x += advance;
                if (!font || g.index >= font->glyphs.size())
                    continue;
                avm1::StaticChar c;
                c.ch = QChar(font->glyphs[g.index].code);
                c.font = font->name;
                c.color = (std::uint32_t(record.color.r) << 16) | (std::uint32_t(record.color.g) << 8) | record.color.b;
                c.height = record.height / 20.0;
                c.matrix = QTransform::fromScale(20, 20) * m;
                // The box runs from the ascent to the descent of the line;
                // without the font's metrics, the height above the baseline.
                const double scale = record.height / font->emSquare();
                const double ascent = font->hasLayout ? font->ascent * scale : record.height;
                const double descent = font->hasLayout ? font->descent * scale : 0;
                c.corners[0] = m.map(QPointF(left, record.y - ascent));
                c.corners[1] = m.map(QPointF(left + advance, record.y - ascent));
                c.corners[2] = m.map(QPointF(left + advance, record.y + descent));
                c.corners[3] = m.map(QPointF(left, record.y + descent));
                c.startsLine = newLine && firstOfRecord;
                firstOfRecord = false;
                out.push_back(c);
            }
            first = false;
        }
    }
    return out;
}

} // namespace qev::swf::engine
