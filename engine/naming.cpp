#include "naming.h"
