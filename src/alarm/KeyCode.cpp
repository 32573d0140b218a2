#include "KeyCode.h"
