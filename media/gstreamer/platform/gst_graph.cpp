#include "media/gstreamer/platform/gst_graph.h"

#include "media/gstreamer/platform/ts_clock.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr double NanosecondsPerSecond = 1e9;

// Pictures looked at before the index of the first one after a seek is
// decided (see ResolvePending).
constexpr size_t PendingPictures = 4;
// Buffers a paused graph may have queued before its streaming thread holds:
// ReadAheadBytes worth of pictures, within these bounds. On a busy machine a
// short queue stalls the graph whenever the consumer waits for a core.
constexpr size_t MinReadAheadBuffers = 4;
constexpr size_t MaxReadAheadBuffers = 12;
constexpr size_t ReadAheadBytes = size_t{32} << 20;
constexpr guint FullSizeConverterThreads = 2;
constexpr size_t ReadAheadAfterSeek = 2;

// A delivered sample kept mapped while its bytes wait in a queue.
class TMappedSample : public TBufferOwner {
public:
    static TMappedSample* Map(GstSample* sample) {
        auto* mapped = new TMappedSample;
        mapped->m_sample = gst_sample_ref(sample);
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        if (buffer == nullptr || !gst_buffer_map(buffer, &mapped->m_map, GST_MAP_READ)) {
            gst_sample_unref(mapped->m_sample);
            delete mapped;
            return nullptr;
        }
        return mapped;
    }
    void Release() override {
        gst_buffer_unmap(gst_sample_get_buffer(m_sample), &m_map);
        gst_sample_unref(m_sample);
        delete this;
    }
    const uint8_t* Data() const { return m_map.data; }
    size_t Size() const { return m_map.size; }
    GstSample* Sample() const { return m_sample; }

private:
    TMappedSample() = default;
    ~TMappedSample() override = default;
    GstSample* m_sample = nullptr;
    GstMapInfo m_map{};
};

// One conversion from the decoder's layout to BGRx of one size, kept while
// the pictures keep their layout.
class TPictureConverter {
public:
    explicit TPictureConverter(bool scales) : m_scales(scales) {}
    ~TPictureConverter() { Reset(); }
    TPictureConverter(const TPictureConverter&) = delete;
    TPictureConverter& operator=(const TPictureConverter&) = delete;
    bool Convert(GstSample* sample, uint8_t* target, int32_t width, int32_t height);

private:
    void Reset() {
        if (m_converter != nullptr)
            gst_video_converter_free(m_converter);
        m_converter = nullptr;
    }
    bool m_scales;
    GstVideoConverter* m_converter = nullptr;
    GstVideoInfo m_in{};
    GstVideoInfo m_out{};
};

bool TPictureConverter::Convert(GstSample* sample, uint8_t* target, int32_t width, int32_t height) {
    GstVideoInfo in;
    GstCaps* caps = gst_sample_get_caps(sample);
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (caps == nullptr || buffer == nullptr || !gst_video_info_from_caps(&in, caps))
        return false;
    if (m_converter == nullptr || !gst_video_info_is_equal(&in, &m_in) ||
        GST_VIDEO_INFO_WIDTH(&m_out) != width || GST_VIDEO_INFO_HEIGHT(&m_out) != height) {
        Reset();
        m_in = in;
        gst_video_info_set_interlaced_format(&m_out, GST_VIDEO_FORMAT_BGRx,
                                             GST_VIDEO_INFO_INTERLACE_MODE(&m_in), static_cast<guint>(width),
                                             static_cast<guint>(height));
        GST_VIDEO_INFO_FPS_N(&m_out) = GST_VIDEO_INFO_FPS_N(&m_in);
        GST_VIDEO_INFO_FPS_D(&m_out) = GST_VIDEO_INFO_FPS_D(&m_in);
        // Scaled pictures are a window's: the nearest pixel, as a stretch
        // without smoothing picks it, and small enough for one thread. The
        // full-size picture is what the element would make, on both cores.
        GstStructure* options =
            m_scales ? gst_structure_new("options", GST_VIDEO_CONVERTER_OPT_RESAMPLER_METHOD,
                                         GST_TYPE_VIDEO_RESAMPLER_METHOD, GST_VIDEO_RESAMPLER_METHOD_NEAREST,
                                         GST_VIDEO_CONVERTER_OPT_CHROMA_RESAMPLER_METHOD,
                                         GST_TYPE_VIDEO_RESAMPLER_METHOD, GST_VIDEO_RESAMPLER_METHOD_NEAREST,
                                         GST_VIDEO_CONVERTER_OPT_THREADS, G_TYPE_UINT, 1u, nullptr)
                     : gst_structure_new("options", GST_VIDEO_CONVERTER_OPT_THREADS, G_TYPE_UINT,
                                         FullSizeConverterThreads, nullptr);
        m_converter = gst_video_converter_new(&m_in, &m_out, options);
        if (m_converter == nullptr)
            return false;
    }
    GstVideoFrame source;
    if (!gst_video_frame_map(&source, &m_in, buffer, GST_MAP_READ))
        return false;
    const gsize bytes = GST_VIDEO_INFO_SIZE(&m_out);
    GstBuffer* wrapped = gst_buffer_new_wrapped_full(static_cast<GstMemoryFlags>(0), target, bytes, 0, bytes,
                                                     nullptr, nullptr);
    GstVideoFrame destination;
    const bool mapped = gst_video_frame_map(&destination, &m_out, wrapped, GST_MAP_WRITE) != FALSE;
    if (mapped) {
        gst_video_converter_frame(m_converter, &source, &destination);
        gst_video_frame_unmap(&destination);
    }
    gst_buffer_unref(wrapped);
    gst_video_frame_unmap(&source);
    return mapped;
}

struct TBranch {
    GstElement* Sink = nullptr;   // appsink; nullptr until the decoder offers the stream
    GstPad* Entry = nullptr;      // sink pad of the branch's queue
    std::mutex Lock;              // guards Callback and the bookkeeping below
    std::condition_variable Room; // a held streaming thread looks again
    TSampleGrabberCB* Callback = nullptr;
    // Video: pictures are counted, like reading in order does; only the index
    // of the first one after a seek comes from times. Buffers before DropBelow
    // are the lead-in of a key-frame seek. Audio: sample frames from times,
    // trimmed to the byte.
    bool IndexKnown = true;
    int64_t NextIndex = 0;
    int64_t DropBelow = 0;
    std::vector<GstSample*> Pending;
    // Video placed on the frame grid by time: the newest picture, on screen
    // from slot HeldDue until a later one is due. It is handed on once the
    // next picture (or the end) shows how long it lasts.
    GstSample* Held = nullptr;
    int64_t HeldDue = -1;
    // Video: times of the decoded pictures entering the branch, ahead of the
    // converter; -1 for one without a time. The picture after the held one
    // tells how long it lasts before it is converted itself.
    std::deque<int64_t> Entered;
    bool EnteredEnd = false;             // the end of the stream entered after them
    std::condition_variable EnteredMore; // a time or the end entered
    bool Scanning = false;               // video: only record times (ScanTimes)
    std::vector<int64_t> ScanTimes;
    int64_t OriginNs = 0; // stream time of frame or sample 0
    int FpsNumerator = 0;
    int FpsDenominator = 1;
    int SampleRate = 0;
    int Channels = 0;
    int64_t DeliveredEnd = 0; // audio: the sample frame after the last one queued
};

// The coded pictures of the few packets after a seek's flush, as they enter
// the video decoder, for the index of the first picture it will put out.
enum class TCodedKind { Unknown, Mpeg4, Mpeg2, H264 };

struct TCodedPicture {
    int Pictures = 0; // picture headers in the packet
    char Type = '?';  // 'I', 'P', 'B', or '?'
    bool ClosedGop = false;
};

// nalLengthSize: H.264 NAL units behind big-endian lengths of that many
// bytes; 0 for start codes.
TCodedPicture ParseCodedPicture(TCodedKind kind, const uint8_t* data, size_t size, int nalLengthSize) {
    TCodedPicture coded;
    if (kind == TCodedKind::H264 && nalLengthSize > 0) {
        for (size_t at = 0; at + static_cast<size_t>(nalLengthSize) < size;) {
            size_t length = 0;
            for (int k = 0; k < nalLengthSize; ++k)
                length = (length << 8) | data[at + static_cast<size_t>(k)];
            at += static_cast<size_t>(nalLengthSize);
            if (length == 0 || at + length > size)
                break;
            if ((data[at] & 0x1F) == 5) {
                coded.Pictures = 1;
                coded.Type = 'I';
            }
            at += length;
        }
        return coded;
    }
    for (size_t i = 0; i + 5 < size; ++i) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1)
            continue;
        const uint8_t code = data[i + 3];
        if (kind == TCodedKind::Mpeg4 && code == 0xB6) {
            ++coded.Pictures;
            coded.Type = "IPBS"[data[i + 4] >> 6];
        } else if (kind == TCodedKind::Mpeg2 && code == 0x00) {
            ++coded.Pictures;
            const int type = (data[i + 5] >> 3) & 7;
            coded.Type = type == 1 ? 'I' : type == 2 ? 'P' : type == 3 ? 'B' : '?';
        } else if (kind == TCodedKind::Mpeg2 && code == 0xB8 && i + 7 < size) {
            coded.ClosedGop = (data[i + 7] & 0x40) != 0;
        } else if (kind == TCodedKind::H264 && (code & 0x1F) == 5) {
            coded.Pictures = 1;
            coded.Type = 'I'; // an IDR picture: nothing after it is shown before it
        }
    }
    return coded;
}

// Guarded by the video lock.
struct TKeyLanding {
    bool Started = false;  // the first packet after the flush was seen
    bool Done = false;     // the leading pictures are counted (or cannot be)
    bool Readable = false; // the packets were of a kind whose order is known
    int64_t KeyNs = -1;    // stream time of the key packet (its decoding time in AVI)
    bool LeadingShown = false;
    int Leading = 0; // B-pictures after the key frame, shown before it
};

class TGstGraph : public TFilterGraph {
public:
    explicit TGstGraph(TWaitSignal& signal) : m_event(signal) {}
    ~TGstGraph() override;
    bool Create();

    bool CreateSource() override;
    bool LoadFile(const std::string& fileName) override;
    bool HasDeinterlacer() override;
    bool Render(bool video, bool audio, bool deinterlace) override;
    bool IsConnected(TGraphStream stream) override { return Branch(stream).Sink != nullptr; }
    bool GetVideoType(TConnectedVideoType& type) override;
    bool GetAudioType(TConnectedAudioType& type) override;
    bool GetDuration(TGraphStream stream, TGraphTimeFormat format, int64_t& duration) override;
    void RemoveReferenceClock() override { gst_pipeline_use_clock(GST_PIPELINE(m_pipeline), nullptr); }
    bool SetCallback(TGraphStream stream, TSampleGrabberCB* callback) override;
    TGraphResult Run() override;
    // The pipeline keeps PLAYING; the streaming thread holds still once the
    // read-ahead is queued (see HoldAtReadAhead). A state change per picture
    // would cost more than decoding small ones.
    TGraphResult Pause() override { return TGraphResult::Done; }
    // Stop precedes a seek, whose flush ends the preroll anyway: waiting for
    // it would decode one more picture for nothing.
    TGraphResult Stop() override {
        const TGraphResult result = SetState(GST_STATE_PAUSED);
        return result == TGraphResult::Pending ? TGraphResult::Done : result;
    }
    TGraphResult WaitForState() override;
    bool SetPositionFrame(int64_t frame, uint32_t rate, uint32_t scale) override;
    int64_t SetPositionKeyFrame(int64_t frame, uint32_t rate, uint32_t scale) override;
    bool ConvertPicture(const TBuffer& picture, uint8_t* target, int32_t width, int32_t height) override;
    TManualResetEvent* GetEventHandle() override { return &m_event; }
    bool GetEvent(int32_t& code) override;

private:
    TBranch& Branch(TGraphStream stream) { return stream == TGraphStream::Video ? m_video : m_audio; }
    TGraphResult SetState(GstState state);
    void PostEvent(int32_t code);
    void LinkPad(GstPad* pad);
    GstElement* BuildBranch(bool isVideo);
    void ReadFormats();
    void InspectElements(bool& timesUntrusted, bool& stillImage);
    bool ContinueTo(int64_t frame, int64_t audioTarget);
    int64_t StreamTimeNs(GstSample* sample);
    int64_t IndexAt(const TBranch& branch, int64_t streamTimeNs);
    int64_t PrerollIndex(TBranch& branch);
    GstFlowReturn OnSample(GstAppSink* sink, bool isVideo);
    void HoldAtReadAhead(std::unique_lock<std::mutex>& lock, bool isVideo);
    void Deliver(TBranch& branch, GstSample* sample, bool isVideo);
    void Hand(TBranch& branch, GstSample* sample, int64_t time, size_t skipBytes);
    void PlaceOnGrid(TBranch& branch, GstSample* sample);
    void HandHeld(TBranch& branch, int64_t untilSlot);
    void DropHeld(TBranch& branch);
    int64_t FirstIndex(const std::vector<int64_t>& times);
    void ResolvePending();
    void DropPending(TBranch& branch);
    void WaitForEvent();
    void ScanVideoEnd(int64_t containerNs);
    GstPad* VideoDecoderEntry();
    static GstPadProbeReturn OnScannedPacket(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    static GstPadProbeReturn OnPictureEntered(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    int64_t PadStreamTimeNs(GstPad* pad, GstBuffer* buffer);
    void HandSlots(TBranch& branch, int64_t untilSlot);
    void SeekKeyFrame(GstElement* sink, int64_t startNs);
    void EstimateFrameRate(const std::vector<int64_t>& times);

    static GstBusSyncReply OnBusMessage(GstBus*, GstMessage* message, gpointer self);
    static void OnPadAdded(GstElement*, GstPad* pad, gpointer self);
    static void OnElementAdded(GstBin*, GstBin*, GstElement* element, gpointer self);
    static void OnDemuxerPad(GstElement*, GstPad* pad, gpointer self);
    static GstPadProbeReturn OnCompressed(GstPad*, GstPadProbeInfo* info, gpointer self);
    static GstPadProbeReturn OnCodedPacket(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    void WatchCodedPackets();
    int64_t SeekToReadableKey(int64_t frame, double frameNs);
    static GstFlowReturn OnVideoSample(GstAppSink* sink, gpointer self);
    static GstFlowReturn OnAudioSample(GstAppSink* sink, gpointer self);
    static void OnVideoEos(GstAppSink* sink, gpointer self);

    GstElement* m_pipeline = nullptr;
    GstElement* m_decoder = nullptr;
    bool m_wantVideo = false;
    bool m_wantAudio = false;
    bool m_deinterlace = false;
    TBranch m_video;
    TBranch m_audio;
    TManualResetEvent m_event;
    std::mutex m_eventsLock;
    std::deque<int32_t> m_events;
    bool m_atEnd = false;       // guarded by m_eventsLock
    int64_t m_videoFrames = -1; // from the end of the stream when the demuxer cannot count
    // AVI holds decoding times only; with B-frames GStreamer's decoders give
    // pictures times a frame or two off, differently after every seek. Such
    // files are positioned by counting from the start instead.
    bool m_timesUntrusted = false;
    // Program streams have no index: their seeks land late and the pictures
    // after a key frame carry odd times.
    bool m_isProgramStream = false;
    // Only the AVI demuxer counts a stream's own frames. Matroska answers a
    // frame count too once the file states a frame duration, but divides the
    // segment's length by it, and the segment lasts as long as its longest
    // stream: audio running on past the last picture adds a frame.
    bool m_isAvi = false;
    bool m_isTransportStream = false;
    std::string m_fileName;
    // Pictures are placed on the frame grid by their times (frame n shows the
    // last picture due at or before n) wherever the times hold; elsewhere
    // they are counted.
    bool m_gridByTime = false;
    size_t m_readAheadBuffers = MinReadAheadBuffers;
    // The read-ahead in force: after a seek it starts short and grows with
    // every picture taken, so a seek that another follows decodes little for
    // nothing while reading in order soon reads ahead in full.
    std::atomic<size_t> m_readAheadNow{MinReadAheadBuffers};
    std::atomic<int64_t> m_gridFrames{-1}; // the length given out; the last picture fills the grid to it
    std::atomic<bool> m_sawBVop{false};    // an MPEG-4 part 2 B-picture left the AVI demuxer
    TCodedKind m_codedKind = TCodedKind::Unknown;
    int m_nalLengthSize = 0;
    TKeyLanding m_landing;
    TPictureConverter m_fullSize{false};
    TPictureConverter m_scaled{true};
    // A key frame's picture decoded by SetPositionKeyFrame, queued when the
    // video callback is attached again; guarded by the video lock.
    GstSample* m_keyPicture = nullptr;
    int64_t m_keyPictureIndex = -1;
};

TGstGraph::~TGstGraph() {
    if (m_pipeline != nullptr) {
        // A streaming thread held at the read-ahead bound must let go, or the
        // state change waits for it for ever.
        for (TBranch* branch : {&m_video, &m_audio}) {
            {
                std::lock_guard<std::mutex> lock(branch->Lock);
                branch->Callback = nullptr;
            }
            branch->Room.notify_all();
        }
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
        DropPending(m_video);
        DropHeld(m_video);
        if (m_keyPicture != nullptr)
            gst_sample_unref(m_keyPicture);
        GstBus* bus = gst_pipeline_get_bus(GST_PIPELINE(m_pipeline));
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
        gst_object_unref(m_pipeline);
    }
}

bool TGstGraph::Create() {
    m_pipeline = gst_pipeline_new("FilterGraph");
    if (m_pipeline == nullptr)
        return false;
    GstBus* bus = gst_pipeline_get_bus(GST_PIPELINE(m_pipeline));
    if (bus == nullptr)
        return false;
    gst_bus_set_sync_handler(bus, OnBusMessage, this, nullptr);
    gst_object_unref(bus);
    return true;
}

bool TGstGraph::CreateSource() {
    GstElement* source = gst_element_factory_make("filesrc", "Source");
    m_decoder = gst_element_factory_make("decodebin", nullptr);
    if (source == nullptr || m_decoder == nullptr) {
        if (source != nullptr)
            gst_object_unref(source);
        if (m_decoder != nullptr)
            gst_object_unref(m_decoder);
        m_decoder = nullptr;
        return false;
    }
    gst_bin_add_many(GST_BIN(m_pipeline), source, m_decoder, nullptr);
    g_signal_connect(m_decoder, "pad-added", G_CALLBACK(OnPadAdded), this);
    g_signal_connect(m_pipeline, "deep-element-added", G_CALLBACK(OnElementAdded), this);
    return gst_element_link(source, m_decoder) != FALSE;
}

bool TGstGraph::LoadFile(const std::string& fileName) {
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (file == nullptr)
        return false;
    std::fclose(file);
    m_fileName = fileName;
    GstElement* source = gst_bin_get_by_name(GST_BIN(m_pipeline), "Source");
    g_object_set(source, "location", fileName.c_str(), nullptr);
    gst_object_unref(source);
    return true;
}

bool TGstGraph::HasDeinterlacer() {
    GstElementFactory* factory = gst_element_factory_find("deinterlace");
    if (factory == nullptr)
        return false;
    gst_object_unref(factory);
    return true;
}

GstElement* TGstGraph::BuildBranch(bool isVideo) {
    // Pictures stay in the decoder's layout where it is one of these (the
    // converter then passes them through); the consumer converts each to the
    // size it is shown at (see ConvertPicture).
    // The read-ahead is the sink's (see HoldAtReadAhead); the queue only
    // parts the decoder's thread from it. A long one would decode a second
    // of pictures after every seek that the next seek throws away.
    const std::string video = std::string("queue max-size-buffers=3 max-size-bytes=0 max-size-time=0 ! ") +
                              (m_deinterlace ? "deinterlace ! " : "") +
                              "videoconvert ! video/x-raw,format={I420,YV12,NV12,NV21,Y42B,Y444,BGRx} ! "
                              "appsink name=sink";
    const char* description =
        isVideo ? video.c_str()
                : "queue ! audioconvert ! audioresample ! audio/x-raw,format=S16LE,layout=interleaved ! "
                  "appsink name=sink";
    GError* error = nullptr;
    GstElement* bin = gst_parse_bin_from_description(description, TRUE, &error);
    if (bin == nullptr) {
        g_clear_error(&error);
        return nullptr;
    }
    GstElement* sink = gst_bin_get_by_name(GST_BIN(bin), "sink");
    g_object_set(sink, "sync", FALSE, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = isVideo ? OnVideoSample : OnAudioSample;
    if (isVideo)
        callbacks.eos = OnVideoEos;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
    gst_object_unref(sink);
    return bin;
}

void TGstGraph::LinkPad(GstPad* pad) {
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (caps == nullptr)
        caps = gst_pad_query_caps(pad, nullptr);
    const char* name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    const bool isVideo = g_str_has_prefix(name, "video/");
    const bool isAudio = g_str_has_prefix(name, "audio/");
    gst_caps_unref(caps);
    TBranch& branch = isVideo ? m_video : m_audio;
    GstElement* bin = nullptr;
    // decodebin offers its pads again after a restart: a branch that exists but
    // is unlinked takes the new pad.
    if ((isVideo && m_wantVideo) || (isAudio && m_wantAudio)) {
        if (branch.Entry == nullptr && (bin = BuildBranch(isVideo)) != nullptr) {
            branch.Sink = gst_bin_get_by_name(GST_BIN(bin), "sink");
            gst_object_unref(branch.Sink); // the pipeline holds it
            branch.Entry = gst_element_get_static_pad(bin, "sink");
            gst_object_unref(branch.Entry);
            if (isVideo)
                gst_pad_add_probe(branch.Entry,
                                  static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                               GST_PAD_PROBE_TYPE_EVENT_FLUSH |
                                                               GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                                  OnPictureEntered, this, nullptr);
        }
        if (branch.Entry != nullptr && !gst_pad_is_linked(branch.Entry)) {
            if (bin != nullptr) {
                gst_bin_add(GST_BIN(m_pipeline), bin);
                gst_element_sync_state_with_parent(bin);
            }
            gst_pad_link(pad, branch.Entry);
            return;
        }
    }
    GstElement* discard = gst_element_factory_make("fakesink", nullptr);
    g_object_set(discard, "sync", FALSE, "async", FALSE, nullptr);
    gst_bin_add(GST_BIN(m_pipeline), discard);
    gst_element_sync_state_with_parent(discard);
    GstPad* entry = gst_element_get_static_pad(discard, "sink");
    gst_pad_link(pad, entry);
    gst_object_unref(entry);
}

bool TGstGraph::Render(bool video, bool audio, bool deinterlace) {
    m_wantVideo = video;
    m_wantAudio = audio;
    m_deinterlace = deinterlace;
    gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
    // An open must not hang on a file the decoder chokes on.
    const GstStateChangeReturn result = gst_element_get_state(m_pipeline, nullptr, nullptr, 30 * GST_SECOND);
    if (result == GST_STATE_CHANGE_FAILURE || result == GST_STATE_CHANGE_ASYNC) {
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
        m_video.Sink = m_audio.Sink = nullptr;
        return false;
    }
    ReadFormats();
    TConnectedVideoType picture;
    if (GetVideoType(picture) && picture.Width > 0 && picture.Height > 0)
        m_readAheadBuffers =
            std::clamp(ReadAheadBytes / (static_cast<size_t>(picture.Width) * picture.Height * 4),
                       MinReadAheadBuffers, MaxReadAheadBuffers);
    m_readAheadNow = m_readAheadBuffers;
    bool stillImage = false;
    InspectElements(m_timesUntrusted, stillImage);
    m_gridByTime = !m_timesUntrusted && !m_isProgramStream;
    if (!m_gridByTime && m_video.Sink != nullptr)
        WatchCodedPackets();
    // Seeks past a wrap of a transport stream's clock land on pictures that
    // carry the times of others (GStreamer 1.22): such files are left to the
    // next backend, which reads them exactly.
    if (m_isTransportStream && TransportStreamWraps(m_fileName)) {
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
        m_video.Sink = m_audio.Sink = nullptr;
        return false;
    }
    // A picture is left to the image-sequence backend, which counts the
    // numbered files around it.
    if (stillImage)
        m_video.Sink = nullptr;
    if (m_video.Sink != nullptr) {
        gint64 frames = 0;
        gint64 containerNs = 0;
        if (!m_isAvi || !gst_element_query_duration(m_video.Sink, GST_FORMAT_DEFAULT, &frames) ||
            frames <= 0 || m_video.FpsNumerator <= 0) {
            gst_element_query_duration(m_video.Sink, GST_FORMAT_TIME, &containerNs);
            ScanVideoEnd(containerNs);
        }
    }
    return true;
}

void TGstGraph::InspectElements(bool& timesUntrusted, bool& stillImage) {
    bool reorders = false;
    stillImage = false;
    GstIterator* elements = gst_bin_iterate_recurse(GST_BIN(m_pipeline));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(elements, &item) == GST_ITERATOR_OK) {
        GstElementFactory* factory = gst_element_get_factory(GST_ELEMENT(g_value_get_object(&item)));
        const char* name = factory != nullptr ? GST_OBJECT_NAME(factory) : "";
        if (g_str_equal(name, "typefind")) {
            GstCaps* found = nullptr;
            g_object_get(g_value_get_object(&item), "caps", &found, nullptr);
            if (found != nullptr && gst_caps_get_size(found) > 0)
                stillImage =
                    stillImage ||
                    g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(found, 0)), "image/");
            if (found != nullptr)
                gst_caps_unref(found);
        }
        m_isAvi = m_isAvi || g_str_equal(name, "avidemux");
        m_isProgramStream = m_isProgramStream || g_str_equal(name, "mpegpsdemux");
        m_isTransportStream = m_isTransportStream || g_str_equal(name, "tsdemux");
        // Decoders of codecs that can carry B-frames.
        for (const char* codec : {"h264", "h265", "hevc", "mpeg2"})
            reorders = reorders || (g_str_has_prefix(name, "avdec_") && std::strstr(name, codec) != nullptr);
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(elements);
    timesUntrusted = m_isAvi && (reorders || m_sawBVop);
}

// Counting files: a target ahead of the graph is reached by reading on.
// A file placed on the grid reads on only over a few pictures: past that an
// accurate seek decodes less than reading on converts. Audio already queued
// beyond the target would be cleared with the queue and leave a gap.
bool TGstGraph::ContinueTo(int64_t frame, int64_t audioTarget) {
    // Where a seek finds its key frame's index, reading on past about a GOP
    // costs more decoding than seeking.
    const int64_t readOnFrames = m_gridByTime ? 8 : m_codedKind != TCodedKind::Unknown ? 24 : 250;
    std::lock_guard<std::mutex> lock(m_video.Lock);
    if (!m_video.IndexKnown || frame < m_video.NextIndex || frame > m_video.NextIndex + readOnFrames)
        return false;
    std::lock_guard<std::mutex> audioLock(m_audio.Lock);
    if (m_gridByTime && m_audio.Callback != nullptr && m_audio.DeliveredEnd > audioTarget)
        return false;
    m_video.DropBelow = frame;
    m_audio.DropBelow = audioTarget;
    m_audio.DeliveredEnd = audioTarget;
    return true;
}

void TGstGraph::ReadFormats() {
    for (TBranch* branch : {&m_video, &m_audio}) {
        if (branch->Sink == nullptr)
            continue;
        GstPad* pad = gst_element_get_static_pad(branch->Sink, "sink");
        GstCaps* caps = gst_pad_get_current_caps(pad);
        gst_object_unref(pad);
        if (caps == nullptr) {
            branch->Sink = nullptr; // the stream never delivered anything
            continue;
        }
        const GstStructure* structure = gst_caps_get_structure(caps, 0);
        if (branch == &m_video) {
            if (!gst_structure_get_fraction(structure, "framerate", &branch->FpsNumerator,
                                            &branch->FpsDenominator))
                branch->FpsNumerator = 0;
        } else {
            gst_structure_get_int(structure, "rate", &branch->SampleRate);
            gst_structure_get_int(structure, "channels", &branch->Channels);
        }
        gst_caps_unref(caps);
        branch->IndexKnown = true;
        branch->NextIndex = 0;
        branch->DropBelow = 0;
        // Frame and sample 0 are the first ones the file delivers, wherever its
        // clock starts.
        GstSample* sample = gst_app_sink_try_pull_preroll(GST_APP_SINK(branch->Sink), 0);
        branch->OriginNs = sample != nullptr ? std::max<int64_t>(0, StreamTimeNs(sample)) : 0;
        if (sample != nullptr)
            gst_sample_unref(sample);
    }
}

int64_t TGstGraph::StreamTimeNs(GstSample* sample) {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (buffer == nullptr || !GST_BUFFER_PTS_IS_VALID(buffer))
        return -1;
    // After a seek the transport-stream demuxer gives its segment the time
    // sought rather than that of its start, shifting every stream time by
    // the difference; its buffer times are the stream's own (GStreamer 1.22).
    if (m_isTransportStream)
        return static_cast<int64_t>(GST_BUFFER_PTS(buffer));
    // MP4 buffer times start after the edit list; the segment maps them back.
    const guint64 time =
        gst_segment_to_stream_time(gst_sample_get_segment(sample), GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
    return time == GST_CLOCK_TIME_NONE ? -1 : static_cast<int64_t>(time);
}

int64_t TGstGraph::IndexAt(const TBranch& branch, int64_t streamTimeNs) {
    const double seconds = static_cast<double>(streamTimeNs - branch.OriginNs) / NanosecondsPerSecond;
    const double perSecond =
        &branch == &m_video ? static_cast<double>(branch.FpsNumerator) / std::max(branch.FpsDenominator, 1)
                            : branch.SampleRate;
    return static_cast<int64_t>(std::llround(seconds * perSecond));
}

// The index of the picture or sample waiting in a prerolled sink; -1 when
// there is none (the end of the stream).
int64_t TGstGraph::PrerollIndex(TBranch& branch) {
    GstSample* sample = gst_app_sink_try_pull_preroll(GST_APP_SINK(branch.Sink), 0);
    if (sample == nullptr)
        return -1;
    const int64_t time = StreamTimeNs(sample);
    gst_sample_unref(sample);
    return time < 0 ? -1 : IndexAt(branch, time);
}

bool TGstGraph::GetVideoType(TConnectedVideoType& type) {
    if (m_video.Sink == nullptr)
        return false;
    GstPad* pad = gst_element_get_static_pad(m_video.Sink, "sink");
    GstCaps* caps = gst_pad_get_current_caps(pad);
    gst_object_unref(pad);
    if (caps == nullptr)
        return false;
    const GstStructure* structure = gst_caps_get_structure(caps, 0);
    const bool known = gst_structure_get_int(structure, "width", &type.Width) &&
                       gst_structure_get_int(structure, "height", &type.Height);
    gst_caps_unref(caps);
    return known;
}

bool TGstGraph::GetAudioType(TConnectedAudioType& type) {
    if (m_audio.Sink == nullptr || m_audio.SampleRate <= 0 || m_audio.Channels <= 0)
        return false;
    // The caps filter admits nothing but interleaved S16LE.
    type.FormatTag = 1;
    type.BitsPerSample = 16;
    type.FixedSizeSamples = true;
    type.Channels = m_audio.Channels;
    type.SamplesPerSecond = m_audio.SampleRate;
    return true;
}

bool TGstGraph::GetDuration(TGraphStream stream, TGraphTimeFormat format, int64_t& duration) {
    TBranch& branch = Branch(stream);
    if (branch.Sink == nullptr)
        return false;
    // Asked of the sink, not the pipeline: the pipeline answers in frames with
    // audio chunks.
    gint64 nanoseconds = 0;
    const bool hasTime =
        gst_element_query_duration(branch.Sink, GST_FORMAT_TIME, &nanoseconds) && nanoseconds > 0;
    if (stream == TGraphStream::Audio) {
        if (format != TGraphTimeFormat::MediaTime || !hasTime)
            return false;
        duration = std::max<int64_t>(0, nanoseconds - branch.OriginNs) / 100;
        return true;
    }
    int64_t frames = m_videoFrames;
    gint64 counted = 0;
    if (frames < 0 && m_isAvi && gst_element_query_duration(branch.Sink, GST_FORMAT_DEFAULT, &counted) &&
        counted > 0)
        frames = counted;
    if (frames < 0 && hasTime && branch.FpsNumerator > 0)
        frames = std::llround(static_cast<double>(nanoseconds - branch.OriginNs) * branch.FpsNumerator /
                              (static_cast<double>(branch.FpsDenominator) * 1e9));
    if (frames < 0)
        return false;
    if (format == TGraphTimeFormat::Frame) {
        duration = frames;
        m_gridFrames = frames;
        return true;
    }
    if (frames > 0 && branch.FpsNumerator > 0) {
        // The video's own span, not the container's.
        duration = frames * branch.FpsDenominator * 10000000LL / branch.FpsNumerator;
        return true;
    }
    duration = nanoseconds / 100;
    return hasTime;
}

bool TGstGraph::SetCallback(TGraphStream stream, TSampleGrabberCB* callback) {
    TBranch& branch = Branch(stream);
    if (branch.Sink == nullptr)
        return false;
    // A streaming thread holding back for room looks again at every pop.
    if (callback != nullptr)
        callback->Buffers().SetOnTaken([this, &branch] {
            if (&branch == &m_video && m_readAheadNow < m_readAheadBuffers)
                ++m_readAheadNow;
            { std::lock_guard<std::mutex> lock(branch.Lock); }
            branch.Room.notify_all();
        });
    {
        std::lock_guard<std::mutex> lock(branch.Lock);
        branch.Callback = callback;
        if (&branch == &m_video && m_keyPicture != nullptr) {
            if (callback != nullptr)
                Hand(branch, m_keyPicture, StreamTimeNs(m_keyPicture), 0);
            gst_sample_unref(m_keyPicture);
            m_keyPicture = nullptr;
        }
    }
    branch.Room.notify_all();
    return true;
}

bool TGstGraph::ConvertPicture(const TBuffer& picture, uint8_t* target, int32_t width, int32_t height) {
    const auto* mapped = dynamic_cast<const TMappedSample*>(picture.Owner);
    GstCaps* caps = mapped != nullptr ? gst_sample_get_caps(mapped->Sample()) : nullptr;
    if (caps == nullptr || gst_caps_get_size(caps) == 0)
        return false;
    int ownWidth = 0;
    int ownHeight = 0;
    const GstStructure* structure = gst_caps_get_structure(caps, 0);
    gst_structure_get_int(structure, "width", &ownWidth);
    gst_structure_get_int(structure, "height", &ownHeight);
    const bool isOwnSize = ownWidth == width && ownHeight == height;
    return (isOwnSize ? m_fullSize : m_scaled).Convert(mapped->Sample(), target, width, height);
}

// Where the pictures lie on the frame grid by their times, the key frame's
// index is its time's; the picture after it must be due later, or in-order
// reading would show that one in its place (a rate faster than the grid).
int64_t TGstGraph::SetPositionKeyFrame(int64_t frame, uint32_t rate, uint32_t scale) {
    // How long the picture after the key frame may take to decode before the
    // exact seek is the cheaper way.
    constexpr auto NextPictureWait = std::chrono::milliseconds(500);
    if (!m_gridByTime || m_video.Sink == nullptr || m_video.FpsNumerator <= 0 || frame < 0 || rate == 0)
        return -1;
    m_readAheadNow = ReadAheadAfterSeek;
    const double frameNs = NanosecondsPerSecond * m_video.FpsDenominator / m_video.FpsNumerator;
    // Half a frame on, so a key frame whose time the container rounded down
    // still counts as the target's own.
    const int64_t targetNs = m_video.OriginNs + std::llround((static_cast<double>(frame) + 0.5) * frameNs);
    const auto flags =
        static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT | GST_SEEK_FLAG_SNAP_BEFORE);
    if (!gst_element_seek_simple(m_video.Sink, GST_FORMAT_TIME, flags, targetNs))
        return -1;
    if (gst_element_get_state(m_pipeline, nullptr, nullptr, GST_CLOCK_TIME_NONE) ==
        GST_STATE_CHANGE_FAILURE) {
        gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
        return -1;
    }
    GstSample* sample = gst_app_sink_try_pull_preroll(GST_APP_SINK(m_video.Sink), 0);
    if (sample == nullptr)
        return -1;
    const int64_t time = StreamTimeNs(sample);
    int64_t key = time >= 0 ? IndexAt(m_video, time) : -1;
    const int64_t length = m_gridFrames;
    {
        std::unique_lock<std::mutex> lock(m_video.Lock);
        const auto next = [&] {
            return std::find_if(m_video.Entered.begin(), m_video.Entered.end(),
                                [&](int64_t entered) { return entered > time; });
        };
        const bool told = m_video.EnteredMore.wait_for(
            lock, NextPictureWait, [&] { return m_video.EnteredEnd || next() != m_video.Entered.end(); });
        const auto after = next();
        const bool nextIsLater = told && (after == m_video.Entered.end() || IndexAt(m_video, *after) > key);
        if (key < 0 || key > frame || (length > 0 && key >= length) || !nextIsLater) {
            gst_sample_unref(sample);
            return -1;
        }
        DropHeld(m_video);
        if (m_keyPicture != nullptr)
            gst_sample_unref(m_keyPicture);
        m_keyPicture = sample;
        m_video.IndexKnown = true;
        // The picture is queued already; its second coming, when the graph
        // runs, is passed over like any picture before the position.
        m_video.NextIndex = key + 1;
        m_video.DropBelow = key + 1;
    }
    {
        std::lock_guard<std::mutex> lock(m_eventsLock);
        m_events.clear();
        m_atEnd = false;
        m_event.Reset();
    }
    if (m_audio.Sink != nullptr) {
        std::lock_guard<std::mutex> lock(m_audio.Lock);
        m_audio.DropBelow =
            static_cast<int64_t>(static_cast<double>(m_audio.SampleRate) * key * scale / rate);
        m_audio.DeliveredEnd = m_audio.DropBelow;
    }
    return key;
}

TGraphResult TGstGraph::SetState(GstState state) {
    switch (gst_element_set_state(m_pipeline, state)) {
    case GST_STATE_CHANGE_FAILURE:
        return TGraphResult::Failed;
    case GST_STATE_CHANGE_ASYNC:
        return TGraphResult::Pending;
    default:
        return TGraphResult::Done;
    }
}

TGraphResult TGstGraph::Run() {
    // A renderer that has seen the end announces it again on every run, or a
    // consumer asking past the end would wait for ever.
    {
        std::lock_guard<std::mutex> lock(m_eventsLock);
        if (m_atEnd) {
            m_events.push_back(GraphEventComplete);
            m_event.Set();
        }
    }
    // Asked for at every empty queue; a state change of a playing pipeline
    // still walks every element.
    GstState current = GST_STATE_VOID_PENDING;
    GstState pending = GST_STATE_VOID_PENDING;
    if (gst_element_get_state(m_pipeline, &current, &pending, 0) == GST_STATE_CHANGE_SUCCESS &&
        current == GST_STATE_PLAYING && pending == GST_STATE_VOID_PENDING)
        return TGraphResult::Done;
    return SetState(GST_STATE_PLAYING);
}

TGraphResult TGstGraph::WaitForState() {
    return gst_element_get_state(m_pipeline, nullptr, nullptr, GST_CLOCK_TIME_NONE) ==
                   GST_STATE_CHANGE_FAILURE
               ? TGraphResult::Failed
               : TGraphResult::Done;
}

void TGstGraph::SeekKeyFrame(GstElement* sink, int64_t startNs) {
    const auto flags =
        static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT | GST_SEEK_FLAG_SNAP_BEFORE);
    gst_element_seek_simple(sink, GST_FORMAT_TIME, flags, startNs);
    gst_element_get_state(m_pipeline, nullptr, nullptr, GST_CLOCK_TIME_NONE);
}

bool TGstGraph::SetPositionFrame(int64_t frame, uint32_t rate, uint32_t scale) {
    if (frame < 0 || rate == 0)
        return false;
    const bool byVideo = m_video.Sink != nullptr && m_video.FpsNumerator > 0;
    TBranch& lead = byVideo ? m_video : m_audio;
    if (lead.Sink == nullptr)
        return false;
    const double frameSeconds = byVideo ? static_cast<double>(m_video.FpsDenominator) / m_video.FpsNumerator
                                        : static_cast<double>(scale) / rate;
    // Where times can be trusted the decoder drops what precedes the target
    // (ACCURATE), so only the target is converted. Elsewhere the seek goes to
    // a key frame a few frames before, because the picture it lands on can
    // carry a time a frame or two off.
    const bool isAccurate = byVideo && !m_timesUntrusted && !m_isProgramStream;
    const double leadFrames = !byVideo ? 0 : isAccurate ? 0.5 : 3;
    const int64_t targetNs =
        lead.OriginNs +
        std::llround(std::max(0.0, static_cast<double>(frame) - leadFrames) * frameSeconds * 1e9);
    const int64_t audioTarget =
        static_cast<int64_t>(static_cast<double>(m_audio.SampleRate) * frame * scale / rate);
    if (byVideo && (m_timesUntrusted || m_gridByTime) && ContinueTo(frame, audioTarget))
        return true;
    m_readAheadNow = ReadAheadAfterSeek;
    if (byVideo && m_timesUntrusted && m_codedKind != TCodedKind::Unknown) {
        const int64_t landed = SeekToReadableKey(frame, frameSeconds * NanosecondsPerSecond);
        if (landed >= 0) {
            {
                std::lock_guard<std::mutex> lock(m_eventsLock);
                m_events.clear();
                m_atEnd = false;
                m_event.Reset();
            }
            {
                std::lock_guard<std::mutex> lock(m_video.Lock);
                DropPending(m_video);
                m_video.IndexKnown = true;
                m_video.NextIndex = landed;
                m_video.DropBelow = frame;
            }
            if (m_audio.Sink != nullptr) {
                std::lock_guard<std::mutex> lock(m_audio.Lock);
                m_audio.DropBelow = audioTarget;
                m_audio.DeliveredEnd = audioTarget;
            }
            return true;
        }
        // Nothing to go by: counted from the start below.
    }
    // Program streams land late, at worst behind the last key frame, where the
    // decoder gives up: check where the seek landed and back off. They land
    // about a second after the time asked for (GStreamer 1.22): asking that
    // much earlier at once saves a flush and a preroll.
    int64_t marginNs = m_isProgramStream ? GST_SECOND * 3 / 2 : 0;
    int64_t startNs = 0;
    bool landedInPlace = false;
    for (int attempt = 0; attempt < 8 && !landedInPlace; ++attempt) {
        startNs =
            targetNs - marginNs <= lead.OriginNs || (byVideo && m_timesUntrusted) ? 0 : targetNs - marginNs;
        const auto flags = static_cast<GstSeekFlags>(
            GST_SEEK_FLAG_FLUSH |
            (isAccurate ? GST_SEEK_FLAG_ACCURATE : GST_SEEK_FLAG_KEY_UNIT | GST_SEEK_FLAG_SNAP_BEFORE));
        if (!gst_element_seek_simple(lead.Sink, GST_FORMAT_TIME, flags, startNs))
            return false;
        if (gst_element_get_state(m_pipeline, nullptr, nullptr, GST_CLOCK_TIME_NONE) ==
            GST_STATE_CHANGE_FAILURE) {
            // An element that posted an error keeps failing until its state is set again.
            gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
        } else if (!byVideo) {
            landedInPlace = true;
        } else {
            // An accurate seek drops pictures that end before the target; one
            // held on screen longer than its stated duration is lost that way,
            // and the first picture left is due after the target.
            const int64_t landed = PrerollIndex(lead);
            landedInPlace = landed >= 0 && static_cast<double>(landed) + leadFrames <= frame + 0.5;
        }
        if (startNs == 0)
            break;
        marginNs = std::max<int64_t>(GST_SECOND, marginNs * 2);
    }
    if (gst_element_get_state(m_pipeline, nullptr, nullptr, GST_CLOCK_TIME_NONE) == GST_STATE_CHANGE_FAILURE)
        return false;
    {
        std::lock_guard<std::mutex> lock(m_eventsLock);
        m_events.clear();
        m_atEnd = false;
        m_event.Reset();
    }
    if (m_video.Sink != nullptr && m_gridByTime) {
        std::lock_guard<std::mutex> lock(m_video.Lock);
        DropHeld(m_video);
        m_video.IndexKnown = true;
        m_video.NextIndex = frame;
        m_video.DropBelow = frame;
    } else if (m_video.Sink != nullptr) {
        std::lock_guard<std::mutex> lock(m_video.Lock);
        DropPending(m_video);
        // From the very start the count is the frame index itself; after an
        // accurate seek the waiting picture's time tells it.
        const int64_t landed = isAccurate && startNs != 0 ? PrerollIndex(m_video) : -1;
        m_video.IndexKnown = startNs == 0 || !byVideo || landed >= 0;
        m_video.NextIndex = !byVideo ? frame : landed >= 0 ? landed : 0;
        m_video.DropBelow = frame;
    }
    if (m_audio.Sink != nullptr) {
        std::lock_guard<std::mutex> lock(m_audio.Lock);
        m_audio.DropBelow = audioTarget;
        m_audio.DeliveredEnd = audioTarget;
    }
    return true;
}

// The index of the first of a run of consecutive pictures: the one most of
// their times agree on. Decoders of AVI files with B-frames and of program
// streams give the picture after a key frame the time of an earlier one.
int64_t TGstGraph::FirstIndex(const std::vector<int64_t>& times) {
    std::vector<int64_t> candidates;
    for (size_t k = 0; k < times.size() && k < PendingPictures; ++k)
        if (times[k] >= 0)
            candidates.push_back(IndexAt(m_video, times[k]) - static_cast<int64_t>(k));
    if (candidates.empty())
        return 0;
    std::sort(candidates.begin(), candidates.end());
    int64_t best = candidates.front();
    size_t bestRun = 0;
    for (size_t i = 0; i < candidates.size();) {
        size_t j = i;
        while (j < candidates.size() && candidates[j] == candidates[i])
            ++j;
        if (j - i > bestRun) {
            bestRun = j - i;
            best = candidates[i];
        }
        i = j;
    }
    return std::max<int64_t>(0, best);
}

void TGstGraph::DropPending(TBranch& branch) {
    for (GstSample* sample : branch.Pending)
        gst_sample_unref(sample);
    branch.Pending.clear();
}

// Called with the video lock held.
void TGstGraph::ResolvePending() {
    std::vector<int64_t> times;
    for (GstSample* sample : m_video.Pending)
        times.push_back(StreamTimeNs(sample));
    m_video.NextIndex = FirstIndex(times);
    m_video.IndexKnown = true;
    std::vector<GstSample*> pending;
    pending.swap(m_video.Pending);
    for (GstSample* sample : pending) {
        Deliver(m_video, sample, true);
        gst_sample_unref(sample);
    }
}

void TGstGraph::WaitForEvent() {
    WaitForEither(m_event, m_event);
}

// Containers that store times in milliseconds round the frame duration.
constexpr int CommonRates[][2] = {{24000, 1001}, {24, 1}, {25, 1}, {30000, 1001}, {30, 1}, {50, 1},
                                  {60000, 1001}, {60, 1}, {15, 1}, {10, 1},       {12, 1}, {5, 1}};

bool IsCommonRate(int numerator, int denominator) {
    for (const auto& rate : CommonRates)
        if (static_cast<int64_t>(rate[0]) * denominator == static_cast<int64_t>(numerator) * rate[1])
            return true;
    return false;
}

void TGstGraph::EstimateFrameRate(const std::vector<int64_t>& times) {
    std::vector<int64_t> sorted;
    for (int64_t time : times)
        if (time >= 0)
            sorted.push_back(time);
    std::sort(sorted.begin(), sorted.end());
    std::vector<int64_t> deltas;
    for (size_t i = 1; i < sorted.size(); ++i)
        if (sorted[i] > sorted[i - 1])
            deltas.push_back(sorted[i] - sorted[i - 1]);
    if (deltas.empty())
        return;
    std::nth_element(deltas.begin(), deltas.begin() + static_cast<std::ptrdiff_t>(deltas.size() / 2),
                     deltas.end());
    const double fps = NanosecondsPerSecond / static_cast<double>(deltas[deltas.size() / 2]);
    for (const auto& candidate : CommonRates) {
        const double value = static_cast<double>(candidate[0]) / candidate[1];
        if (std::fabs(fps - value) / value < 0.01) {
            m_video.FpsNumerator = candidate[0];
            m_video.FpsDenominator = candidate[1];
            return;
        }
    }
    m_video.FpsNumerator = static_cast<int>(std::llround(fps * 1000));
    m_video.FpsDenominator = 1000;
}

// Reads the last second of the video to learn its length (and its frame rate
// when the caps lack it), then returns to the start.
// The sink pad of the video decoder decodebin chose; nullptr when there is none.
GstPad* TGstGraph::VideoDecoderEntry() {
    GstPad* entry = nullptr;
    GstIterator* elements = gst_bin_iterate_recurse(GST_BIN(m_pipeline));
    GValue item = G_VALUE_INIT;
    while (entry == nullptr && gst_iterator_next(elements, &item) == GST_ITERATOR_OK) {
        GstElement* element = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* factory = gst_element_get_factory(element);
        const char* klass = factory != nullptr
                                ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS)
                                : nullptr;
        if (klass != nullptr && std::strstr(klass, "Decoder") != nullptr &&
            std::strstr(klass, "Video") != nullptr)
            entry = gst_element_get_static_pad(element, "sink");
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(elements);
    return entry;
}

int64_t TGstGraph::PadStreamTimeNs(GstPad* pad, GstBuffer* buffer) {
    if (!GST_BUFFER_PTS_IS_VALID(buffer))
        return -1;
    if (m_isTransportStream)
        return static_cast<int64_t>(GST_BUFFER_PTS(buffer));
    GstEvent* event = gst_pad_get_sticky_event(pad, GST_EVENT_SEGMENT, 0);
    if (event == nullptr)
        return static_cast<int64_t>(GST_BUFFER_PTS(buffer));
    const GstSegment* segment = nullptr;
    gst_event_parse_segment(event, &segment);
    const guint64 time = gst_segment_to_stream_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
    gst_event_unref(event);
    return time == GST_CLOCK_TIME_NONE ? -1 : static_cast<int64_t>(time);
}

GstPadProbeReturn TGstGraph::OnPictureEntered(GstPad* pad, GstPadProbeInfo* info, gpointer self) {
    constexpr size_t KeptTimes = 64;
    auto* graph = static_cast<TGstGraph*>(self);
    TBranch& branch = graph->m_video;
    if ((GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) != 0) {
        GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        const int64_t time = buffer != nullptr ? graph->PadStreamTimeNs(pad, buffer) : -1;
        {
            std::lock_guard<std::mutex> lock(branch.Lock);
            branch.Entered.push_back(time);
            if (branch.Entered.size() > KeptTimes)
                branch.Entered.pop_front();
        }
        branch.EnteredMore.notify_all();
        return GST_PAD_PROBE_OK;
    }
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    const GstEventType type = event != nullptr ? GST_EVENT_TYPE(event) : GST_EVENT_UNKNOWN;
    if (type == GST_EVENT_EOS) {
        {
            std::lock_guard<std::mutex> lock(branch.Lock);
            branch.EnteredEnd = true;
        }
        branch.EnteredMore.notify_all();
    } else if (type == GST_EVENT_FLUSH_START || type == GST_EVENT_FLUSH_STOP) {
        std::lock_guard<std::mutex> lock(branch.Lock);
        branch.Entered.clear();
        branch.EnteredEnd = false;
    }
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn TGstGraph::OnScannedPacket(GstPad* pad, GstPadProbeInfo* info, gpointer self) {
    auto* graph = static_cast<TGstGraph*>(self);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (buffer == nullptr || !GST_BUFFER_PTS_IS_VALID(buffer))
        return GST_PAD_PROBE_DROP;
    int64_t time = static_cast<int64_t>(GST_BUFFER_PTS(buffer));
    GstEvent* event = gst_pad_get_sticky_event(pad, GST_EVENT_SEGMENT, 0);
    if (event != nullptr && !graph->m_isTransportStream) {
        const GstSegment* segment = nullptr;
        gst_event_parse_segment(event, &segment);
        const guint64 streamTime =
            gst_segment_to_stream_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
        time = streamTime == GST_CLOCK_TIME_NONE ? -1 : static_cast<int64_t>(streamTime);
    }
    if (event != nullptr)
        gst_event_unref(event);
    std::lock_guard<std::mutex> lock(graph->m_video.Lock);
    graph->m_video.ScanTimes.push_back(time);
    return GST_PAD_PROBE_DROP;
}

void TGstGraph::ScanVideoEnd(int64_t containerNs) {
    {
        std::lock_guard<std::mutex> lock(m_video.Lock);
        m_video.Scanning = true;
        m_video.ScanTimes.clear();
    }
    // Where times hold, the packets' own times tell the last picture and the
    // rate: they are taken before the decoder, which then decodes nothing.
    GstPad* decoderEntry = m_gridByTime ? VideoDecoderEntry() : nullptr;
    const gulong probe = decoderEntry != nullptr ? gst_pad_add_probe(decoderEntry, GST_PAD_PROBE_TYPE_BUFFER,
                                                                     OnScannedPacket, this, nullptr)
                                                 : 0;
    const int64_t startNs = std::max<int64_t>(0, m_video.OriginNs + containerNs - GST_SECOND);
    SeekKeyFrame(m_video.Sink, startNs);
    if (gst_element_set_state(m_pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE)
        WaitForEvent();
    gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
    if (decoderEntry != nullptr) {
        gst_pad_remove_probe(decoderEntry, probe);
        gst_object_unref(decoderEntry);
    }
    std::vector<int64_t> times;
    {
        std::lock_guard<std::mutex> lock(m_video.Lock);
        m_video.Scanning = false;
        times.swap(m_video.ScanTimes);
    }
    // MP4 states the average rate (pictures over duration), which is no grid
    // for a phone's variable rate: the step most pictures keep is.
    if (m_video.FpsNumerator <= 0 ||
        (m_gridByTime && !IsCommonRate(m_video.FpsNumerator, m_video.FpsDenominator)))
        EstimateFrameRate(times);
    if (!times.empty() && m_video.FpsNumerator > 0 && m_gridByTime) {
        int64_t last = -1;
        for (int64_t time : times)
            if (time >= 0)
                last = std::max(last, IndexAt(m_video, time));
        if (last >= 0)
            m_videoFrames = last + 1;
    } else if (!times.empty() && m_video.FpsNumerator > 0) {
        m_videoFrames = FirstIndex(times) + static_cast<int64_t>(times.size());
    }
    {
        std::lock_guard<std::mutex> lock(m_eventsLock);
        m_events.clear();
        m_atEnd = false;
        m_event.Reset();
    }
    SeekKeyFrame(m_video.Sink, 0);
    std::lock_guard<std::mutex> lock(m_video.Lock);
    m_video.IndexKnown = true;
    m_video.NextIndex = 0;
    m_video.DropBelow = 0;
    DropHeld(m_video);
    std::lock_guard<std::mutex> audioLock(m_audio.Lock);
    m_audio.DropBelow = 0;
    m_audio.DeliveredEnd = 0;
}

void TGstGraph::PostEvent(int32_t code) {
    {
        std::lock_guard<std::mutex> lock(m_eventsLock);
        m_events.push_back(code);
        if (code == GraphEventComplete)
            m_atEnd = true;
    }
    m_event.Set();
}

bool TGstGraph::GetEvent(int32_t& code) {
    std::lock_guard<std::mutex> lock(m_eventsLock);
    if (m_events.empty()) {
        m_event.Reset();
        return false;
    }
    code = m_events.front();
    m_events.pop_front();
    if (m_events.empty())
        m_event.Reset();
    return true;
}

GstFlowReturn TGstGraph::OnSample(GstAppSink* sink, bool isVideo) {
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (sample == nullptr)
        return GST_FLOW_OK;
    TBranch& branch = isVideo ? m_video : m_audio;
    std::unique_lock<std::mutex> lock(branch.Lock);
    HoldAtReadAhead(lock, isVideo);
    if (isVideo && branch.Scanning) {
        branch.ScanTimes.push_back(StreamTimeNs(sample));
    } else if (isVideo && m_gridByTime) {
        PlaceOnGrid(branch, sample); // also detached: a seek may read on from here
    } else if (isVideo && branch.Callback == nullptr && branch.IndexKnown) {
        ++branch.NextIndex; // a detached stream is still counted
    } else if (branch.Callback != nullptr) {
        if (isVideo && !branch.IndexKnown) {
            branch.Pending.push_back(gst_sample_ref(sample));
            if (branch.Pending.size() >= PendingPictures)
                ResolvePending();
        } else {
            Deliver(branch, sample, isVideo);
        }
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

// The pause of a graph that has read ahead: the lead stream (video, else
// audio) waits while its queue is full, unless the consumer waits for audio
// behind it; a detached callback (a seek or stop on its way) always lets it
// through.
void TGstGraph::HoldAtReadAhead(std::unique_lock<std::mutex>& lock, bool isVideo) {
    const bool isLead = isVideo || m_video.Sink == nullptr;
    if (!isLead)
        return;
    TBranch& branch = isVideo ? m_video : m_audio;
    const auto mustHold = [&] {
        if (branch.Callback == nullptr || branch.Scanning ||
            branch.Callback->Buffers().Count() < m_readAheadNow)
            return false;
        if (!isVideo || m_audio.Sink == nullptr)
            return true;
        std::lock_guard<std::mutex> audioLock(m_audio.Lock);
        return m_audio.Callback == nullptr || !m_audio.Callback->Buffers().Event().HasWaiters();
    };
    // Pops signal Room under the branch lock, so none falls between the check
    // and the wait; looking again every 2 ms covers a consumer that starts
    // waiting for audio, which signals nothing. A shorter poll costs a core's
    // wake-ups for as long as the graph is held.
    while (mustHold())
        branch.Room.wait_for(lock, std::chrono::milliseconds(2));
}

// Called with the branch lock held.
void TGstGraph::Deliver(TBranch& branch, GstSample* sample, bool isVideo) {
    const int64_t time = StreamTimeNs(sample);
    if (isVideo) {
        if (branch.NextIndex++ >= branch.DropBelow)
            Hand(branch, sample, time, 0);
        return;
    }
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (buffer == nullptr || branch.Callback == nullptr)
        return;
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
        return;
    const size_t frameBytes = static_cast<size_t>(std::max(branch.Channels, 1)) * 2;
    const int64_t count = static_cast<int64_t>(map.size / frameBytes);
    const int64_t first = time >= 0 ? IndexAt(branch, time) : branch.DeliveredEnd;
    size_t skipBytes = 0;
    bool keep = true;
    if (branch.DropBelow > 0 && time >= 0) {
        if (first + count <= branch.DropBelow) {
            keep = false;
        } else {
            skipBytes = static_cast<size_t>(std::max<int64_t>(0, branch.DropBelow - first)) * frameBytes;
            branch.DropBelow = 0;
        }
    }
    // Audio is copied: buffers the caller never drains must not pin the graph's.
    if (keep) {
        branch.Callback->BufferCB(time >= 0 ? static_cast<double>(time) / NanosecondsPerSecond : 0,
                                  map.data + skipBytes, static_cast<int32_t>(map.size - skipBytes));
        branch.DeliveredEnd = first + count;
    }
    gst_buffer_unmap(buffer, &map);
}

// Called with the branch lock held. The picture's own memory is queued; the
// consumer's copy into its frame buffer is the only one.
void TGstGraph::Hand(TBranch& branch, GstSample* sample, int64_t time, size_t skipBytes) {
    if (branch.Callback == nullptr)
        return;
    TMappedSample* mapped = TMappedSample::Map(sample);
    if (mapped == nullptr)
        return;
    skipBytes = std::min(skipBytes, mapped->Size());
    branch.Callback->BufferCBShared(time >= 0 ? static_cast<double>(time) / NanosecondsPerSecond : 0,
                                    mapped->Data() + skipBytes,
                                    static_cast<int32_t>(mapped->Size() - skipBytes), mapped);
}

// Called with the video lock held. Frame n shows the last picture due at or
// before n: a picture is held until a later one is due, then handed for
// every slot it covered (a dropped frame repeats the picture before it), and
// one superseded within its slot is never shown.
void TGstGraph::PlaceOnGrid(TBranch& branch, GstSample* sample) {
    const int64_t time = StreamTimeNs(sample);
    int64_t due = time >= 0                ? IndexAt(branch, time)
                  : branch.Held != nullptr ? branch.HeldDue + 1
                                           : branch.NextIndex;
    if (branch.Held == nullptr) {
        // Nothing earlier came after the seek: this one shows from the slot sought.
        due = std::min(due, branch.NextIndex);
    } else if (due > branch.HeldDue) {
        HandHeld(branch, due);
    } else {
        due = branch.HeldDue;
        DropHeld(branch);
    }
    branch.Held = gst_sample_ref(sample);
    branch.HeldDue = due;
    // Already decoded after it: its slots are known without waiting for the
    // next picture to be converted (a seek then costs one conversion).
    while (!branch.Entered.empty() && branch.Entered.front() >= 0 && time >= 0 &&
           branch.Entered.front() <= time)
        branch.Entered.pop_front();
    if (time >= 0 && !branch.Entered.empty() && branch.Entered.front() > time)
        HandSlots(branch, IndexAt(branch, branch.Entered.front()));
}

// Hands the held picture for its slots before untilSlot (never past the
// length: a time far ahead must not flood the queue), then lets it go.
void TGstGraph::HandHeld(TBranch& branch, int64_t untilSlot) {
    HandSlots(branch, untilSlot);
    DropHeld(branch);
}

void TGstGraph::HandSlots(TBranch& branch, int64_t untilSlot) {
    const int64_t length = m_gridFrames;
    if (length > 0)
        untilSlot = std::min(untilSlot, length);
    const double slotNs = NanosecondsPerSecond * branch.FpsDenominator / std::max(branch.FpsNumerator, 1);
    for (int64_t slot = std::max(branch.NextIndex, branch.HeldDue); slot < untilSlot; ++slot) {
        branch.NextIndex = slot + 1;
        if (slot >= branch.DropBelow)
            Hand(branch, branch.Held, branch.OriginNs + std::llround(static_cast<double>(slot) * slotNs), 0);
    }
}

void TGstGraph::DropHeld(TBranch& branch) {
    if (branch.Held != nullptr)
        gst_sample_unref(branch.Held);
    branch.Held = nullptr;
    branch.HeldDue = -1;
}

void TGstGraph::OnVideoEos(GstAppSink*, gpointer self) {
    auto* graph = static_cast<TGstGraph*>(self);
    std::lock_guard<std::mutex> lock(graph->m_video.Lock);
    // The last picture lasts to the end of the length.
    if (graph->m_gridByTime && graph->m_video.Held != nullptr)
        graph->HandHeld(graph->m_video, std::max(graph->m_video.HeldDue + 1, graph->m_gridFrames.load()));
    if (!graph->m_video.IndexKnown && !graph->m_video.Pending.empty() && graph->m_video.Callback != nullptr)
        graph->ResolvePending();
}

GstBusSyncReply TGstGraph::OnBusMessage(GstBus*, GstMessage* message, gpointer self) {
    auto* graph = static_cast<TGstGraph*>(self);
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
        // The graph reads ahead and may reach the end just before a seek; its
        // end-of-stream message can then come after the seek's flush. Only a
        // sink that still is at the end makes it count.
        GstElement* lead = graph->m_video.Sink != nullptr ? graph->m_video.Sink : graph->m_audio.Sink;
        if (lead == nullptr || gst_app_sink_is_eos(GST_APP_SINK(lead)))
            graph->PostEvent(GraphEventComplete);
    } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
        graph->PostEvent(GraphEventErrorAbort);
    gst_message_unref(message);
    return GST_BUS_DROP;
}

void TGstGraph::OnElementAdded(GstBin*, GstBin*, GstElement* element, gpointer self) {
    GstElementFactory* factory = gst_element_get_factory(element);
    if (factory != nullptr && g_str_equal(GST_OBJECT_NAME(factory), "avidemux"))
        g_signal_connect(element, "pad-added", G_CALLBACK(OnDemuxerPad), self);
}

void TGstGraph::OnDemuxerPad(GstElement*, GstPad* pad, gpointer self) {
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (caps == nullptr)
        return;
    const GstStructure* structure = gst_caps_get_structure(caps, 0);
    int version = 0;
    if (g_str_equal(gst_structure_get_name(structure), "video/mpeg") &&
        gst_structure_get_int(structure, "mpegversion", &version) && version == 4)
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, OnCompressed, self, nullptr);
    gst_caps_unref(caps);
}

// Looks for B-VOPs (start code 00 00 01 B6, coding type 2) in the packets the
// AVI demuxer hands on; the preroll sees the first seconds of the file.
GstPadProbeReturn TGstGraph::OnCompressed(GstPad*, GstPadProbeInfo* info, gpointer self) {
    auto* graph = static_cast<TGstGraph*>(self);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    GstMapInfo map;
    if (graph->m_sawBVop || buffer == nullptr || !gst_buffer_map(buffer, &map, GST_MAP_READ))
        return GST_PAD_PROBE_OK;
    for (size_t i = 0; i + 4 < map.size; ++i)
        if (map.data[i] == 0 && map.data[i + 1] == 0 && map.data[i + 2] == 1 && map.data[i + 3] == 0xB6 &&
            (map.data[i + 4] >> 6) == 2) {
            graph->m_sawBVop = true;
            break;
        }
    gst_buffer_unmap(buffer, &map);
    return GST_PAD_PROBE_OK;
}

void TGstGraph::WatchCodedPackets() {
    GstPad* entry = VideoDecoderEntry();
    if (entry == nullptr)
        return;
    GstCaps* caps = gst_pad_get_current_caps(entry);
    if (caps != nullptr && gst_caps_get_size(caps) > 0) {
        const GstStructure* structure = gst_caps_get_structure(caps, 0);
        const char* name = gst_structure_get_name(structure);
        int version = 0;
        if (g_str_equal(name, "video/x-h264"))
            m_codedKind = TCodedKind::H264;
        else if (g_str_equal(name, "video/mpeg") && gst_structure_get_int(structure, "mpegversion", &version))
            m_codedKind = version == 4 ? TCodedKind::Mpeg4 : version <= 2 ? TCodedKind::Mpeg2 : m_codedKind;
    }
    if (caps != nullptr)
        gst_caps_unref(caps);
    // H.264 after the parser: NAL units behind their lengths (the size of a
    // length is in the codec data), or a byte stream with start codes.
    if (m_codedKind == TCodedKind::H264) {
        GstCaps* current = gst_pad_get_current_caps(entry);
        const GstStructure* structure = current != nullptr ? gst_caps_get_structure(current, 0) : nullptr;
        const char* format =
            structure != nullptr ? gst_structure_get_string(structure, "stream-format") : nullptr;
        const GValue* codecData =
            structure != nullptr ? gst_structure_get_value(structure, "codec_data") : nullptr;
        m_nalLengthSize = 0;
        if (format != nullptr && g_str_equal(format, "avc") && codecData != nullptr &&
            G_VALUE_HOLDS(codecData, GST_TYPE_BUFFER)) {
            GstMapInfo map;
            GstBuffer* data = gst_value_get_buffer(codecData);
            if (gst_buffer_map(data, &map, GST_MAP_READ)) {
                if (map.size > 4)
                    m_nalLengthSize = (map.data[4] & 3) + 1;
                gst_buffer_unmap(data, &map);
            }
            if (m_nalLengthSize == 0)
                m_codedKind = TCodedKind::Unknown;
        } else if (format == nullptr || !g_str_equal(format, "byte-stream")) {
            m_codedKind = TCodedKind::Unknown;
        }
        if (current != nullptr)
            gst_caps_unref(current);
    }
    if (m_codedKind != TCodedKind::Unknown)
        gst_pad_add_probe(entry,
                          static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                       GST_PAD_PROBE_TYPE_EVENT_FLUSH |
                                                       GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                          OnCodedPacket, this, nullptr);
    gst_object_unref(entry);
}

GstPadProbeReturn TGstGraph::OnCodedPacket(GstPad* pad, GstPadProbeInfo* info, gpointer self) {
    auto* graph = static_cast<TGstGraph*>(self);
    TKeyLanding& landing = graph->m_landing;
    if ((GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) == 0) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        const GstEventType type = event != nullptr ? GST_EVENT_TYPE(event) : GST_EVENT_UNKNOWN;
        {
            std::lock_guard<std::mutex> lock(graph->m_video.Lock);
            if (type == GST_EVENT_FLUSH_STOP)
                landing = TKeyLanding{};
            else if (type == GST_EVENT_EOS && landing.Started)
                landing.Done = true;
        }
        graph->m_video.EnteredMore.notify_all();
        return GST_PAD_PROBE_OK;
    }
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    {
        std::lock_guard<std::mutex> lock(graph->m_video.Lock);
        if (landing.Done || buffer == nullptr)
            return GST_PAD_PROBE_OK;
    }
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
        return GST_PAD_PROBE_OK;
    const TCodedPicture coded =
        ParseCodedPicture(graph->m_codedKind, map.data, map.size, graph->m_nalLengthSize);
    gst_buffer_unmap(buffer, &map);
    // AVI keeps decoding times (a chunk's place in the file); program streams
    // the key frame's own presentation time.
    int64_t time = -1;
    GstEvent* segmentEvent = gst_pad_get_sticky_event(pad, GST_EVENT_SEGMENT, 0);
    const GstClockTime stamp =
        graph->m_isAvi && GST_BUFFER_DTS_IS_VALID(buffer) ? GST_BUFFER_DTS(buffer) : GST_BUFFER_PTS(buffer);
    if (segmentEvent != nullptr && GST_CLOCK_TIME_IS_VALID(stamp)) {
        const GstSegment* segment = nullptr;
        gst_event_parse_segment(segmentEvent, &segment);
        const guint64 streamTime = gst_segment_to_stream_time(segment, GST_FORMAT_TIME, stamp);
        time = streamTime == GST_CLOCK_TIME_NONE ? -1 : static_cast<int64_t>(streamTime);
    }
    if (segmentEvent != nullptr)
        gst_event_unref(segmentEvent);
    {
        std::lock_guard<std::mutex> lock(graph->m_video.Lock);
        if (!landing.Started) {
            landing.Started = true;
            landing.KeyNs = time;
            landing.Readable = coded.Pictures == 1 && coded.Type == 'I' && time >= 0;
            landing.LeadingShown = coded.ClosedGop;
            // An IDR picture has no leading pictures.
            landing.Done = !landing.Readable || graph->m_codedKind == TCodedKind::H264;
        } else if (coded.Pictures == 1 && coded.Type == 'B') {
            ++landing.Leading;
        } else {
            landing.Readable = landing.Readable && coded.Pictures == 1;
            landing.Done = true;
        }
    }
    graph->m_video.EnteredMore.notify_all();
    return GST_PAD_PROBE_OK;
}

// Seeks to a key frame at or before frame and returns the index of the first
// picture the decoder puts out from there: in AVI the key frame's place in
// decoding order plus the B-pictures after it that are shown before it (the
// decoder drops them, their earlier reference missing, unless the GOP is
// closed); in a program stream its own time. -1 when the packets tell
// nothing.
int64_t TGstGraph::SeekToReadableKey(int64_t frame, double frameNs) {
    constexpr auto LeadingWait = std::chrono::milliseconds(500);
    // B-pictures a key frame may be shown after.
    constexpr int64_t MaxLeading = 3;
    int64_t marginNs = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int64_t startNs = std::max<int64_t>(
            0, m_video.OriginNs + std::llround(static_cast<double>(frame - MaxLeading) * frameNs) - marginNs);
        const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT |
                                                     GST_SEEK_FLAG_SNAP_BEFORE);
        if (!gst_element_seek_simple(m_video.Sink, GST_FORMAT_TIME, flags, startNs))
            return -1;
        if (gst_element_get_state(m_pipeline, nullptr, nullptr, GST_CLOCK_TIME_NONE) ==
            GST_STATE_CHANGE_FAILURE) {
            gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
            return -1;
        }
        std::unique_lock<std::mutex> lock(m_video.Lock);
        if (!m_video.EnteredMore.wait_for(lock, LeadingWait, [&] { return m_landing.Done; }) ||
            !m_landing.Readable)
            return -1;
        const int64_t key = IndexAt(m_video, m_landing.KeyNs);
        const int64_t first = m_isAvi ? key + (m_landing.LeadingShown ? 0 : m_landing.Leading)
                                      : key - (m_landing.LeadingShown ? m_landing.Leading : 0);
        if (first >= 0 && first <= frame)
            return first;
        if (startNs == 0)
            return -1;
        marginNs = std::max<int64_t>(GST_SECOND, marginNs * 2);
    }
    return -1;
}

void TGstGraph::OnPadAdded(GstElement*, GstPad* pad, gpointer self) {
    static_cast<TGstGraph*>(self)->LinkPad(pad);
}

GstFlowReturn TGstGraph::OnVideoSample(GstAppSink* sink, gpointer self) {
    return static_cast<TGstGraph*>(self)->OnSample(sink, true);
}

GstFlowReturn TGstGraph::OnAudioSample(GstAppSink* sink, gpointer self) {
    return static_cast<TGstGraph*>(self)->OnSample(sink, false);
}

} // namespace

bool InitialiseGStreamer() {
    static const bool initialised = gst_init_check(nullptr, nullptr, nullptr) != FALSE;
    return initialised;
}

std::unique_ptr<TFilterGraph> CreateGStreamerGraph(TWaitSignal& signal) {
    auto graph = std::make_unique<TGstGraph>(signal);
    if (!graph->Create())
        return nullptr;
    return graph;
}
