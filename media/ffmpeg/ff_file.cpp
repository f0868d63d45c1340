#include "media/ffmpeg/ff_file.h"

#include "media/ffmpeg/ff_file_i.h"

extern "C" {
#include <libavutil/mathematics.h>
}

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Frame sizes beyond this are damaged headers, not pictures we can show.
constexpr int MaxFrameSide = 16384;
// Initial size of the block GetAudio returns (the size of the old decoding
// buffer); it grows when a call gathers more.
constexpr size_t AudioChunkBytes = 288000;

bool IsSaneRate(AVRational rate) {
    if (rate.num <= 0 || rate.den <= 0)
        return false;
    const double perSecond = av_q2d(rate);
    return perSecond >= 1.0 / 60 && perSecond <= 1000;
}

// The nominal rate of a variable-rate file is mostly not stated; its
// average, when close to a common rate, stands for that rate.
AVRational CommonRateNear(AVRational average) {
    const AVRational common[] = {{24000, 1001}, {24, 1}, {25, 1},       {30000, 1001}, {30, 1},
                                 {48, 1},       {50, 1}, {60000, 1001}, {60, 1},       {120, 1}};
    AVRational best = average;
    double bestDistance = 0.05;
    for (AVRational rate : common) {
        const double distance = std::abs(av_q2d(average) / av_q2d(rate) - 1);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = rate;
        }
    }
    return best;
}

// The stream's real frame rate, else its average, else what the decoder
// knows, else 25: a zero or absurd rate would make every index meaningless.
// A "real" rate far above the average is the time base showing through (a
// variable-rate file): the decoder's rate, else the average, is nominal then.
AVRational ChooseFrameRate(const AVStream* stream, const AVCodecContext* codec) {
    const AVRational average = stream->avg_frame_rate;
    const auto farAboveAverage = [&](AVRational rate) {
        return IsSaneRate(average) && av_q2d(rate) > 1.9 * av_q2d(average);
    };
    if (IsSaneRate(stream->r_frame_rate) && !farAboveAverage(stream->r_frame_rate))
        return stream->r_frame_rate;
    if (IsSaneRate(codec->framerate) && !farAboveAverage(codec->framerate))
        return codec->framerate;
    if (IsSaneRate(average))
        return CommonRateNear(average);
    for (AVRational rate : {stream->r_frame_rate, codec->framerate})
        if (IsSaneRate(rate))
            return rate;
    return AVRational{25, 1};
}

// A BMP of a numbered sequence is read by its demuxer as a one-picture
// video; it belongs to the image sequence backend, which later in the
// default order reads the whole sequence. Other still pictures (PNG, JPEG)
// that backend cannot read are one-frame media here.
bool IsSequenceImage(const AVFormatContext* input) {
    const std::string name = input->iformat->name;
    const bool still =
        name == "image2" || (name.size() > 5 && name.compare(name.size() - 5, 5, "_pipe") == 0);
    if (!still)
        return false;
    for (unsigned i = 0; i < input->nb_streams; ++i)
        if (input->streams[i]->codecpar->codec_id == AV_CODEC_ID_BMP)
            return true;
    return false;
}

int32_t ClampCount(int64_t count) {
    return static_cast<int32_t>(std::clamp<int64_t>(count, 0, std::numeric_limits<int32_t>::max() - 1));
}

} // namespace

TFFFile::TFFFile() : m_context(std::make_unique<TFFFileI>()) {
    for (const char* extension : {"avi", "mpg", "mpeg", "wav", "mp3"})
        AddExtension(extension);
    m_description = "FFmpeg file input and output";
    m_capabilities = CapGetFrameAt;
    m_flags = FlagInterleaved;
}

TFFFile::~TFFFile() {
    Close();
}

void TFFFile::Open(const std::string& fileName, int32_t mode, int32_t streams, bool raiseErrors) {
    Close();
    if (mode == ModeRead)
        OpenRead(fileName, streams, raiseErrors);
    else if (mode == ModeWrite)
        OpenWrite(fileName, streams, raiseErrors);
    if (raiseErrors)
        CheckOpenResult(mode, streams);
}

void TFFFile::OpenRead(const std::string& fileName, int32_t streams, bool raiseErrors) {
    if (!(streams & (StreamVideo | StreamAudio)))
        return;
    TFFFileI& context = *m_context;
    TFFDemuxer::TOpenResult opened = context.demuxer.Open(fileName);
    if (opened == TFFDemuxer::TOpenResult::Opened && IsSequenceImage(context.demuxer.Context()))
        opened = TFFDemuxer::TOpenResult::OpenFailed;
    if (opened != TFFDemuxer::TOpenResult::Opened) {
        const char* message =
            opened == TFFDemuxer::TOpenResult::OpenFailed ? "Could not open file!" : "Could not find info!";
        Close();
        if (raiseErrors)
            throw AVFileErrorOpenVideo(message);
        return;
    }

    // The first stream of each kind; cover art of audio files is not video.
    const AVFormatContext* input = context.demuxer.Context();
    int videoIndex = -1;
    int audioIndex = -1;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* stream = input->streams[i];
        const AVMediaType type = stream->codecpar->codec_type;
        if (type == AVMEDIA_TYPE_VIDEO && videoIndex < 0 && (streams & StreamVideo) &&
            !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
            videoIndex = static_cast<int>(i);
        if (type == AVMEDIA_TYPE_AUDIO && audioIndex < 0 && (streams & StreamAudio))
            audioIndex = static_cast<int>(i);
    }
    context.demuxer.SetStreams(videoIndex, audioIndex);
    // Measured before any decoding starts: the scan moves the reader.
    context.audioStreamEnd.reset();
    if (audioIndex >= 0 &&
        (input->streams[audioIndex]->duration == AV_NOPTS_VALUE || input->streams[audioIndex]->duration <= 0))
        context.audioStreamEnd = context.demuxer.ScanStreamEnd(audioIndex, 0);

    if (streams & StreamVideo) {
        const std::string failure = OpenVideoStream();
        if (!failure.empty()) {
            context.video.Close();
            context.demuxer.SetStreams(-1, context.demuxer.AudioIndex());
            if (raiseErrors) {
                Close();
                throw AVFileErrorOpenVideo(failure);
            }
        }
    }
    if (streams & StreamAudio) {
        const std::string failure = OpenAudioStream();
        if (!failure.empty()) {
            context.audio.Close();
            context.demuxer.SetStreams(context.demuxer.VideoIndex(), -1);
            if (raiseErrors) {
                Close();
                throw AVFileErrorOpenAudio(failure);
            }
        }
    }
    if (m_mode != ModeRead)
        context.demuxer.Close();
}

std::string TFFFile::OpenVideoStream() {
    TFFFileI& context = *m_context;
    const int index = context.demuxer.VideoIndex();
    if (index < 0)
        return "Could not find video stream!";
    AVFormatContext* input = context.demuxer.Context();
    const AVStream* stream = input->streams[index];
    if (!context.video.Open(stream, m_decoderThreads))
        return "Could not open video decoder!";
    const AVCodecContext* codec = context.video.Codec();
    if (codec->width <= 0 || codec->height <= 0 || codec->width > MaxFrameSide ||
        codec->height > MaxFrameSide)
        return "Could not allocate frame buffer!";
    m_lastDecodedIndex = -1;
    m_nextDecodeIndex = 0;
    m_videoPosition = 0;
    m_width = codec->width;
    m_height = codec->height;
    const bool rateFromStream = IsSaneRate(stream->r_frame_rate);
    const AVRational rate = ChooseFrameRate(stream, codec);
    m_rate = static_cast<uint32_t>(rate.num);
    m_scale = static_cast<uint32_t>(rate.den);
    context.videoTimeBase = stream->time_base;

    const AVRational timeBase = stream->time_base;
    const int64_t perFrame = int64_t{timeBase.num} * rate.num; // time base units x frames, per second
    const int64_t perSecond = int64_t{timeBase.den} * rate.den;
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        m_videoLength = ClampCount(av_rescale_rnd(stream->duration, perFrame, perSecond, AV_ROUND_DOWN));
    } else {
        // No duration in the stream (Matroska, for one): measure where its
        // last packet ends, else take the container's duration.
        const int64_t frameDuration = av_rescale_rnd(1, perSecond, perFrame, AV_ROUND_NEAR_INF);
        const std::optional<int64_t> end = context.demuxer.ScanStreamEnd(index, frameDuration);
        const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
        if (end)
            m_videoLength = ClampCount(av_rescale_rnd(*end - start, perFrame, perSecond, AV_ROUND_NEAR_INF));
        else if (input->duration != AV_NOPTS_VALUE)
            m_videoLength = ClampCount(
                av_rescale_rnd(input->duration, rate.num, int64_t{rate.den} * AV_TIME_BASE, AV_ROUND_DOWN));
        else
            m_videoLength = ScannedVideoLength(index, frameDuration, perFrame, perSecond);
    }

    m_frameBuffer = static_cast<uint8_t*>(AllocBuffer(FrameBytes()));
    if (m_frameBuffer == nullptr)
        return "Could not allocate frame buffer!";
    m_mode = ModeRead;
    m_streams |= StreamVideo;
    if (DecodeNextVideoFrame(false) == TDecodeResult::Picture)
        m_lastDecodedIndex = 0;
    m_nextDecodeIndex = 1;
    context.timestampsTrusted = true;
    CheckTimestamps(rateFromStream, stream->nb_frames);
    return {};
}

int32_t TFFFile::ScannedVideoLength(int index, int64_t frameDuration, int64_t perFrame, int64_t perSecond) {
    // Nothing states a duration (an elementary stream in a bare program
    // stream): without a length such a file could neither play nor be
    // positioned, so its packets are counted once.
    const TFFDemuxer::TStreamScan scan = m_context->demuxer.ScanWholeStream(index, frameDuration);
    int64_t frames = scan.packets;
    if (scan.start && scan.end)
        frames =
            std::max(frames, av_rescale_rnd(*scan.end - *scan.start, perFrame, perSecond, AV_ROUND_NEAR_INF));
    return ClampCount(frames);
}

void TFFFile::CheckTimestamps(bool rateFromStream, int64_t statedFrames) {
    // Pictures are found by their timestamps, which is only sound when the
    // stream's clock advances with its pictures at the rate we use. A clock
    // that does not advance a frame from one picture to the next (or one
    // that came with an absurd rate and does not advance exactly one frame)
    // is broken: seeks then count pictures, and its duration, in the same
    // broken clock, gives way to a stated frame count.
    TFFFileI& context = *m_context;
    const AVFrame* second = context.video.HasMore(context.demuxer, m_parameters.Deinterlace)
                                ? context.video.PeekPending()
                                : nullptr;
    bool consistent = rateFromStream;
    if (context.firstVideoTimestamp && second != nullptr && second->best_effort_timestamp != AV_NOPTS_VALUE) {
        const int64_t index = PictureIndex(second->best_effort_timestamp);
        consistent = rateFromStream ? index >= 1 : index == 1;
    }
    if (consistent)
        return;
    context.timestampsTrusted = false;
    if (statedFrames > 0)
        m_videoLength = ClampCount(statedFrames);
}

std::string TFFFile::OpenAudioStream() {
    TFFFileI& context = *m_context;
    const int index = context.demuxer.AudioIndex();
    if (index < 0)
        return "Could not find audio stream!";
    AVFormatContext* input = context.demuxer.Context();
    const AVStream* stream = input->streams[index];
    if (!context.audio.Open(stream))
        return "Could not open audio decoder!";
    if (!context.audioChunk.Reserve(AudioChunkBytes))
        return "Could not allocate audio buffer!";
    m_audioPosition = 0;
    m_channels = context.audio.Channels();
    m_samplesPerSecond = context.audio.SampleRate();
    m_bytesPerSampleFrame = m_channels * 2;
    const AVRational timeBase = stream->time_base;
    const int64_t perSample = int64_t{m_samplesPerSecond} * timeBase.num;
    const std::optional<int64_t> end = context.audioStreamEnd;
    const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        m_audioLength = ClampCount(av_rescale_rnd(stream->duration, perSample, timeBase.den, AV_ROUND_DOWN));
    } else if (end && *end > start) {
        // The stream's own end (Matroska states only the container's
        // duration, which runs to its longest stream and rounds up).
        m_audioLength = ClampCount(av_rescale_rnd(*end - start, perSample, timeBase.den, AV_ROUND_NEAR_INF));
    } else if (input->duration != AV_NOPTS_VALUE && input->duration > 0) {
        // The container's duration runs from its earliest stream; audio that
        // starts later is that much shorter.
        int64_t durationUs = input->duration;
        if (stream->start_time != AV_NOPTS_VALUE && input->start_time != AV_NOPTS_VALUE)
            durationUs -=
                av_rescale_q(stream->start_time, timeBase, AVRational{1, AV_TIME_BASE}) - input->start_time;
        m_audioLength =
            ClampCount(av_rescale_rnd(durationUs, m_samplesPerSecond, AV_TIME_BASE, AV_ROUND_DOWN));
    } else {
        m_audioLength = 0;
    }
    m_mode = ModeRead;
    m_streams |= StreamAudio;
    return {};
}

void TFFFile::OpenWrite(const std::string& fileName, int32_t streams, bool raiseErrors) {
    TFFWriter::TSettings settings;
    settings.width = m_width;
    settings.height = m_height;
    settings.rate = m_rate;
    settings.scale = m_scale;
    settings.channels = m_channels;
    settings.samplesPerSecond = m_samplesPerSecond;
    settings.parameters = m_parameters;
    settings.wantVideo = (streams & StreamVideo) != 0;
    settings.wantAudio = (streams & StreamAudio) != 0;
    if (m_width <= 0 || m_height <= 0 || m_width > MaxFrameSide || m_height > MaxFrameSide || m_rate == 0 ||
        m_scale == 0 || m_rate > static_cast<uint32_t>(std::numeric_limits<int>::max()) ||
        m_scale > static_cast<uint32_t>(std::numeric_limits<int>::max()))
        settings.wantVideo = false;
    const std::string failure = m_context->writer.Open(fileName, settings);
    if (!failure.empty()) {
        Close();
        if (raiseErrors)
            throw AVFileErrorOpenVideo(failure);
        return;
    }
    m_videoPosition = 0;
    m_audioPosition = 0;
    m_videoLength = 0;
    m_audioLength = 0;
    m_bytesPerSampleFrame = m_channels * 2;
    m_mode = ModeWrite;
    if (m_context->writer.HasVideo())
        m_streams |= StreamVideo;
    if (m_context->writer.HasAudio())
        m_streams |= StreamAudio;
}

void TFFFile::Close() {
    TFFFileI& context = *m_context;
    context.video.Close();
    context.audio.Close();
    context.demuxer.Close();
    context.pictureConverter.Reset();
    context.scaledConverter.Reset();
    context.scaledBuffer = {};
    context.currentIsBlack = false;
    context.audioChunk.Release();
    // A failed flush cannot be reported from here (Close also runs in the
    // destructor); what could be written is in the file.
    context.writer.Close();
    FreeBuffer(m_frameBuffer);
    m_frameBuffer = nullptr;
    context.firstVideoTimestamp.reset();
    ForgetShown();
    m_lastDecodedIndex = -1;
    m_nextDecodeIndex = -1;
    m_videoLength = 0;
    m_audioLength = 0;
    TAVFile::Close();
}

int32_t TFFFile::GetVideoLength() {
    RequireOpened();
    RequireVideo();
    return m_videoLength;
}

int32_t TFFFile::GetAudioLength() {
    RequireOpened();
    RequireAudio();
    return m_audioLength;
}

int32_t TFFFile::SetVideoPosition(int32_t index) {
    RequireOpened();
    RequireVideo();
    Seek(index);
    return index;
}

int32_t TFFFile::SetAudioPosition(int32_t position) {
    RequireOpened();
    RequireAudio();
    if (m_mode == ModeRead && !(m_streams & StreamVideo)) {
        // To the sample, not to the millisecond the default frame rate gives.
        m_context->demuxer.FlushQueues();
        SeekAudioOnly(av_rescale(position, AV_TIME_BASE, m_samplesPerSecond));
        m_audioPosition = position;
        return m_audioPosition;
    }
    Seek(static_cast<int32_t>(
        av_rescale_rnd(position, m_rate, int64_t{m_samplesPerSecond} * m_scale, AV_ROUND_DOWN)));
    return m_audioPosition;
}

int32_t TFFFile::GetAudioOffset() {
    RequireOpened();
    RequireReading();
    if ((m_streams & (StreamVideo | StreamAudio)) != (StreamVideo | StreamAudio))
        return 0;
    const AVFormatContext* input = m_context->demuxer.Context();
    const AVStream* audio = input->streams[m_context->demuxer.AudioIndex()];
    const AVStream* video = input->streams[m_context->demuxer.VideoIndex()];
    const int64_t audioStart = audio->start_time != AV_NOPTS_VALUE ? audio->start_time : 0;
    int64_t videoStart = video->start_time;
    if (videoStart == AV_NOPTS_VALUE)
        videoStart = m_context->firstVideoTimestamp.value_or(0);
    const int64_t audioMs = audioStart * audio->time_base.num * 1000 / audio->time_base.den;
    const int64_t videoMs = videoStart * video->time_base.num * 1000 / video->time_base.den;
    return static_cast<int32_t>(audioMs - videoMs);
}

void TFFFile::PutFrame(const uint8_t* frame) {
    RequireWriting();
    RequireVideo();
    m_context->writer.PutFrame(frame);
    ++m_videoPosition;
    m_videoLength = std::max(m_videoLength, m_videoPosition);
}

void TFFFile::PutAudio(const uint8_t* samples, int32_t byteCount) {
    RequireWriting();
    RequireAudio();
    if (byteCount <= 0)
        return;
    m_context->writer.PutAudio(samples, byteCount);
    m_audioPosition += byteCount / m_bytesPerSampleFrame;
}
