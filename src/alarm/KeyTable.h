#pragma once

#include "state/AlarmFields.h"

#include <vector>

namespace kadrill::alarm {

/// The named keys the alarm dialog offers, in the order its key list shows them (409 rows).
///
/// Rows 0-35 are the base keys. Six blocks follow, one per modifier combination (Shift,
/// Ctrl, Alt, Ctrl+Shift, Alt+Shift, Ctrl+Alt), each holding the base keys and then the
/// letters A-Z with the combination's name and code prefix. Row 72, between the Shift
/// block's base keys and its letters, is empty. Every other code is accepted by
/// parseKeyCode and means the key its name says.
std::vector<state::SpecialKey> buildSpecialKeyTable();

} // namespace kadrill::alarm
