#include "FontConfigWarmUp.h"

#include <fontconfig/fontconfig.h>

namespace kadrill::platform::qt {

FontConfigWarmUp::FontConfigWarmUp() : thread_([] { (void)FcInit(); }) {}

FontConfigWarmUp::~FontConfigWarmUp() { wait(); }

void FontConfigWarmUp::wait() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

} // namespace kadrill::platform::qt
