#pragma once

#include <QPixmap>

namespace qev::player {

// The player's pictures, drawn from the SVG resources at their native size.
QPixmap windowIconPicture();   // 100 x 100
QPixmap toolbarStripPicture(); // 706 x 46

} // namespace qev::player
