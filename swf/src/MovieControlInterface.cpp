// Anchors the movie control interface in the engine library.
#include "qev/swf/MovieControl.h"
