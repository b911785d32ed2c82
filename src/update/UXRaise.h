#pragma once

#include <QtGlobal>

#include <exception>
#include <utility>

// Calls an event handler when one is set. The transfer components raise their events from the
// event loop, where an escaping exception has nowhere sensible to go: it is logged and dropped.
template <class Fn, class... Args>
void RaiseEvent(const Fn& fn, Args&&... args) {
    if (!fn)
        return;
    try {
        fn(std::forward<Args>(args)...);
    } catch (const std::exception& e) {
        qWarning("event handler failed: %s", e.what());
    } catch (...) {
        qWarning("event handler failed");
    }
}
