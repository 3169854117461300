#include "qev/FileError.h"
