#pragma once
// Window messages: the one way a worker thread (timer callback, audio
// device) tells the window thread that something happened. A message is a
// number and two parameters, carried by a custom QEvent and delivered in
// posting order through the receiver's event loop.
//
// Threads: PostWindowMessage may be called from any thread. The receiver must
// outlive every post aimed at it: kill the timers and stop the devices that
// post before destroying it (Qt drops events still queued for a destroyed
// receiver, but a post racing with the destruction is undefined).

#include <QEvent>
#include <QObject>

#include <cstdint>

// A one-shot playback timer fired. First parameter: the group index, or an
// audio output index with TimerAudioOutputBit set; second parameter 0.
constexpr uint32_t WM_TIMER = 0x0113;
// The audio device finished playing a buffer.
constexpr uint32_t MM_WOM_DONE = 0x03BD;
// A video window's seek worker has a picture for it (parameters 0); sent to
// the video window itself.
constexpr uint32_t WM_SEEKDONE = 0x8001;

constexpr uint32_t TimerAudioOutputBit = 0x80000000u;

constexpr uint32_t TimerParamForAudioOutput(uint32_t outputIndex) {
    return outputIndex | TimerAudioOutputBit;
}
constexpr bool IsAudioOutputTimerParam(uint32_t wParam) {
    return (wParam & TimerAudioOutputBit) != 0;
}
constexpr uint32_t TimerParamIndex(uint32_t wParam) {
    return wParam & ~TimerAudioOutputBit;
}

class TWindowMessageEvent final : public QEvent {
public:
    TWindowMessageEvent(uint32_t message, uint32_t wParam, intptr_t lParam);

    // The event type, registered with Qt on first use.
    static QEvent::Type EventType();

    uint32_t Message() const { return m_message; }
    uint32_t WParam() const { return m_wParam; }
    intptr_t LParam() const { return m_lParam; }

private:
    uint32_t m_message;
    uint32_t m_wParam;
    intptr_t m_lParam;
};

// Queues the message for receiver's thread; returns at once.
void PostWindowMessage(QObject* receiver, uint32_t message, uint32_t wParam, intptr_t lParam);

// The window thread's receivers of the playback messages.
class TWindowMessageHandler {
public:
    virtual ~TWindowMessageHandler() = default;
    // A video group's frame is due. Indexes of groups that no longer exist
    // must be ignored: a tick may still be queued after a stop.
    virtual void VideoTick(int32_t groupIndex) = 0;
    // An audio output's start time came.
    virtual void AudioStart(int32_t outputIndex) = 0;
    // The audio device identified by the first parameter finished a buffer.
    virtual void AudioBufferDone(uint32_t device) = 0;
};

// WM_TIMER goes to AudioStart when the audio output bit is set (with the bit
// cleared), to VideoTick otherwise; MM_WOM_DONE goes to AudioBufferDone.
// Returns false, calling nothing, for any other message.
bool DispatchWindowMessage(const TWindowMessageEvent& message, TWindowMessageHandler& handler);
