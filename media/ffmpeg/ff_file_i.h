#pragma once
// The library state behind a TFFFile (kept out of ff_file.h so that users of
// the backend do not see FFmpeg headers).

#include "media/ffmpeg/ff_audio_decoder.h"
#include "media/ffmpeg/ff_convert.h"
#include "media/ffmpeg/ff_demuxer.h"
#include "media/ffmpeg/ff_video_decoder.h"
#include "media/ffmpeg/ff_writer.h"

#include <cstdint>
#include <optional>
#include <vector>

class TFFFileI {
public:
    // Reading: the demuxer holds the input context, the two stream indexes
    // and the two packet queues.
    TFFDemuxer demuxer;
    TFFVideoDecoder video;
    TFFAudioDecoder audio;
    TFFPictureConverter pictureConverter;
    // The block GetAudio returns; kept for the whole open so steady reading
    // does not allocate.
    TFFSampleBuffer audioChunk;
    AVRational videoTimeBase{1, 1};
    // Best-effort timestamp of frame 0; pictures are identified against it.
    std::optional<int64_t> firstVideoTimestamp;
    // False when the stream's clock is broken (an absurd frame rate whose
    // timestamps do not advance a frame per picture at the rate we use):
    // seeks then count pictures from the start.
    bool timestampsTrusted = true;
    // Where the audio stream's last packet ends (stream time base), for
    // containers that state no duration per stream.
    std::optional<int64_t> audioStreamEnd;
    // The picture on screen at the frame last reached in file order (held
    // by reference), its frame index, and whether the frame buffer holds it.
    TFFFramePtr shown;
    int64_t shownIndex = -1;
    bool bufferHoldsShown = false;
    // The current frame (the one GetFrameAt returned or would return
    // without decoding) is the held picture, or black. When neither, the
    // frame buffer holds it and the held picture has moved on (skipping).
    bool currentIsShown = false;
    bool currentIsBlack = false;
    // The current frame at a window's size, nearest pixel; valid while
    // scaledHoldsCurrent.
    TFFPictureConverter scaledConverter{SWS_POINT};
    std::vector<uint8_t> scaledBuffer;
    int scaledWidth = 0;
    int scaledHeight = 0;
    bool scaledHoldsCurrent = false;

    // Writing.
    TFFWriter writer;
};
