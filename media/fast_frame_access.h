#pragma once
// What a backend may offer beyond TAVFile so that a window showing many
// cameras can keep up: a picture converted straight to the size it is shown
// at, and a cheap picture near a position while the user scrubs.
//
// Callers find it with dynamic_cast on the TAVFile; backends that do not
// offer it are read through TAVFile alone. Frame indexes are those of
// GetFrameAt; errors are those GetFrameAt and Seek raise.
//
// Threads: whichever thread uses the TAVFile at the time, one at a time.

#include <cstdint>

class TFastFrameAccess {
public:
    // Frame `index` as 4 bytes per pixel (blue, green, red, unused), rows top
    // to bottom, width x height with a stride of width x 4, converted and
    // scaled in one pass by picking the nearest source pixel (pixels are
    // dropped or repeated, as a stretch without smoothing does). It is the
    // same frame GetFrameAt(index) returns, and a GetFrameAt(index) that
    // follows gives the full-size picture without decoding again. The block
    // belongs to the file and stays valid until the next call of this
    // function or Close. The video position becomes index + 1.
    virtual const uint8_t* GetScaledFrameAt(int32_t index, int32_t width, int32_t height) = 0;

    // Moves to the key frame at or before `index`, decoding that picture
    // only, and returns its index; getting that frame next costs no more
    // decoding. Where no key frame can be found cheaply the move is an
    // exact seek to index, and index is returned.
    virtual int32_t SeekKeyFrame(int32_t index) = 0;

protected:
    ~TFastFrameAccess() = default;
};
