#include "sheettext.h"
