#pragma once
// The filter graph over GStreamer 1.22:
//   filesrc ! decodebin, then per wanted stream
//   queue ! [deinterlace] ! videoconvert ! video/x-raw (the decoder's YUV layout, else BGRx) ! appsink
//   queue ! audioconvert ! audioresample ! audio/x-raw,format=S16LE ! appsink
// with no clock (sync=false, no pipeline clock). Streams nobody wants end in
// a fakesink. Run is PLAYING; pause holds the video streaming thread once four
// pictures wait in its queue (a state change per picture costs more than
// decoding a small one); stop is PAUSED, since a stop to READY would make
// decodebin find its pads again on every seek. Close goes to NULL.

#include "media/gstreamer/platform/filter_graph.h"

// gst_init once per process; false when GStreamer cannot start.
bool InitialiseGStreamer();
// nullptr when the pipeline cannot be made.
std::unique_ptr<TFilterGraph> CreateGStreamerGraph(TWaitSignal& signal);
