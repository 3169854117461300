#include "qev/FileLookup.h"
