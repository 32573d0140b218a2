#pragma once

#include "x_harness.h"

/// The private X server of the direct-layer tests, started by their main.
extern e2e::XServer* server;
