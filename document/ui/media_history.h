#pragma once
// TMediaHistory: applies the media changes of the project's history and
// journal to the main window's media set (Undo, Redo and replay), and turns
// the Media menu's commands into such changes.
//
// Changes name media by their place in the set as it was when they were
// made. A medium that no longer opens when a change brings it back (Redo of
// an Add, Undo of a Remove, a replayed journal) is reported once with the
// message Open gives and left out; its place is kept here, so the changes
// after it still reach the media they were made on, and changes to it alone
// touch only that kept record. A project reset forgets the kept places.
//
// Owned by the main window. Threads: the UI thread.

#include "model/project_change.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class TFormMain;

class TMediaHistory final : public TMediaChangeHandler {
public:
    explicit TMediaHistory(TFormMain& form) : m_form(form) {}

    // The Media menu's commands as changes of the project (undo steps,
    // journalled). index: the medium's index in the media set.
    // Added: the medium at index was just opened by the user.
    void Added(int32_t index);
    void Remove(int32_t index);
    void SetCamera(int32_t index, int32_t camera);
    void SetOffset(int32_t index, int32_t offsetMs);
    // The media set was emptied with the project.
    void Reset() { m_leftOut.clear(); }

    // TMediaChangeHandler
    void CheckMediaChange(const TProjectChange& change) const override;
    void DoMediaChange(TProjectChange& change) override;
    void RevertMediaChange(TProjectChange& change) override;

private:
    struct TLeftOut {
        std::size_t Place; // among opened and left-out media
        TMediumRecord Medium;
    };

    std::size_t PlaceOf(int32_t index) const;
    std::size_t PlaceCount() const;
    // The kept record at place, or null when a window holds that medium.
    TLeftOut* LeftOutAt(std::size_t place);
    int32_t IndexAt(std::size_t place) const;
    void Shift(std::size_t from, int delta);
    TMediumRecord Take(std::size_t place);
    void Bring(std::size_t place, const TMediumRecord& medium);
    void SetValue(TProjectChange& change, bool isUndo);

    TFormMain& m_form;
    std::vector<TLeftOut> m_leftOut; // ordered by Place
};
