#include "trackwriter.h"
