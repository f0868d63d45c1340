#pragma once
// A capture host that keeps a timeline of its own from the calls it gets, so
// tests can check that the timeline follows the event list.

#include "capture/recording.h"

#include <algorithm>
#include <vector>

class TFakeCaptureHost : public TCaptureHost {
public:
    void EventListChanged() override { ++EventListRefreshes; }
    void TitleListChanged() override { ++TitleListRefreshes; }
    void AddEventToTimeline(const TEvent& event) override { Timeline.push_back(&event); }
    void RemoveEventFromTimeline(const TEvent& event) override {
        const auto found = std::find(Timeline.begin(), Timeline.end(), &event);
        if (found == Timeline.end())
            ++RemovalsOfUnknownEvents;
        else
            Timeline.erase(found);
    }
    void ClearTimeline() override { Timeline.clear(); }
    void RepaintTimeline() override { ++TimelineRepaints; }
    bool IsDrawOn() const override { return IsDraw; }
    void RepaintAll() override { ++VideoRepaints; }

    // The project's events, all of them, in the timeline's (any) order.
    bool TimelineMatches(const TEvents& events) const {
        if (Timeline.size() != events.Count())
            return false;
        return std::all_of(events.begin(), events.end(), [this](const auto& event) {
            return std::find(Timeline.begin(), Timeline.end(), event.get()) != Timeline.end();
        });
    }

    bool IsDraw = true;
    int EventListRefreshes = 0;
    int TitleListRefreshes = 0;
    int TimelineRepaints = 0;
    int VideoRepaints = 0;
    int RemovalsOfUnknownEvents = 0;
    std::vector<const TEvent*> Timeline;
};
