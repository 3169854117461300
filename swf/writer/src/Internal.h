#pragma once

#include <qev/swf/Writer.h>

namespace qev::swf::writer {

QByteArray zlibForWriter(const QByteArray& in);
// Shape records (fill bits, line bits, records, end) of layers; the first
// layer's styles are not written here. glyph: one style, no lines.
void writeShapeRecords(BitWriter& w, const std::vector<ShapeLayer>& layers, int version, bool glyph);

} // namespace qev::swf::writer
