// The entry of the kadrill-sound module: the program loads it when a sound is first opened.
#include "SdlMediaControl.h"

#include <QtGlobal>

#include <functional>

extern "C" Q_DECL_EXPORT kadrill::platform::MediaControl* kadrill_sound_create(const std::function<void()>* ended) {
    return new kadrill::platform::sdl::SdlMediaControl(
        [ended = *ended](const kadrill::platform::Event<>&) { ended(); });
}
