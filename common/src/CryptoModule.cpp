#include "qev/CryptoModule.h"
