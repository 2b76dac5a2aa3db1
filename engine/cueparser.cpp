#include "cueparser.h"
