#pragma once
// The XML documents of the imports: parsed with the safety settings of the
// project document (no network, no DTD or external entity ever loaded), the
// encoding taken from the document's own declaration or byte-order mark.

#include "document/xml_support.h"

#include <string>
#include <string_view>

// Parses `bytes` (`url` names it for relative references only) and checks
// the root's name (exact letter case). Throws TException with
// "Could not open file!" (not well-formed, truncated, empty), "Empty
// document!" (no root element) or "Document of the wrong type!".
TXmlDocPtr ParseImportDocument(std::string_view bytes, const std::string& url, const char* rootName);
