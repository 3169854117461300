#include "qev/CodePage.h"
