#include "qev/Playlist.h"
