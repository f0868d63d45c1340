// Fuzz entry point for the project document reader: every input is opened,
// then imported into what the open left, as the editor's Open and Import do.
// No medium ever opens (a Source names arbitrary paths).
#include "document/project_document.h"

#include "base/exception.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

class TNoMedia final : public TDocumentMedia {
public:
    std::vector<TDocumentMedium> Media() const override { return {}; }
    double FirstVideoFrameRate() const override { return 0; }
    int32_t MediaCount() const override { return 0; }
    int32_t AddMedium(const std::string& /*fileName*/) override { return -1; }
    void SetCamera(int32_t /*index*/, int32_t /*camera*/) override {
        FuzzCheck(false, "no medium is opened");
    }
    void SetOffset(int32_t /*index*/, int32_t /*offsetMs*/) override {
        FuzzCheck(false, "no medium is opened");
    }
    void KeepUnopened(const TDocumentMedium& /*medium*/) override {}
    int32_t FramesFromMs(int32_t ms) const override { return ms; }
    int32_t MsFromFrames(int32_t frames) const override { return frames; }
};

} // namespace

std::size_t FuzzOne(std::string_view input) {
    const std::string path = ScratchFile(input);
    TProject project;
    TNoMedia media;
    const TPathTransList translations{{"D:\\", "/mnt/"}};
    const TDocumentReadContext context{
        project, media, nullptr, translations, [&] { project.Reset(); }, [](const std::string&) {}};
    for (const TReadMode mode : {TReadMode::Open, TReadMode::Import}) {
        try {
            ReadDocument(path, mode, mode == TReadMode::Import ? 2147483000 : 0, context);
        } catch (const TException&) {
        }
        CheckProject(project);
    }
    return project.Events().Count() + project.Titles.Count() +
           static_cast<std::size_t>(project.EventTypes.Count());
}

std::vector<std::string> FuzzSeeds() {
    return {
        "<?xml version=\"1.0\"?>\n<AVEvents><EventGroups><Group><ID>0</ID><Name>G</Name><Meaning>State"
        "</Meaning><Enabled>1</Enabled></Group></EventGroups><EventTypes><Type><ID>0</ID><Name>T</Name>"
        "<Key>Ctrl+F2</Key><Group>0</Group><GroupIndex>3</GroupIndex><Offset>-5</Offset><Parameters a=\"1\"/>"
        "<CheckEndPoints>1</CheckEndPoints><Secondary><Key>F3</Key><Offset>2</Offset></Secondary></Type>"
        "</EventTypes><File><Source Camera=\"1\">D:\\x.avi</Source><TimeFormat>Frames</TimeFormat><Event>"
        "<ID>0</ID><Time>10</Time><Text>a &amp; b</Text><Parameters Camera=\"1\"><Person>Ann</Person>"
        "<Parameter Name=\"my name\" Value=\"\"/></Parameters></Event><Title><Time>3</Time><Text>t</Text>"
        "</Title></File><Editor><Events><Visible>1</Visible><Columns><Time>50</Time></Columns></Events>"
        "</Editor></AVEvents>\n",
        "<AVEvents><Groups><Name ID=\"0\" Enabled=\"1\">old</Name></Groups><Events><Name ID=\"4\" Key=\"A\" "
        "Group=\"0\" GroupIndex=\"2\">x</Name></Events><File><Event><ID>4</ID><Time>1</Time></Event></File>"
        "</AVEvents>"};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzOne(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
