#pragma once
// Track annotations (XML, root "annotation", files "*.anvil", often UTF-16
// with a byte-order mark): every labelled element of a track becomes an
// event at the element's start.
//
// For annotation/body/track (attribute "name") / el ("index", "start",
// "end", all required) / attribute ("name" required, text content
// required): the track's group is EnsureGroup(track name); the event type is
// EnsureEventType(track name + "." + content), whose Group becomes the
// track's group and whose GroupIndex becomes its own type index (also for a
// type that existed); the event is recorded at truncate(start x 1000) +
// offset milliseconds with no text and no parameters. Pieces that are missing
// only skip themselves.
//
// "start" and "end" are decimal numbers with "." or ","; "index" an integer.
// One that does not convert throws TConvertError and ends the import: what
// was recorded before stays. An element whose time does not fit the 32-bit
// range records nothing.

#include "interchange/import_support.h"

#include <cstdint>
#include <string>
#include <string_view>

// Throws TException "Could not open file!", "Empty document!" or "Document
// of the wrong type!" before anything is recorded.
void ImportAnnotation(const std::string& fileName, int32_t offsetMs, const TImportTarget& target);
void ImportAnnotationBytes(std::string_view bytes, int32_t offsetMs, const TImportTarget& target);
