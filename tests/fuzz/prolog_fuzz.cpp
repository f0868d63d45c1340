// Fuzz entry point for the Prolog import. The input is fed in two blocks
// split where its first byte says, so facts cut across blocks are explored
// as the file reader's 131072-byte blocks cut them. The reader takes a fact
// that lies whole in its block by a faster route than one cut by a block
// end; fed again one byte at a time, where every fact is cut, it must give
// the same events, types and error.
#include "interchange/prolog_import.h"

#include "base/exception.h"
#include "tests/fuzz/fuzz_support.h"

#include <algorithm>

namespace {

// The blocks' sizes: `split` first, then the rest in blocks of `blockSize`.
std::string ImportOutcome(std::string_view input, std::size_t split, std::size_t blockSize,
                          std::size_t& eventCount) {
    TProject project;
    TPrologReader reader(project);
    std::string outcome;
    try {
        bool isReading = reader.Feed(input.data(), split);
        for (std::size_t at = split; isReading && at < input.size(); at += blockSize)
            isReading = reader.Feed(input.data() + at, std::min(blockSize, input.size() - at));
    } catch (const TConvertError& error) {
        outcome = error.what();
    }
    reader.Finish();
    CheckProject(project);
    for (const TEventType& type : project.EventTypes)
        outcome += "\n" + type.Name.toStdString();
    for (const auto& event : project.Events())
        outcome += "\n" + EventToRow(*event, project.EventTypes).join(u'|').toStdString();
    eventCount = project.Events().Count();
    return outcome;
}

} // namespace

std::size_t FuzzOne(std::string_view input) {
    const std::size_t split = input.empty() ? 0 : static_cast<unsigned char>(input[0]) % (input.size() + 1);
    std::size_t eventCount = 0;
    std::size_t byteWiseCount = 0;
    const std::string outcome = ImportOutcome(input, split, input.size() + 1, eventCount);
    FuzzCheck(outcome == ImportOutcome(input, 0, 1, byteWiseCount),
              "whole facts read as the same facts fed byte by byte");
    return eventCount;
}

std::vector<std::string> FuzzSeeds() {
    return {
        "begin(0).\r\nend(5000).\r\nstep(40).\r\ncamera(1, 640, 480).\r\n"
        "event_speaker_talking(4000, [(person, a), (score, 1.5)]).\r\nevent_start_speaking(1200, []).\r\n",
        "% comment\n'event_look-away'(7, [('3rd', '50%'), (q, 'it\\'s\\x41\\'), (e, '')]). event_x(1,[]).\n",
        "event_a(2147483647, [(b, c), (d, 1.5)]). event_a( 9 ,[ ( b , c ) , ]) .\n"
        "Event_b(100000000, [(a b, c%)\n, (d, e)]).event_c(5, [(x, y) z, (u, v)]).\n"};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzOne(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
