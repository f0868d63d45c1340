// Applies a document read by ParseDocument to the project: Open into the
// freshly reset project, Import merged into the current one.

#include "document/document_content.h"
#include "document/media_path.h"
#include "document/project_document.h"
#include "platform/huge_page_heap.h"

#include "model/hot_keys.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <unordered_map>

namespace {

// Document IDs to positions in memory; the first entry of an ID wins.
using TIdTable = std::unordered_map<int32_t, int32_t>;

std::optional<int32_t> ChildInt(const xmlNode* parent, const char* name) {
    const xmlNode* child = FirstChildElement(parent, name);
    return child ? ParseDocumentInt(ElementText(child)) : std::nullopt;
}

std::optional<int32_t> AttributeInt(const xmlNode* element, const char* name) {
    const auto text = AttributeValue(element, name);
    return text ? ParseDocumentInt(*text) : std::nullopt;
}

template <typename F> void ForEachChild(const xmlNode* parent, const char* name, F&& visit) {
    if (!parent)
        return;
    for (const xmlNode* child = parent->children; child; child = child->next)
        if (IsNamed(child, name))
            visit(child);
}

std::string UnopenedMediumMessage(const std::string& path) {
    return "Could not open media file \"" + path + "\"!";
}

int32_t ClampedSum(int64_t a, int64_t b) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(a + b, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// The editor layout section. Its first bad value ends it silently; what was
// applied before stays.
class TLayoutReader {
public:
    explicit TLayoutReader(TDocumentLayout& layout) : m_layout(layout) {}

    void Apply(const xmlNode* editor) {
        try {
            ApplyPanel(FirstChildElement(editor, "Events"), TLayoutPanel::Events, EventColumnHeadings);
            ApplyPanel(FirstChildElement(editor, "Titles"), TLayoutPanel::Titles, TitleColumnHeadings);
            ApplyWindows(FirstChildElement(editor, "Windows"));
        } catch (const TStop&) {
        }
    }

private:
    struct TStop {};

    static int32_t Value(const xmlNode* element) {
        const auto value = ParseDocumentInt(ElementText(element));
        if (!value)
            throw TStop{};
        return *value;
    }

    template <std::size_t N>
    void ApplyPanel(const xmlNode* panelNode, TLayoutPanel panel,
                    const std::array<const char*, N>& headings) {
        if (!panelNode)
            return;
        if (const xmlNode* visible = FirstChildElement(panelNode, "Visible"))
            m_layout.SetPanelVisible(panel, Value(visible) != 0);
        const xmlNode* columns = FirstChildElement(panelNode, "Columns");
        if (!columns)
            return;
        for (const xmlNode* child = columns->children; child; child = child->next) {
            if (child->type != XML_ELEMENT_NODE)
                continue;
            const QString name = NodeName(child);
            const auto heading = std::find_if(headings.begin(), headings.end(), [&](const char* text) {
                return name.compare(QLatin1String(text), Qt::CaseInsensitive) == 0;
            });
            if (heading == headings.end() || ElementText(child).isEmpty())
                continue;
            m_layout.SetColumnWidth(panel, static_cast<int32_t>(heading - headings.begin()), Value(child));
        }
    }

    void ApplyMediaWindow(const xmlNode* window, int32_t index) {
        static constexpr std::array<std::pair<const char*, TFrameValue>, 6> fields = {{
            {"Visible", TFrameValue::Visible},
            {"Size", TFrameValue::Size},
            {"Left", TFrameValue::Left},
            {"Top", TFrameValue::Top},
            {"Width", TFrameValue::Width},
            {"Height", TFrameValue::Height},
        }};
        for (const auto& [name, field] : fields) {
            const xmlNode* child = FirstChildElement(window, name);
            if (!child)
                continue;
            int32_t value = Value(child);
            if (field == TFrameValue::Size)
                value = std::clamp(value, 0, 3);
            m_layout.SetMediaWindowValue(index, field, value);
        }
    }

    // Visibility and position; only some windows take a stored size.
    void ApplyWindow(const xmlNode* windows, TToolWindow window) {
        const xmlNode* node = FirstChildElement(windows, ToolWindowElementName(window));
        if (!node)
            return;
        std::vector<std::pair<const char*, TFrameValue>> fields = {
            {"Visible", TFrameValue::Visible}, {"Left", TFrameValue::Left}, {"Top", TFrameValue::Top}};
        if (ToolWindowTakesStoredSize(window)) {
            fields.push_back({"Width", TFrameValue::Width});
            fields.push_back({"Height", TFrameValue::Height});
        }
        for (const auto& [field, value] : fields)
            if (const xmlNode* child = FirstChildElement(node, field))
                m_layout.SetWindowValue(window, value, Value(child));
    }

    void ApplyWindows(const xmlNode* windows) {
        if (!windows)
            return;
        for (const xmlNode* child = windows->children; child; child = child->next) {
            if (child->type != XML_ELEMENT_NODE)
                continue;
            const QString name = NodeName(child);
            if (!name.startsWith(u"Media"))
                continue;
            const auto index = ParseDocumentInt(name.mid(5));
            if (!index)
                throw TStop{};
            if (*index >= 0 && *index < m_layout.MediaWindowCount())
                ApplyMediaWindow(child, *index);
        }
        for (const TToolWindow window : AllToolWindows)
            ApplyWindow(windows, window);
    }

    TDocumentLayout& m_layout;
};

class TDocumentApplier {
public:
    TDocumentApplier(TDocumentContent& content, TReadMode mode, int32_t importOffset,
                     const TDocumentReadContext& context, const std::string& path)
        : m_content(content), m_mode(mode), m_offset(mode == TReadMode::Import ? importOffset : 0),
          m_context(context), m_project(context.Project), m_path(path), m_groups(m_project.Groups),
          m_types(m_project.EventTypes) {}

    void Apply() {
        ApplyOlderGroups();
        ApplyEventGroups();
        ApplyOlderTypes();
        ApplyEventTypes();
        CommitTypes();
        if (m_content.HasFile) {
            if (m_mode == TReadMode::Open) {
                OpenSources();
                m_project.SwitchTimeFormat(m_content.TimeFormat, [](int32_t time) { return time; });
            }
            auto events = TranslateEvents();
            auto titles = TranslateTitles();
            m_project.InsertEvents(std::move(events));
            m_project.InsertTitles(std::move(titles));
        }
        if (m_mode == TReadMode::Open && m_context.Layout && m_content.Editor)
            TLayoutReader(*m_context.Layout).Apply(m_content.Editor);
    }

private:
    int32_t UseGroup(const QString& name, const QString& meaning, bool isEnabled) {
        const int32_t found = m_groups.FindGroup(name);
        if (found >= 0)
            return found;
        TEventTypeGroup group;
        group.Name = name;
        group.Meaning = meaning;
        group.Enabled = isEnabled;
        return m_groups.AddGroup(group);
    }

    void ApplyOlderGroups() {
        ForEachChild(m_content.OlderGroups, "Name", [this](const xmlNode* element) {
            const auto id = AttributeInt(element, "ID");
            if (!id)
                return;
            const bool isEnabled = AttributeInt(element, "Enabled").value_or(0) != 0;
            m_groupTable.emplace(*id, UseGroup(ElementText(element), QStringLiteral("State"), isEnabled));
        });
    }

    void ApplyEventGroups() {
        ForEachChild(m_content.EventGroups, "Group", [this](const xmlNode* element) {
            const auto id = ChildInt(element, "ID");
            if (!id)
                return;
            const QString name = ElementText(FirstChildElement(element, "Name"));
            const bool isEnabled = ChildInt(element, "Enabled").value_or(0) != 0;
            const xmlNode* meaning = FirstChildElement(element, "Meaning");
            const QString meaningText = meaning ? ElementText(meaning) : QStringLiteral("State");
            m_groupTable.emplace(*id, UseGroup(name, meaningText, isEnabled));
        });
    }

    // A group ID the document does not define gets a group of its own,
    // shared by every type naming that ID.
    int32_t TranslateGroup(int32_t documentGroup) {
        if (const auto found = m_groupTable.find(documentGroup); found != m_groupTable.end())
            return found->second;
        TEventTypeGroup group;
        group.Name = QStringLiteral("Group ") + QString::number(documentGroup);
        const int32_t index = m_groups.AddGroup(group);
        m_groupTable.emplace(documentGroup, index);
        return index;
    }

    // Group and colour code from their texts. `needsGroupIndex`: the older
    // form drops the group of a type without a colour code.
    void SetGroup(TEventType& type, const std::optional<QString>& group,
                  const std::optional<QString>& groupIndex, bool needsGroupIndex) {
        if (!group)
            return;
        const auto groupValue = ParseDocumentInt(*group);
        if (groupValue)
            type.Group = TranslateGroup(*groupValue);
        const auto indexValue = groupIndex ? ParseDocumentInt(*groupIndex) : std::nullopt;
        if (indexValue)
            type.GroupIndex = *indexValue;
        if (!groupValue || (groupIndex && !indexValue) || (needsGroupIndex && !groupIndex)) {
            type.Group = -1;
            type.GroupIndex = -1;
        }
    }

    void AddType(int32_t documentId, const TEventType& type) {
        m_typeTable.emplace(documentId, m_types.AddEventType(type));
    }

    void ApplyOlderTypes() {
        ForEachChild(m_content.OlderTypes, "Name", [this](const xmlNode* element) {
            const auto id = AttributeInt(element, "ID");
            if (!id)
                return;
            const QString name = ElementText(element);
            if (const int32_t found = m_types.FindEventType(name); found >= 0) {
                m_typeTable.emplace(*id, found);
                return;
            }
            TEventType type(name);
            if (const auto key = AttributeValue(element, "Key"))
                type.Key = TextToKey(*key);
            SetGroup(type, AttributeValue(element, "Group"), AttributeValue(element, "GroupIndex"), true);
            AddType(*id, type);
        });
    }

    static std::optional<QString> ChildText(const xmlNode* parent, const char* name) {
        const xmlNode* child = FirstChildElement(parent, name);
        return child ? std::optional<QString>(ElementText(child)) : std::nullopt;
    }

    void ApplyEventTypes() {
        ForEachChild(m_content.EventTypes, "Type", [this](const xmlNode* element) {
            const auto id = ChildInt(element, "ID");
            if (!id)
                return;
            const QString name = ElementText(FirstChildElement(element, "Name"));
            if (const int32_t found = m_types.FindEventType(name); found >= 0) {
                m_typeTable.emplace(*id, found);
                return;
            }
            TEventType type(name);
            type.Offset = ChildInt(element, "Offset").value_or(0);
            if (const auto key = ChildText(element, "Key"))
                type.Key = TextToKey(*key);
            type.CheckEndPoints = ChildInt(element, "CheckEndPoints").value_or(0) != 0;
            type.Parameters = ReadParametersElement(FirstChildElement(element, "Parameters"));
            SetGroup(type, ChildText(element, "Group"), ChildText(element, "GroupIndex"), false);
            ForEachChild(element, "Secondary", [&type](const xmlNode* secondary) {
                const auto key = ChildText(secondary, "Key");
                if (!key)
                    return;
                TSecondaryKey secondaryKey;
                secondaryKey.Key = TextToKey(*key);
                secondaryKey.Offset = ChildInt(secondary, "Offset").value_or(0);
                secondaryKey.Parameters = ReadParametersElement(FirstChildElement(secondary, "Parameters"));
                type.SecondaryKeys.push_back(std::move(secondaryKey));
            });
            AddType(*id, type);
        });
    }

    // The working copies only ever append to the project's lists, so what
    // they hold past the project's counts is what the document adds.
    void CommitTypes() {
        for (int32_t index = m_project.Groups.Count(); index < m_groups.Count(); ++index)
            m_project.AddGroup(m_groups[index]);
        for (int32_t index = m_project.EventTypes.Count(); index < m_types.Count(); ++index)
            m_project.AddEventType(m_types[index]);
    }

    void OpenSources() {
        for (const TDocumentSource& source : m_content.Sources) {
            const std::string path =
                TranslateMediaPath(m_context.PathTranslations, ResolveSourcePath(source.Path, m_path));
            const int32_t index = m_context.Media.AddMedium(path);
            if (index < 0) {
                // A missing drive or an unsupported file must not cost the
                // project its camera and offset on the next save.
                m_context.Media.KeepUnopened({path, source.Camera.value_or(-1), source.Offset.value_or(0)});
                if (m_context.ShowMessage)
                    m_context.ShowMessage(UnopenedMediumMessage(path));
                continue;
            }
            if (source.Camera)
                m_context.Media.SetCamera(index, *source.Camera);
            if (source.Offset)
                m_context.Media.SetOffset(index, *source.Offset);
        }
    }

    enum class TConversion { Undecided, None, ToFramesByMedium, ToMsByMedium, ToFramesBy40, ToMsBy40 };

    // Times of a document in the other unit are converted with the first
    // medium's rate. Without media there is no rate: a project without
    // events or titles simply takes the document's unit; one holding some
    // keeps its unit and the imported times are converted with the 40 ms
    // frame the time-format switch uses without media, so the times already
    // there keep their meaning.
    TConversion DecideConversion() {
        const TTimeFormat documentUnit = m_content.TimeFormat;
        if (documentUnit == m_project.TimeFormat)
            return TConversion::None;
        const bool toFrames = m_project.TimeFormat == TTimeFormat::Frames;
        if (m_context.Media.MediaCount() > 0)
            return toFrames ? TConversion::ToFramesByMedium : TConversion::ToMsByMedium;
        if (m_project.Events().IsEmpty() && m_project.Titles.IsEmpty()) {
            m_project.SwitchTimeFormat(documentUnit, [](int32_t time) { return time; });
            return TConversion::None;
        }
        return toFrames ? TConversion::ToFramesBy40 : TConversion::ToMsBy40;
    }

    int32_t ProjectTime(int32_t documentTime) {
        if (m_conversion == TConversion::Undecided)
            m_conversion = DecideConversion();
        int64_t time = documentTime;
        switch (m_conversion) {
        case TConversion::Undecided:
        case TConversion::None:
            break;
        case TConversion::ToFramesByMedium:
            time = m_context.Media.FramesFromMs(documentTime);
            break;
        case TConversion::ToMsByMedium:
            time = m_context.Media.MsFromFrames(documentTime);
            break;
        case TConversion::ToFramesBy40:
            time = documentTime / 40;
            break;
        case TConversion::ToMsBy40:
            time = int64_t{documentTime} * 40;
            break;
        }
        return ClampedSum(time, m_offset);
    }

    std::vector<std::unique_ptr<TEvent>> TranslateEvents() {
        std::vector<std::unique_ptr<TEvent>> events;
        events.reserve(m_content.Events.size());
        for (TDocumentEvent& read : m_content.Events) {
            const auto type = m_typeTable.find(read.DocumentType);
            if (type == m_typeTable.end()) {
                if (m_context.ShowMessage)
                    m_context.ShowMessage("Event type not found!");
                continue;
            }
            if (!read.HasTime)
                continue;
            read.Event->EventType = type->second;
            read.Event->Time = ProjectTime(read.Event->Time);
            events.push_back(std::move(read.Event));
        }
        m_content.Events.clear();
        return events;
    }

    std::vector<std::unique_ptr<TTitle>> TranslateTitles() {
        for (auto& title : m_content.Titles)
            title->Time = ProjectTime(title->Time);
        return std::move(m_content.Titles);
    }

    TDocumentContent& m_content;
    TReadMode m_mode;
    int32_t m_offset;
    const TDocumentReadContext& m_context;
    TProject& m_project;
    const std::string& m_path;
    TEventTypeGroups m_groups;
    TEventTypes m_types;
    TIdTable m_groupTable;
    TIdTable m_typeTable;
    TConversion m_conversion = TConversion::Undecided;
};

} // namespace

void ReadDocument(const std::string& path, TReadMode mode, int32_t importOffset,
                  const TDocumentReadContext& context) {
    // Events, texts and parameter lists are allocated by the million while a
    // large document is read and applied; their memory is faulted in ahead.
    std::error_code sizeError;
    const auto documentBytes = std::filesystem::file_size(path, sizeError);
    const THeapReservation reservation(sizeError ? 0 : HeapBytesForDocument(documentBytes));
    TDocumentContent content = ParseDocument(path);
    if (mode == TReadMode::Import) {
        // However many types and events it brings, an import is one step
        // to take back.
        const TProject::TChangeScope scope(context.Project);
        TDocumentApplier(content, mode, importOffset, context, path).Apply();
        return;
    }
    if (context.ResetProject)
        context.ResetProject();
    try {
        TDocumentApplier(content, mode, importOffset, context, path).Apply();
        // What was opened is where Undo stops.
        context.Project.ClearHistory();
    } catch (...) {
        if (context.ResetProject)
            context.ResetProject();
        throw;
    }
}
