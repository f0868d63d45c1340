#include "interchange/xml_input.h"

#include "base/exception.h"

#include <limits>

TXmlDocPtr ParseImportDocument(std::string_view bytes, const std::string& url, const char* rootName) {
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw TException("Could not open file!");
    TXmlDocPtr doc;
    {
        TXmlParseGuard guard;
        doc.reset(xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()),
                                url.empty() ? nullptr : url.c_str(), nullptr, SafeParseOptions));
        if (!doc || guard.HasFatalError())
            throw TException("Could not open file!");
    }
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (!root)
        throw TException("Empty document!");
    if (!IsNamed(root, rootName))
        throw TException("Document of the wrong type!");
    return doc;
}
