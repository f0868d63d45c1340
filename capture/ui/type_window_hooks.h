#pragma once
// What the event type list and the group list ask of the main window. A hook
// left empty falls back to the window's own part of the work (refreshing its
// own list, removing a type from the project, running a handler directly),
// which is what a window needs when it runs alone.
//
// Threads: the UI thread.

#include <cstdint>
#include <functional>

struct TTypeWindowHooks {
    // Runs a button's handler through the application's error handler.
    std::function<void(const std::function<void()>&)> Execute;
    // After every change of the types or groups: the type list, the group
    // list, the event commands and their buttons.
    std::function<void()> RefreshTypeList;
    // After a type or group changed in place: the event list and the
    // timeline show the change.
    std::function<void()> RefreshEventViews;
    // Removes a type with its events, which leave the event list and the
    // timeline at once, then refreshes like RefreshTypeList.
    std::function<void(int32_t typeIndex)> DeleteEventType;

    // A button's handler, through Execute when there is one.
    void Run(const std::function<void()>& handler) const {
        if (Execute)
            Execute(handler);
        else
            handler();
    }
};
