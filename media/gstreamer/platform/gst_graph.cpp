#include "media/gstreamer/platform/gst_graph.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <mutex>

namespace {

constexpr double NanosecondsPerSecond = 1e9;

struct TBranch {
    GstElement* Sink = nullptr; // appsink; nullptr until the decoder offers the stream
    GstPad* Entry = nullptr;    // sink pad of the branch's queue
    std::mutex Lock;            // guards Callback and the index bookkeeping below
    TSampleGrabberCB* Callback = nullptr;
    // Video: frames are counted from the first buffer after a seek, whose
    // index comes from its time; buffers before DropBelow are the lead-in of
    // a key-frame seek. Audio: the same in sample frames, trimmed to the byte.
    int64_t NextIndex = -1; // -1: take it from the next buffer's time
    int64_t DropBelow = 0;
    int64_t OriginNs = 0; // stream time of frame or sample 0
    int FpsNumerator = 0;
    int FpsDenominator = 1;
    int SampleRate = 0;
    int Channels = 0;
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
    TGraphResult Pause() override { return SetState(GST_STATE_PAUSED); }
    TGraphResult Stop() override { return SetState(GST_STATE_PAUSED); }
    TGraphResult WaitForState() override;
    bool SetPositionFrame(int64_t frame, uint32_t rate, uint32_t scale) override;
    TManualResetEvent* GetEventHandle() override { return &m_event; }
    bool GetEvent(int32_t& code) override;

private:
    TBranch& Branch(TGraphStream stream) { return stream == TGraphStream::Video ? m_video : m_audio; }
    TGraphResult SetState(GstState state);
    void PostEvent(int32_t code);
    void LinkPad(GstPad* pad);
    GstElement* BuildBranch(bool isVideo);
    void ReadFormats();
    int64_t StreamTimeNs(GstSample* sample);
    int64_t IndexAt(const TBranch& branch, int64_t streamTimeNs);
    int64_t PrerollIndex(TBranch& branch);
    GstFlowReturn OnSample(GstAppSink* sink, bool isVideo);

    static GstBusSyncReply OnBusMessage(GstBus*, GstMessage* message, gpointer self);
    static void OnPadAdded(GstElement*, GstPad* pad, gpointer self);
    static GstFlowReturn OnVideoSample(GstAppSink* sink, gpointer self);
    static GstFlowReturn OnAudioSample(GstAppSink* sink, gpointer self);

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
    bool m_atEnd = false; // guarded by m_eventsLock
};

TGstGraph::~TGstGraph() {
    if (m_pipeline != nullptr) {
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
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
    return gst_element_link(source, m_decoder) != FALSE;
}

bool TGstGraph::LoadFile(const std::string& fileName) {
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (file == nullptr)
        return false;
    std::fclose(file);
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
    const char* description =
        isVideo ? (m_deinterlace ? "queue ! deinterlace ! videoconvert ! video/x-raw,format=BGRx ! appsink name=sink"
                                 : "queue ! videoconvert ! video/x-raw,format=BGRx ! appsink name=sink")
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
        branch->NextIndex = -1;
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
    // MP4 buffer times start after the edit list; the segment maps them back.
    const guint64 time =
        gst_segment_to_stream_time(gst_sample_get_segment(sample), GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
    return time == GST_CLOCK_TIME_NONE ? -1 : static_cast<int64_t>(time);
}

int64_t TGstGraph::IndexAt(const TBranch& branch, int64_t streamTimeNs) {
    const double seconds = static_cast<double>(streamTimeNs - branch.OriginNs) / NanosecondsPerSecond;
    const double perSecond = &branch == &m_video
                                 ? static_cast<double>(branch.FpsNumerator) / std::max(branch.FpsDenominator, 1)
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
    // Asked of the sink, not the pipeline: the pipeline answers with the
    // longest stream, and in frames with audio chunks.
    gint64 nanoseconds = 0;
    const bool hasTime = gst_element_query_duration(branch.Sink, GST_FORMAT_TIME, &nanoseconds) && nanoseconds > 0;
    if (format == TGraphTimeFormat::MediaTime) {
        duration = nanoseconds / 100;
        return hasTime;
    }
    if (stream != TGraphStream::Video)
        return false;
    if (hasTime && branch.FpsNumerator > 0) {
        duration = static_cast<int64_t>(std::llround(static_cast<double>(nanoseconds) * branch.FpsNumerator /
                                                     (static_cast<double>(branch.FpsDenominator) * 1e9)));
        return true;
    }
    gint64 frames = 0;
    if (!gst_element_query_duration(branch.Sink, GST_FORMAT_DEFAULT, &frames) || frames <= 0)
        return false;
    duration = frames;
    return true;
}

bool TGstGraph::SetCallback(TGraphStream stream, TSampleGrabberCB* callback) {
    TBranch& branch = Branch(stream);
    if (branch.Sink == nullptr)
        return false;
    std::lock_guard<std::mutex> lock(branch.Lock);
    branch.Callback = callback;
    return true;
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
    return SetState(GST_STATE_PLAYING);
}

TGraphResult TGstGraph::WaitForState() {
    return gst_element_get_state(m_pipeline, nullptr, nullptr, GST_CLOCK_TIME_NONE) == GST_STATE_CHANGE_FAILURE
               ? TGraphResult::Failed
               : TGraphResult::Done;
}

bool TGstGraph::SetPositionFrame(int64_t frame, uint32_t rate, uint32_t scale) {
    if (frame < 0 || rate == 0)
        return false;
    const bool byVideo = m_video.Sink != nullptr && m_video.FpsNumerator > 0;
    TBranch& lead = byVideo ? m_video : m_audio;
    if (lead.Sink == nullptr)
        return false;
    const double frameSeconds =
        byVideo ? static_cast<double>(m_video.FpsDenominator) / m_video.FpsNumerator : static_cast<double>(scale) / rate;
    const int64_t targetNs = lead.OriginNs + static_cast<int64_t>(std::llround(frame * frameSeconds * 1e9));
    const int64_t audioTarget = static_cast<int64_t>(static_cast<double>(m_audio.SampleRate) * frame * scale / rate);
    {
        std::lock_guard<std::mutex> lock(m_eventsLock);
        m_events.clear();
        m_atEnd = false;
        m_event.Reset();
    }
    // Seek to the key frame before the target and count pictures from there:
    // frame seeks land late in AVI files with B-frames and program streams
    // have no index, so where a seek landed is checked and it backs off.
    int64_t marginNs = 0;
    int64_t landed = -1;
    for (int attempt = 0; attempt < 6; ++attempt) {
        const int64_t startNs = std::max<int64_t>(0, targetNs - marginNs);
        const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT |
                                                     GST_SEEK_FLAG_SNAP_BEFORE);
        if (!gst_element_seek_simple(lead.Sink, GST_FORMAT_TIME, flags, startNs))
            return false;
        if (gst_element_get_state(m_pipeline, nullptr, nullptr, GST_CLOCK_TIME_NONE) == GST_STATE_CHANGE_FAILURE)
            return false;
        {
            std::lock_guard<std::mutex> lock(lead.Lock);
            landed = PrerollIndex(lead);
        }
        if (!byVideo || landed <= frame || startNs == 0)
            break;
        marginNs = std::max<int64_t>(GST_SECOND, marginNs * 2);
    }
    if (m_video.Sink != nullptr) {
        std::lock_guard<std::mutex> lock(m_video.Lock);
        m_video.NextIndex = landed >= 0 && byVideo ? landed : -1;
        m_video.DropBelow = frame;
    }
    if (m_audio.Sink != nullptr) {
        std::lock_guard<std::mutex> lock(m_audio.Lock);
        m_audio.NextIndex = -1;
        m_audio.DropBelow = audioTarget;
    }
    return true;
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
    std::lock_guard<std::mutex> lock(branch.Lock);
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (branch.Callback != nullptr && buffer != nullptr) {
        const int64_t time = StreamTimeNs(sample);
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            size_t skipBytes = 0;
            bool keep = true;
            if (isVideo) {
                if (branch.NextIndex < 0)
                    branch.NextIndex = time >= 0 ? IndexAt(branch, time) : branch.DropBelow;
                keep = branch.NextIndex++ >= branch.DropBelow;
            } else if (branch.DropBelow > 0 && time >= 0) {
                const size_t frameBytes = static_cast<size_t>(std::max(branch.Channels, 1)) * 2;
                const int64_t first = IndexAt(branch, time);
                const int64_t count = static_cast<int64_t>(map.size / frameBytes);
                if (first + count <= branch.DropBelow) {
                    keep = false;
                } else {
                    skipBytes = static_cast<size_t>(std::max<int64_t>(0, branch.DropBelow - first)) * frameBytes;
                    branch.DropBelow = 0;
                }
            }
            if (keep)
                branch.Callback->BufferCB(time >= 0 ? static_cast<double>(time) / NanosecondsPerSecond : 0,
                                          map.data + skipBytes, static_cast<int32_t>(map.size - skipBytes));
            gst_buffer_unmap(buffer, &map);
        }
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

GstBusSyncReply TGstGraph::OnBusMessage(GstBus*, GstMessage* message, gpointer self) {
    auto* graph = static_cast<TGstGraph*>(self);
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS)
        graph->PostEvent(GraphEventComplete);
    else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
        graph->PostEvent(GraphEventErrorAbort);
    gst_message_unref(message);
    return GST_BUS_DROP;
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
