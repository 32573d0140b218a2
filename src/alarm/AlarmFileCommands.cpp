#include "AlarmFileCommands.h"
