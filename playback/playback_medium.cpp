#include "playback/playback_medium.h"

#include "playback/time_convert.h"

bool IsReadable(TPlaybackMedium& medium) {
    TAVFile* file = medium.MediaFile();
    return file && file->GetMode() == TAVFile::ModeRead;
}

bool HasReadableVideo(TPlaybackMedium& medium) {
    return IsReadable(medium) && (medium.MediaFile()->GetStreams() & TAVFile::StreamVideo) != 0;
}

TAVFile::TVideoFormat VideoFormatOf(TPlaybackMedium& medium) {
    TAVFile* file = medium.MediaFile();
    return file ? file->GetVideoFormat() : TAVFile::TVideoFormat{320, 240, 1000, 1};
}

int32_t OffsetFrames(TPlaybackMedium& medium) {
    return medium.MediaFile() ? FramesFromMs(medium.Offset(), medium.MediaFile()->GetVideoFormat()) : 0;
}
