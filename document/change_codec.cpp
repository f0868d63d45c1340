#include "document/change_codec.h"

#include <array>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace {

constexpr char Magic[8] = {'S', 'M', 'J', 'R', 'N', 'L', '\r', '\n'};

std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

class TWriter {
public:
    explicit TWriter(std::string& out) : m_out(out) {}
    void U8(uint8_t value) { m_out.push_back(static_cast<char>(value)); }
    void U32(uint32_t value) {
        for (int i = 0; i < 4; ++i)
            m_out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
    void I32(int32_t value) { U32(static_cast<uint32_t>(value)); }
    void U64(uint64_t value) {
        for (int i = 0; i < 8; ++i)
            m_out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
    void I64(int64_t value) { U64(static_cast<uint64_t>(value)); }
    void Bytes(std::string_view bytes) {
        U32(static_cast<uint32_t>(bytes.size()));
        m_out.append(bytes);
    }
    void Text(const QString& text) { Bytes(text.toUtf8().toStdString()); }
    void Parameters(const TParameters& parameters) {
        U32(static_cast<uint32_t>(parameters.Count()));
        for (const TParameter& pair : parameters) {
            Text(pair.Name);
            Text(pair.Value);
        }
    }
    void Event(const TEvent& event) {
        I32(event.EventType);
        I32(event.Time);
        Text(event.Text);
        Parameters(event.Parameters);
    }
    void Title(const TTitle& title) {
        I32(title.Time);
        Text(title.Text);
    }
    void Type(const TEventType& type) {
        Text(type.Name);
        U32(type.Key);
        I32(type.Group);
        I32(type.GroupIndex);
        I32(type.Offset);
        Parameters(type.Parameters);
        U8(type.CheckEndPoints ? 1 : 0);
        U32(static_cast<uint32_t>(type.SecondaryKeys.size()));
        for (const TSecondaryKey& key : type.SecondaryKeys) {
            U32(key.Key);
            I32(key.Offset);
            Parameters(key.Parameters);
        }
    }
    void Group(const TEventTypeGroup& group) {
        Text(group.Name);
        Text(group.Meaning);
        U8(group.Enabled ? 1 : 0);
    }
    void Times(const std::vector<int32_t>& times) {
        U32(static_cast<uint32_t>(times.size()));
        for (const int32_t time : times)
            I32(time);
    }

private:
    std::string& m_out;
};

// Throws std::out_of_range on every read past the end or absurd count, so a
// decoded frame is either whole or refused.
class TReader {
public:
    explicit TReader(std::string_view bytes) : m_bytes(bytes) {}
    bool AtEnd() const { return m_at == m_bytes.size(); }
    uint8_t U8() { return static_cast<uint8_t>(Take(1)[0]); }
    uint32_t U32() {
        const std::string_view b = Take(4);
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<uint32_t>(static_cast<uint8_t>(b[static_cast<std::size_t>(i)])) << (8 * i);
        return value;
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    uint64_t U64() {
        const uint64_t low = U32();
        return low | (static_cast<uint64_t>(U32()) << 32);
    }
    int64_t I64() { return static_cast<int64_t>(U64()); }
    std::size_t Count(std::size_t minimumBytesEach) {
        const uint32_t count = U32();
        if (minimumBytesEach > 0 && count > (m_bytes.size() - m_at) / minimumBytesEach)
            throw std::out_of_range("journal count past the frame");
        return count;
    }
    std::string_view Bytes() { return Take(U32()); }
    QString Text() {
        const std::string_view bytes = Bytes();
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    TParameters Parameters() {
        TParameters parameters;
        const std::size_t count = Count(8);
        parameters.Reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            QString name = Text();
            parameters.AddParameter(TParameter{std::move(name), Text()});
        }
        return parameters;
    }
    std::unique_ptr<TEvent> Event() {
        const int32_t type = I32();
        const int32_t time = I32();
        QString text = Text();
        return std::make_unique<TEvent>(type, time, std::move(text), Parameters());
    }
    std::unique_ptr<TTitle> Title() {
        const int32_t time = I32();
        return std::make_unique<TTitle>(Text(), time);
    }
    TEventType Type() {
        TEventType type(Text());
        type.Key = static_cast<THotKey>(U32());
        type.Group = I32();
        type.GroupIndex = I32();
        type.Offset = I32();
        type.Parameters = Parameters();
        type.CheckEndPoints = U8() != 0;
        const std::size_t count = Count(12);
        for (std::size_t i = 0; i < count; ++i) {
            TSecondaryKey key;
            key.Key = static_cast<THotKey>(U32());
            key.Offset = I32();
            key.Parameters = Parameters();
            type.SecondaryKeys.push_back(std::move(key));
        }
        return type;
    }
    TEventTypeGroup Group() {
        TEventTypeGroup group;
        group.Name = Text();
        group.Meaning = Text();
        group.Enabled = U8() != 0;
        return group;
    }
    std::vector<int32_t> Times() {
        std::vector<int32_t> times(Count(4));
        for (int32_t& time : times)
            time = I32();
        return times;
    }

private:
    std::string_view Take(std::size_t count) {
        if (count > m_bytes.size() - m_at)
            throw std::out_of_range("journal read past the frame");
        const std::string_view taken = m_bytes.substr(m_at, count);
        m_at += count;
        return taken;
    }

    std::string_view m_bytes;
    std::size_t m_at = 0;
};

void Encode(const TProjectChange& change, TWriter& out) {
    out.U8(static_cast<uint8_t>(change.Kind));
    switch (change.Kind) {
    case TChangeKind::EventInsert:
        out.Event(*change.Event);
        break;
    case TChangeKind::EventsInsert:
        out.U32(static_cast<uint32_t>(change.Events.size()));
        for (const auto& event : change.Events)
            out.Event(*event);
        break;
    case TChangeKind::EventChange:
        out.U64(change.Index);
        out.Event(*change.Event);
        break;
    case TChangeKind::EventMove:
    case TChangeKind::TitleMove:
        out.U64(change.Index);
        out.I32(change.Time);
        break;
    case TChangeKind::EventDelete:
    case TChangeKind::TypeDelete:
    case TChangeKind::GroupDelete:
    case TChangeKind::TitleDelete:
        out.U64(change.Index);
        break;
    case TChangeKind::EventsOffset:
    case TChangeKind::TitlesOffset:
        out.I32(change.Delta);
        break;
    case TChangeKind::EventsClear:
    case TChangeKind::TitlesClear:
        break;
    case TChangeKind::TypeAdd:
        out.Type(change.Type);
        break;
    case TChangeKind::TypeEdit:
        out.U64(change.Index);
        out.Type(change.Type);
        break;
    case TChangeKind::GroupAdd:
        out.Group(change.Group);
        break;
    case TChangeKind::GroupEdit:
        out.U64(change.Index);
        out.Group(change.Group);
        break;
    case TChangeKind::Filter:
        out.Times(std::vector<int32_t>(change.Filter.begin(), change.Filter.end()));
        break;
    case TChangeKind::TitleInsert:
        out.Title(*change.Title);
        break;
    case TChangeKind::TitlesInsert:
        out.U32(static_cast<uint32_t>(change.Titles.size()));
        for (const auto& title : change.Titles)
            out.Title(*title);
        break;
    case TChangeKind::TitleText:
        out.U64(change.Index);
        out.Text(change.Title->Text);
        break;
    case TChangeKind::TimeFormat:
        out.U8(static_cast<uint8_t>(change.Format));
        out.Times(change.Times);
        break;
    case TChangeKind::Compound:
        out.U32(static_cast<uint32_t>(change.Children.size()));
        for (const TProjectChange& child : change.Children)
            Encode(child, out);
        break;
    case TChangeKind::MediumAdd:
        out.Text(change.Medium.FileName);
        break;
    case TChangeKind::MediumRemove:
        out.U64(change.Index);
        break;
    case TChangeKind::MediumCamera:
        out.U64(change.Index);
        out.I32(change.Medium.Camera);
        break;
    case TChangeKind::MediumOffset:
        out.U64(change.Index);
        out.I32(change.Medium.Offset);
        break;
    }
}

std::size_t Index(TReader& in) {
    const uint64_t index = in.U64();
    if (index > std::numeric_limits<std::size_t>::max() / 2)
        throw std::out_of_range("journal index");
    return static_cast<std::size_t>(index);
}

TChangeKind LastKindOf(uint32_t version) {
    return version < 2 ? TChangeKind::Compound : TChangeKind::MediumOffset;
}

TProjectChange Decode(TReader& in, int depth, TChangeKind lastKind) {
    const uint8_t kindByte = in.U8();
    if (kindByte > static_cast<uint8_t>(lastKind) || depth > 8)
        throw std::out_of_range("journal change kind");
    TProjectChange change(static_cast<TChangeKind>(kindByte));
    switch (change.Kind) {
    case TChangeKind::EventInsert:
        change.Event = in.Event();
        break;
    case TChangeKind::EventsInsert: {
        const std::size_t count = in.Count(16);
        change.Events.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            change.Events.push_back(in.Event());
        break;
    }
    case TChangeKind::EventChange:
        change.Index = Index(in);
        change.Event = in.Event();
        break;
    case TChangeKind::EventMove:
    case TChangeKind::TitleMove:
        change.Index = Index(in);
        change.Time = in.I32();
        break;
    case TChangeKind::EventDelete:
    case TChangeKind::TypeDelete:
    case TChangeKind::GroupDelete:
    case TChangeKind::TitleDelete:
        change.Index = Index(in);
        break;
    case TChangeKind::EventsOffset:
    case TChangeKind::TitlesOffset:
        change.Delta = in.I32();
        break;
    case TChangeKind::EventsClear:
    case TChangeKind::TitlesClear:
        break;
    case TChangeKind::TypeAdd:
        change.Type = in.Type();
        break;
    case TChangeKind::TypeEdit:
        change.Index = Index(in);
        change.Type = in.Type();
        break;
    case TChangeKind::GroupAdd:
        change.Group = in.Group();
        break;
    case TChangeKind::GroupEdit:
        change.Index = Index(in);
        change.Group = in.Group();
        break;
    case TChangeKind::Filter: {
        const std::vector<int32_t> types = in.Times();
        change.Filter = std::set<int32_t>(types.begin(), types.end());
        break;
    }
    case TChangeKind::TitleInsert:
        change.Title = in.Title();
        break;
    case TChangeKind::TitlesInsert: {
        const std::size_t count = in.Count(8);
        for (std::size_t i = 0; i < count; ++i)
            change.Titles.push_back(in.Title());
        break;
    }
    case TChangeKind::TitleText:
        change.Index = Index(in);
        change.Title = std::make_unique<TTitle>(in.Text(), 0);
        break;
    case TChangeKind::TimeFormat: {
        const uint8_t format = in.U8();
        if (format > static_cast<uint8_t>(TTimeFormat::Frames))
            throw std::out_of_range("journal time format");
        change.Format = static_cast<TTimeFormat>(format);
        change.Times = in.Times();
        break;
    }
    case TChangeKind::Compound: {
        const std::size_t count = in.Count(1);
        for (std::size_t i = 0; i < count; ++i)
            change.Children.push_back(Decode(in, depth + 1, lastKind));
        break;
    }
    case TChangeKind::MediumAdd:
        change.Medium.FileName = in.Text();
        break;
    case TChangeKind::MediumRemove:
        change.Index = Index(in);
        break;
    case TChangeKind::MediumCamera:
        change.Index = Index(in);
        change.Medium.Camera = in.I32();
        break;
    case TChangeKind::MediumOffset:
        change.Index = Index(in);
        change.Medium.Offset = in.I32();
        break;
    }
    return change;
}

// The payload of the frame at `at`, or nullopt when it is incomplete or
// damaged.
std::optional<std::string_view> FrameAt(std::string_view bytes, std::size_t at) {
    if (bytes.size() - at < JournalFrameHeaderBytes)
        return std::nullopt;
    TReader head(bytes.substr(at, JournalFrameHeaderBytes));
    const uint32_t length = head.U32();
    const uint32_t checksum = head.U32();
    if (length > bytes.size() - at - JournalFrameHeaderBytes)
        return std::nullopt;
    const std::string_view payload = bytes.substr(at + JournalFrameHeaderBytes, length);
    if (Crc32(payload) != checksum)
        return std::nullopt;
    return payload;
}

} // namespace

uint32_t Crc32(std::string_view bytes) {
    static const std::array<uint32_t, 256> table = MakeCrcTable();
    uint32_t crc = 0xFFFFFFFFu;
    for (const char byte : bytes)
        crc = table[(crc ^ static_cast<uint8_t>(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void EncodeChange(const TProjectChange& change, std::string& out) {
    TWriter writer(out);
    Encode(change, writer);
}

void AppendFrame(std::string_view payload, std::string& out) {
    TWriter writer(out);
    writer.U32(static_cast<uint32_t>(payload.size()));
    writer.U32(Crc32(payload));
    out.append(payload);
}

void BeginStepPayload(TJournalStep step, int64_t wallTimeMs, std::string& out) {
    TWriter writer(out);
    writer.U8(static_cast<uint8_t>(step));
    writer.I64(wallTimeMs);
}

std::string EncodeJournalHeader(const TJournalBase& base) {
    std::string out(Magic, sizeof Magic);
    TWriter(out).U32(JournalVersion);
    std::string payload;
    TWriter writer(payload);
    writer.Bytes(base.ProjectPath);
    writer.I64(base.ModifiedNs);
    writer.I64(base.Size);
    writer.I64(base.StartedMs);
    AppendFrame(payload, out);
    return out;
}

std::optional<TJournalContents> DecodeJournal(std::string_view bytes) {
    constexpr std::size_t prefix = sizeof Magic + 4;
    if (bytes.size() < prefix || bytes.substr(0, sizeof Magic) != std::string_view(Magic, sizeof Magic))
        return std::nullopt;
    static_assert(JournalVersionOffset == sizeof Magic);
    const uint32_t version = TReader(bytes.substr(sizeof Magic, 4)).U32();
    if (version < OldestJournalVersion || version > JournalVersion)
        return std::nullopt;
    const auto header = FrameAt(bytes, prefix);
    if (!header)
        return std::nullopt;
    TJournalContents contents;
    contents.Version = version;
    try {
        TReader in(*header);
        contents.Base.ProjectPath = std::string(in.Bytes());
        contents.Base.ModifiedNs = in.I64();
        contents.Base.Size = in.I64();
        contents.Base.StartedMs = in.I64();
    } catch (const std::out_of_range&) {
        return std::nullopt;
    }
    std::size_t at = prefix + JournalFrameHeaderBytes + header->size();
    contents.CompleteBytes = at;
    while (at < bytes.size()) {
        const auto payload = FrameAt(bytes, at);
        if (!payload)
            break;
        TJournalRecord record;
        try {
            TReader in(*payload);
            const uint8_t step = in.U8();
            if (step < 1 || step > (version < 2 ? 3 : 4))
                break;
            record.Step = static_cast<TJournalStep>(step);
            record.WallTimeMs = in.I64();
            if (record.Step == TJournalStep::Change || record.Step == TJournalStep::Join)
                record.Change = Decode(in, 0, LastKindOf(version));
            if (!in.AtEnd())
                break;
        } catch (const std::out_of_range&) {
            break;
        }
        contents.Records.push_back(std::move(record));
        at += JournalFrameHeaderBytes + payload->size();
        contents.CompleteBytes = at;
    }
    contents.HadDamagedTail = contents.CompleteBytes < bytes.size();
    return contents;
}
