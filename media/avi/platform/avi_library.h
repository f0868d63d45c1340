#pragma once
// Once per process: quiets the codec library's per-picture chatter (errors
// still show). Safe to call from every TAVIFile constructor.
void AVILibraryInit();
