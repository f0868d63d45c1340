#pragma once
// A project document read completely into memory but not yet applied to a
// project. Reading and checking come first so that a document that turns out
// to be unreadable half-way changes nothing.
//
// Events and titles (the bulk) are already decoded; the small sections stay
// XML elements, because what they mean depends on the project they are
// merged into (existing groups and types).

#include "document/xml_support.h"
#include "model/events.h"
#include "model/time_format.h"
#include "model/titles.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct TDocumentSource {
    std::string Path; // as written in the document
    std::optional<int32_t> Camera;
    std::optional<int32_t> Offset;
};

// An event with its type still given by the document's type ID.
struct TDocumentEvent {
    int32_t DocumentType = 0;
    // False when the Time child is not a number: the event is dropped, but
    // only after its type has been looked up (a missing type is reported).
    bool HasTime = true;
    std::unique_ptr<TEvent> Event; // EventType not yet set
};

struct TDocumentContent {
    // Holds copies of the small sections below, entity references already
    // replaced by their text.
    TXmlDocPtr Sections;
    const xmlNode* OlderGroups = nullptr; // "Groups"
    const xmlNode* EventGroups = nullptr;
    const xmlNode* OlderTypes = nullptr; // "Events"
    const xmlNode* EventTypes = nullptr;
    const xmlNode* Editor = nullptr;

    bool HasFile = false;
    std::vector<TDocumentSource> Sources;
    TTimeFormat TimeFormat = TTimeFormat::Milliseconds;
    std::vector<TDocumentEvent> Events;          // document order
    std::vector<std::unique_ptr<TTitle>> Titles; // document order, times as written
};

// Reads and checks the whole file. Throws TException: "Could not open file!",
// "Empty document!", "Document of the wrong type!".
TDocumentContent ParseDocument(const std::string& path);
