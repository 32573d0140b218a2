#include "SpecialKeyTable.h"
