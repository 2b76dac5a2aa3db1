#include "unpackcue.h"
