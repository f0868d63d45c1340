// Fuzz entry point for the transcription import.
#include "interchange/transcription_import.h"

#include "base/exception.h"
#include "tests/fuzz/fuzz_support.h"

std::size_t FuzzOne(std::string_view input) {
    TProject project;
    TSilentCaptureHost host;
    try {
        ImportTranscriptionBytes(input, 0, {project, host});
    } catch (const TException&) {
    }
    CheckProject(project);
    return project.Events().Count();
}

std::vector<std::string> FuzzSeeds() {
    return {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!DOCTYPE Trans SYSTEM \"trans-14.dtd\">\n"
            "<Trans><Speakers><Speaker id=\"spk1\" name=\"Ren\xE9\"/><Speaker id=\"spk2\"/></Speakers>"
            "<Episode><Section><Turn speaker=\"spk1 spk2\"><Sync time=\"0.5\"/><Event desc=\"x\"/>bonjour"
            "<Sync time=\"1.25\"/>..</Turn><Turn><Sync time=\"2\"/>x</Turn></Section></Episode></Trans>",
            "<Trans><Episode><Section><Turn><Sync time=\"12.345\" chan=\"1\"/> hello <Sync time=\"13\" "
            "chan=\"0\"/>GAP(OTHER)</Turn></Section></Episode></Trans>"};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzOne(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
