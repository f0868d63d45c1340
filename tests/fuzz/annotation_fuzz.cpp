// Fuzz entry point for the track annotation import.
#include "interchange/annotation_import.h"

#include "base/exception.h"
#include "tests/fuzz/fuzz_support.h"

std::size_t FuzzOne(std::string_view input) {
    TProject project;
    TSilentCaptureHost host;
    try {
        ImportAnnotationBytes(input, 100, {project, host});
    } catch (const TException&) {
    }
    CheckProject(project);
    return project.Events().Count();
}

std::vector<std::string> FuzzSeeds() {
    const std::string utf8 =
        "<?xml version=\"1.0\"?><annotation><head/><body><track name=\"Speaker A\">"
        "<el index=\"0\" start=\"1.5\" end=\"2\"><attribute name=\"l\">talking</attribute>"
        "<attribute name=\"m\">a&amp;b</attribute></el><el index=\"1\" start=\"2,5\" end=\"3\">"
        "<attribute name=\"l\">silent</attribute></el></track></body></annotation>";
    std::string utf16 = "\xFF\xFE";
    for (const char c :
         std::string("<annotation><body><track name=\"T.x y\"><el index=\"0\" start=\"0.25\" "
                     "end=\"1\"><attribute name=\"n\">\xC3\xA9t\xC3\xA9</attribute></el></track>"
                     "</body></annotation>")) {
        utf16 += c;
        utf16 += '\0';
    }
    return {utf8, utf16};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzOne(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
