// Fuzz entry point for the Prolog import. The input is fed in two blocks
// split where its first byte says, so facts cut across blocks are explored
// as the file reader's 131072-byte blocks cut them.
#include "interchange/prolog_import.h"

#include "base/exception.h"
#include "tests/fuzz/fuzz_support.h"

std::size_t FuzzOne(std::string_view input) {
    TProject project;
    TPrologReader reader(project);
    const std::size_t split = input.empty() ? 0 : static_cast<unsigned char>(input[0]) % (input.size() + 1);
    try {
        if (reader.Feed(input.data(), split))
            reader.Feed(input.data() + split, input.size() - split);
    } catch (const TException&) {
    }
    reader.Finish();
    CheckProject(project);
    return project.Events().Count();
}

std::vector<std::string> FuzzSeeds() {
    return {
        "begin(0).\r\nend(5000).\r\nstep(40).\r\ncamera(1, 640, 480).\r\n"
        "event_speaker_talking(4000, [(person, a), (score, 1.5)]).\r\nevent_start_speaking(1200, []).\r\n",
        "% comment\n'event_look-away'(7, [('3rd', '50%'), (q, 'it\\'s\\x41\\'), (e, '')]). event_x(1,[]).\n"};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzOne(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
