#pragma once

#include <QObject>
#include <QThread>
#include <QTimer>

#include <functional>
#include <utility>

namespace kadrill::platform::qt {

/// Whether an event loop runs inside another on this thread: a drag of selected text, a
/// modal box, a wait of the program's own. Whatever started the inner loop has code on the
/// stack beneath it, which must find its objects alive when the loop ends.
inline bool innerLoopRuns() { return QThread::currentThread()->loopLevel() > 1; }

/// Runs `function` from the event loop once no inner loop runs; dropped if `context` goes
/// first. Meanwhile it is looked at again now and then, not at every turn of the inner loop.
inline void runAtOutermostLoop(QObject* context, std::function<void()> function) {
    QTimer::singleShot(innerLoopRuns() ? 50 : 0, context, [context, function = std::move(function)]() mutable {
        if (innerLoopRuns()) {
            runAtOutermostLoop(context, std::move(function));
        } else {
            function();
        }
    });
}

} // namespace kadrill::platform::qt
