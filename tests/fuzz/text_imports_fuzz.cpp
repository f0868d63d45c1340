// Fuzz entry point for the three text imports (output events, graph,
// objects), each run over the same input; the objects reader must give the
// same events however blocks cut the input.
#include "interchange/text_imports.h"

#include "base/exception.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::string Rows(const TProject& project) {
    std::string rows;
    for (const auto& event : project.Events())
        rows += EventToRow(*event, project.EventTypes).join(u'|').toStdString() + "\n";
    return rows;
}

// The objects reader fed in blocks: `split` bytes first, then blocks of
// `blockSize`.
std::string ObjectsInBlocks(std::string_view input, std::size_t split, std::size_t blockSize) {
    TProject project;
    TObjectsReader reader(project);
    bool isReading = reader.Feed(input.substr(0, split));
    for (std::size_t at = split; isReading && at < input.size(); at += blockSize)
        isReading = reader.Feed(input.substr(at, blockSize));
    reader.Finish();
    CheckProject(project);
    return Rows(project);
}

} // namespace

std::size_t FuzzOne(std::string_view input) {
    TProject project;
    TSilentCaptureHost host;
    const TImportTarget target{project, host};
    ImportOutputEventsText(input, target);
    ImportGraphText(input, 1000, 2, target);
    CheckProject(project);
    TProject objects;
    ImportObjectsText(input, {objects, host});
    CheckProject(objects);
    const std::string whole = Rows(objects);
    const std::size_t split = input.empty() ? 0 : static_cast<unsigned char>(input[0]) % (input.size() + 1);
    FuzzCheck(ObjectsInBlocks(input, split, input.size() + 1) == whole, "objects cut in two read as whole");
    FuzzCheck(ObjectsInBlocks(input, 0, 1) == whole, "objects fed byte by byte read as whole");
    return project.Events().Count() + objects.Events().Count();
}

std::vector<std::string> FuzzSeeds() {
    return {"0 1\r\n5000 2\n\n", "40 0.5\n80 -1e-3\n",
            "car(120,1,7,10.5,20,0,0,21,40,Anna)\nhand( 200,0,3,1,2,3,4,x)\nbad(1,2,3,4,5,6,7,8)\n"};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzOne(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
