#include "AlmFile.h"
