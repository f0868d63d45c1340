#include "media/ffmpeg/ff_file.h"
#include "media/registry/backend_factories.h"

extern "C" {
#include <libavutil/log.h>
}

std::unique_ptr<TAVFile> CreateFFBackend() {
    return std::make_unique<TFFFile>();
}

void SetFFLogging(bool errors, bool verbose) {
    // Decoders report every damaged or unusual picture as an error ("mmco:
    // unref short failure" on each seek into an open GOP): noise for a user
    // who can do nothing about it, so by default only fatal failures print.
    av_log_set_level(verbose ? AV_LOG_INFO : errors ? AV_LOG_ERROR : AV_LOG_FATAL);
}
