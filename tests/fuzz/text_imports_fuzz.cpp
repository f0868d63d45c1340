// Fuzz entry point for the three text imports (output events, graph,
// objects), each run over the same input.
#include "interchange/text_imports.h"

#include "base/exception.h"
#include "tests/fuzz/fuzz_support.h"

std::size_t FuzzOne(std::string_view input) {
    TProject project;
    TSilentCaptureHost host;
    const TImportTarget target{project, host};
    ImportOutputEventsText(input, target);
    ImportGraphText(input, 1000, 2, target);
    ImportObjectsText(input, target);
    CheckProject(project);
    return project.Events().Count();
}

std::vector<std::string> FuzzSeeds() {
    return {"0 1\r\n5000 2\n\n", "40 0.5\n80 -1e-3\n",
            "car(120,1,7,10.5,20,0,0,21,40,Anna)\nhand( 200,0,3,1,2,3,4,x)\nbad(1,2,3,4,5,6,7,8)\n"};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzOne(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
