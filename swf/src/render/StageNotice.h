#pragma once

#include <QColor>
#include <QRectF>
#include <QString>

class QPainter;

namespace qev::swf::render {

// One short line of text across the middle of area, in a colour that reads
// on background; shrunk to fit the width. Tells the user why the stage
// stays empty, in place of a dialog.
void drawStageNotice(QPainter& painter, const QRectF& area, const QColor& background, const QString& line);

} // namespace qev::swf::render
