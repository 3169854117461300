#include "qev/Paths.h"
