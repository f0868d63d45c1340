#pragma once
// The two questions TAVIFile asks when it opens a file for writing: which
// video compressor, and which stored audio format. The user interface answers
// them with its dialogs; tests answer them in code. The media layer itself
// never shows anything.

#include "media/avi/platform/avi_codecs.h"

#include <cstdint>
#include <vector>

class TAVIChooser {
public:
    virtual ~TAVIChooser() = default;
    // options arrive with the defaults (quality 7500, uncompressed); false
    // when the user cancels.
    virtual bool ChooseCompressor(TAVICompressorOptions& options) = 0;
    // source: the 16-bit PCM WAVEFORMATEX block to be stored; chosen receives
    // the WAVEFORMATEX block to store it as. False when the user cancels.
    virtual bool ChooseAudioFormat(const std::vector<uint8_t>& source, std::vector<uint8_t>& chosen) = 0;
};
