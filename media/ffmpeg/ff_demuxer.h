#pragma once
// One reader of an input file serving two consumers: packets of the stream
// that is not being asked for wait in that stream's queue, so video and audio
// can be read at different paces. Packets of other streams are dropped.

#include "media/ffmpeg/ff_handles.h"

#include <cstdint>
#include <optional>
#include <string>

// The earliest point worth seeking to in a file starting at startUs: a
// second before it, since program streams are searched by decoding times,
// which run ahead of the presentation start. A negative start (a broadcast
// clock that wrapped) is followed below 0; otherwise the floor is 0, where
// some demuxers (AVI) mislabel what they read after a seek before it.
int64_t LowestSeekPointUs(int64_t startUs);

class TFFDemuxer {
public:
    enum class TOpenResult { Opened, OpenFailed, InfoFailed };

    TOpenResult Open(const std::string& fileName);
    void Close();
    bool IsOpen() const { return m_input != nullptr; }
    AVFormatContext* Context() const { return m_input.get(); }

    // Stream indexes to serve; -1 for none. Changing them drops the queue of a
    // stream that is no longer served.
    void SetStreams(int videoIndex, int audioIndex);
    int VideoIndex() const { return m_videoIndex; }
    int AudioIndex() const { return m_audioIndex; }

    // The oldest packet of that stream: from its queue, else read from the
    // file. nullptr at the end of the input (or on a read error, which ends
    // the input as well). Throws AVFileErrorMemory when no packet record can
    // be had.
    TFFPacketPtr NextVideoPacket();
    TFFPacketPtr NextAudioPacket();
    bool AudioQueued() const { return !m_audioQueue.Empty(); }
    size_t QueuedPackets() const { return m_audioQueue.Size() + m_videoQueue.Size(); }

    void FlushQueues();
    // Repositions the reader at or before timeUs (AV_TIME_BASE units, the
    // file's own clock) and clears the end flag. False when the format refuses.
    bool SeekBackward(int64_t timeUs);
    // Repositions at the first packet of the file; false when it cannot.
    bool Rewind();
    // Timestamp (stream time base) just past the last packet of the stream,
    // read from the tail of the file, for streams that state no duration.
    // A packet without a duration counts frameDuration. The reader is back
    // at the start afterwards; nullopt when the file cannot seek, shows no
    // such packet or cannot be rewound.
    std::optional<int64_t> ScanStreamEnd(int streamIndex, int64_t frameDuration);
    // For files that state no duration at all: reads every packet from the
    // start (no decoding; about the cost of reading the file once), counting
    // those of the stream and the end of the last one that has a timestamp.
    // The reader is back at the start afterwards.
    struct TStreamScan {
        int64_t packets = 0;
        std::optional<int64_t> start; // earliest timestamp seen
        std::optional<int64_t> end;   // past the latest packet with a timestamp
    };
    TStreamScan ScanWholeStream(int streamIndex, int64_t frameDuration);

    // While a seek reads towards its target, audio that ends before the
    // target is of no use. Audio packets that end more than a short preroll
    // before timeUs (measured from the audio stream's start) are dropped;
    // for the first packet kept, AudioSkipFrames() tells how many decoded
    // sample frames precede timeUs. nullopt stops dropping.
    void DropAudioBefore(std::optional<int64_t> timeUs);
    int64_t TakeAudioSkipFrames();

private:
    enum class TWanted { Video, Audio };
    TFFPacketPtr Next(TWanted wanted);
    // Reads one packet; nullptr at the end of the input.
    TFFPacketPtr Read();
    // True when an audio packet is kept (queued) under the drop rule.
    bool KeepAudio(const AVPacket& packet);

    TFFInputPtr m_input;
    int m_videoIndex = -1;
    int m_audioIndex = -1;
    bool m_ended = false;
    TFFPacketQueue m_videoQueue;
    TFFPacketQueue m_audioQueue;
    std::optional<int64_t> m_dropAudioBeforeUs;
    int64_t m_audioSkipFrames = 0;
};
