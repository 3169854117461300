#pragma once

// The movie model in one include.

#include <qev/swf/model/Bitmap.h>
#include <qev/swf/model/Button.h>
#include <qev/swf/model/Filters.h>
#include <qev/swf/model/Geometry.h>
#include <qev/swf/model/Movie.h>
#include <qev/swf/model/Shape.h>
#include <qev/swf/model/Sound.h>
#include <qev/swf/model/Styles.h>
#include <qev/swf/model/Text.h>
#include <qev/swf/model/Timeline.h>
#include <qev/swf/model/Video.h>
