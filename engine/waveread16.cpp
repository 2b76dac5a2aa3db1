#include "waveread16.h"
