#include "media/ffmpeg/ff_writer.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <cstring>

namespace {

// Frame size of encoders that take any number of samples (PCM): a fixed
// block of this many bytes, half of it for 16-bit PCM.
constexpr int PcmInputBytes = 768000;

const AVCodec* FindEncoder(const std::string& name, AVMediaType type, AVCodecID fallback) {
    if (!name.empty()) {
        const AVCodec* named = avcodec_find_encoder_by_name(name.c_str());
        if (named != nullptr && named->type == type)
            return named;
    }
    return avcodec_find_encoder(fallback);
}

bool IsPcm16(AVCodecID id) {
    return id == AV_CODEC_ID_PCM_S16LE || id == AV_CODEC_ID_PCM_S16BE || id == AV_CODEC_ID_PCM_U16LE ||
           id == AV_CODEC_ID_PCM_U16BE;
}

// 4:2:0 (full-range for encoders such as MJPEG that list that first), else
// the encoder's nearest supported format.
AVPixelFormat ChoosePixelFormat(const AVCodec* encoder) {
    if (encoder->pix_fmts == nullptr)
        return AV_PIX_FMT_YUV420P;
    for (const AVPixelFormat* format = encoder->pix_fmts; *format != AV_PIX_FMT_NONE; ++format)
        if (*format == AV_PIX_FMT_YUV420P || *format == AV_PIX_FMT_YUVJ420P)
            return *format;
    return avcodec_find_best_pix_fmt_of_list(encoder->pix_fmts, AV_PIX_FMT_YUV420P, 0, nullptr);
}

AVSampleFormat ChooseSampleFormat(const AVCodec* encoder) {
    if (encoder->sample_fmts == nullptr)
        return AV_SAMPLE_FMT_S16;
    for (const AVSampleFormat* format = encoder->sample_fmts; *format != AV_SAMPLE_FMT_NONE; ++format)
        if (*format == AV_SAMPLE_FMT_S16)
            return *format;
    return encoder->sample_fmts[0];
}

// The container keeps the "DIVX" tag only where its tag table knows it;
// elsewhere (MP4, Matroska) the muxer would refuse the stream.
bool AcceptsTag(const AVOutputFormat* format, AVCodecID id, uint32_t tag) {
    if (format->codec_tag == nullptr)
        return false;
    return av_codec_get_id(format->codec_tag, tag) == id;
}

} // namespace

void TFFFramePool::Configure(const AVFrame& model) {
    Clear();
    m_model.reset(av_frame_alloc());
    if (m_model) {
        m_model->format = model.format;
        m_model->width = model.width;
        m_model->height = model.height;
        m_model->nb_samples = model.nb_samples;
        m_model->sample_rate = model.sample_rate;
        av_channel_layout_copy(&m_model->ch_layout, &model.ch_layout);
    }
}

AVFrame* TFFFramePool::Get() {
    for (TFFFramePtr& frame : m_frames)
        if (av_frame_is_writable(frame.get()))
            return frame.get();
    if (!m_model)
        return nullptr;
    TFFFramePtr frame(av_frame_alloc());
    if (!frame)
        return nullptr;
    frame->format = m_model->format;
    frame->width = m_model->width;
    frame->height = m_model->height;
    frame->nb_samples = m_model->nb_samples;
    frame->sample_rate = m_model->sample_rate;
    if (av_channel_layout_copy(&frame->ch_layout, &m_model->ch_layout) < 0 ||
        av_frame_get_buffer(frame.get(), 0) < 0)
        return nullptr;
    m_frames.push_back(std::move(frame));
    return m_frames.back().get();
}

void TFFFramePool::Clear() {
    m_frames.clear();
    m_model.reset();
}

std::string TFFWriter::Open(const std::string& fileName, const TSettings& settings) {
    Close();
    const AVOutputFormat* format = av_guess_format(nullptr, fileName.c_str(), nullptr);
    if (format == nullptr)
        format = av_guess_format("mpeg", nullptr, nullptr);
    if (format == nullptr)
        return "Could not find suitable output format!";
    AVFormatContext* output = nullptr;
    if (avformat_alloc_output_context2(&output, format, nullptr, fileName.c_str()) < 0 || output == nullptr)
        return "Memory error!";
    m_output.reset(output);
    m_packet.reset(av_packet_alloc());
    if (!m_packet)
        return "Memory error!";
    m_width = settings.width;
    m_height = settings.height;
    m_channels = settings.channels;

    std::string failure;
    if (settings.wantVideo && format->video_codec != AV_CODEC_ID_NONE)
        failure = AddVideo(settings);
    if (failure.empty() && settings.wantAudio && format->audio_codec != AV_CODEC_ID_NONE)
        failure = AddAudio(settings);
    if (failure.empty() && !(format->flags & AVFMT_NOFILE) &&
        avio_open(&m_output->pb, fileName.c_str(), AVIO_FLAG_WRITE) < 0)
        failure = "Could not open file!";
    if (failure.empty() && (HasVideo() || HasAudio())) {
        if (avformat_write_header(m_output.get(), nullptr) < 0)
            failure = "Invalid output format parameters!";
        else
            m_headerWritten = true;
    }
    if (!failure.empty())
        Close();
    return failure;
}

std::string TFFWriter::AddVideo(const TSettings& settings) {
    const AVOutputFormat* format = m_output->oformat;
    const AVCodec* encoder =
        FindEncoder(settings.parameters.VideoCodec, AVMEDIA_TYPE_VIDEO, format->video_codec);
    if (encoder == nullptr)
        return {};
    TFFCodecPtr codec(avcodec_alloc_context3(encoder));
    if (!codec)
        return "Memory error!";
    codec->bit_rate = settings.parameters.VideoBitRate;
    codec->width = settings.width;
    codec->height = settings.height;
    codec->time_base = AVRational{static_cast<int>(settings.scale), static_cast<int>(settings.rate)};
    codec->framerate = AVRational{static_cast<int>(settings.rate), static_cast<int>(settings.scale)};
    codec->pix_fmt = ChoosePixelFormat(encoder);
    codec->gop_size = settings.parameters.GopSize;
    if (encoder->id == AV_CODEC_ID_MPEG2VIDEO)
        codec->max_b_frames = 2;
    if (encoder->id == AV_CODEC_ID_MPEG1VIDEO)
        codec->mb_decision = FF_MB_DECISION_RD;
    const uint32_t divx = MKTAG('D', 'I', 'V', 'X');
    if (encoder->id == AV_CODEC_ID_MPEG4 && AcceptsTag(format, AV_CODEC_ID_MPEG4, divx))
        codec->codec_tag = divx;
    if (format->flags & AVFMT_GLOBALHEADER)
        codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    m_video.codec = std::move(codec);
    if (!OpenEncoder(m_video, encoder)) {
        m_video.codec.reset();
        return {};
    }
    AVFrame model{};
    model.format = m_video.codec->pix_fmt;
    model.width = settings.width;
    model.height = settings.height;
    m_video.pool.Configure(model);
    m_scaler.reset(sws_getContext(settings.width, settings.height, AV_PIX_FMT_BGRA, settings.width,
                                  settings.height, m_video.codec->pix_fmt, SWS_BICUBIC, nullptr, nullptr,
                                  nullptr));
    if (!m_scaler)
        return "Memory error!";
    if (m_video.codec->pix_fmt == AV_PIX_FMT_YUVJ420P) {
        int* inverseTable = nullptr;
        int* table = nullptr;
        int sourceRange = 0;
        int targetRange = 0;
        int brightness = 0;
        int contrast = 0;
        int saturation = 0;
        if (sws_getColorspaceDetails(m_scaler.get(), &inverseTable, &sourceRange, &table, &targetRange,
                                     &brightness, &contrast, &saturation) >= 0)
            sws_setColorspaceDetails(m_scaler.get(), inverseTable, sourceRange, table, 1, brightness,
                                     contrast, saturation);
    }
    return {};
}

std::string TFFWriter::AddAudio(const TSettings& settings) {
    const AVOutputFormat* format = m_output->oformat;
    const AVCodec* encoder =
        FindEncoder(settings.parameters.AudioCodec, AVMEDIA_TYPE_AUDIO, format->audio_codec);
    if (encoder == nullptr || settings.channels <= 0 || settings.samplesPerSecond <= 0)
        return {};
    TFFCodecPtr codec(avcodec_alloc_context3(encoder));
    if (!codec)
        return "Memory error!";
    codec->bit_rate = settings.parameters.AudioBitRate;
    codec->sample_rate = settings.samplesPerSecond;
    codec->sample_fmt = ChooseSampleFormat(encoder);
    av_channel_layout_default(&codec->ch_layout, settings.channels);
    codec->time_base = AVRational{1, settings.samplesPerSecond};
    if (format->flags & AVFMT_GLOBALHEADER)
        codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    m_audio.codec = std::move(codec);
    if (!OpenEncoder(m_audio, encoder)) {
        m_audio.codec.reset();
        return {};
    }
    // Encoder delay gives the first audio packets negative times. Containers
    // that cannot store them shift every stream once the first such packet
    // arrives, after some pictures were already written: the video times get
    // a gap. Start the audio at zero there instead.
    if (!(format->flags & AVFMT_TS_NEGATIVE))
        m_audio.nextPts = m_audio.codec->initial_padding;
    int frameSamples = m_audio.codec->frame_size;
    if (frameSamples < 2) {
        frameSamples = PcmInputBytes / settings.channels;
        if (IsPcm16(encoder->id))
            frameSamples /= 2;
    }
    m_audioInputFrames = frameSamples;
    m_audioInputFill = 0;
    m_audioInput = static_cast<uint8_t*>(
        TAVFile::AllocBuffer(static_cast<size_t>(frameSamples) * 2 * settings.channels));
    if (m_audioInput == nullptr)
        return "Could not allocate audio input buffer!";
    AVFrame model{};
    model.format = m_audio.codec->sample_fmt;
    model.nb_samples = frameSamples;
    model.sample_rate = settings.samplesPerSecond;
    model.ch_layout = m_audio.codec->ch_layout;
    m_audio.pool.Configure(model);
    if (m_audio.codec->sample_fmt != AV_SAMPLE_FMT_S16) {
        SwrContext* resampler = nullptr;
        if (swr_alloc_set_opts2(&resampler, &m_audio.codec->ch_layout, m_audio.codec->sample_fmt,
                                settings.samplesPerSecond, &m_audio.codec->ch_layout, AV_SAMPLE_FMT_S16,
                                settings.samplesPerSecond, 0, nullptr) < 0)
            return "Memory error!";
        m_resampler.reset(resampler);
        if (swr_init(resampler) < 0)
            return "Memory error!";
    }
    return {};
}

bool TFFWriter::OpenEncoder(TEncoder& encoder, const AVCodec* codec) {
    if (avcodec_open2(encoder.codec.get(), codec, nullptr) < 0)
        return false;
    encoder.stream = avformat_new_stream(m_output.get(), nullptr);
    if (encoder.stream == nullptr)
        return false;
    encoder.stream->id = static_cast<int>(m_output->nb_streams) - 1;
    encoder.stream->time_base = encoder.codec->time_base;
    encoder.nextPts = 0;
    return avcodec_parameters_from_context(encoder.stream->codecpar, encoder.codec.get()) >= 0;
}

void TFFWriter::PutFrame(const uint8_t* frame) {
    AVFrame* picture = m_video.pool.Get();
    if (picture == nullptr)
        throw TAVFile::AVFileErrorMemory();
    const uint8_t* const planes[4] = {frame, nullptr, nullptr, nullptr};
    const int strides[4] = {m_width * 4, 0, 0, 0};
    sws_scale(m_scaler.get(), planes, strides, 0, m_height, picture->data, picture->linesize);
    picture->pts = m_video.nextPts++;
    if (!Encode(m_video, picture))
        throw TAVFile::AVFileErrorPutVideo();
}

void TFFWriter::PutAudio(const uint8_t* samples, int32_t byteCount) {
    const int frameBytes = m_channels * 2;
    int32_t left = byteCount;
    while (left >= frameBytes) {
        const int room = m_audioInputFrames - m_audioInputFill;
        const int take = std::min(room, left / frameBytes);
        std::memcpy(m_audioInput + static_cast<size_t>(m_audioInputFill) * frameBytes, samples,
                    static_cast<size_t>(take) * frameBytes);
        samples += static_cast<size_t>(take) * frameBytes;
        left -= take * frameBytes;
        m_audioInputFill += take;
        if (m_audioInputFill == m_audioInputFrames) {
            m_audioInputFill = 0;
            if (!EncodeAudioInput(m_audioInputFrames))
                throw TAVFile::AVFileErrorPutAudio("");
        }
    }
}

bool TFFWriter::EncodeAudioInput(int sampleFrames) {
    AVFrame* frame = m_audio.pool.Get();
    if (frame == nullptr)
        throw TAVFile::AVFileErrorMemory();
    frame->nb_samples = sampleFrames;
    if (m_resampler) {
        const uint8_t* source[1] = {m_audioInput};
        if (swr_convert(m_resampler.get(), frame->extended_data, sampleFrames, source, sampleFrames) < 0)
            return false;
    } else {
        std::memcpy(frame->data[0], m_audioInput, static_cast<size_t>(sampleFrames) * m_channels * 2);
    }
    frame->pts = m_audio.nextPts;
    m_audio.nextPts += sampleFrames;
    const bool written = Encode(m_audio, frame);
    frame->nb_samples = m_audioInputFrames;
    return written;
}

bool TFFWriter::Encode(TEncoder& encoder, AVFrame* frame) {
    if (avcodec_send_frame(encoder.codec.get(), frame) < 0)
        return false;
    for (;;) {
        const int result = avcodec_receive_packet(encoder.codec.get(), m_packet.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return true;
        if (result < 0)
            return false;
        // Without durations the MP4 muxer drops the last picture.
        if (m_packet->duration == 0 && encoder.codec->codec_type == AVMEDIA_TYPE_VIDEO)
            m_packet->duration = 1;
        av_packet_rescale_ts(m_packet.get(), encoder.codec->time_base, encoder.stream->time_base);
        m_packet->stream_index = encoder.stream->index;
        if (av_interleaved_write_frame(m_output.get(), m_packet.get()) < 0)
            return false;
    }
}

bool TFFWriter::Finish() {
    bool written = true;
    if (HasAudio() && m_audioInputFill > 0) {
        // The last samples would be lost otherwise: encoders of a fixed frame
        // size get a frame padded with silence, the others a short frame.
        int frames = m_audioInputFill;
        if (!(m_audio.codec->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) &&
            m_audio.codec->frame_size > 1) {
            std::memset(m_audioInput + static_cast<size_t>(frames) * m_channels * 2, 0,
                        static_cast<size_t>(m_audioInputFrames - frames) * m_channels * 2);
            frames = m_audioInputFrames;
        }
        m_audioInputFill = 0;
        written = EncodeAudioInput(frames) && written;
    }
    if (HasVideo())
        written = Encode(m_video, nullptr) && written;
    if (HasAudio())
        written = Encode(m_audio, nullptr) && written;
    return av_write_trailer(m_output.get()) >= 0 && written;
}

bool TFFWriter::Close() {
    bool written = true;
    if (m_output && m_headerWritten) {
        try {
            written = Finish();
        } catch (const TAVFile::AVFileError&) {
            // Out of memory while flushing: the trailer cannot follow either.
            written = false;
        }
    }
    m_headerWritten = false;
    m_output.reset();
    m_video = TEncoder{};
    m_audio = TEncoder{};
    m_packet.reset();
    m_scaler.reset();
    m_resampler.reset();
    TAVFile::FreeBuffer(m_audioInput);
    m_audioInput = nullptr;
    m_audioInputFrames = 0;
    m_audioInputFill = 0;
    return written;
}
