#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The XML forms the three interface handlers share: requests are read by the root's type
// attribute and by the position of the root's child elements; answers are fixed tags joined by
// plain concatenation, byte for byte what PMS clients compare against.

// Leading and trailing blanks and control characters (every byte up to the space) removed.
std::string_view TrimBlanks(std::string_view text);

// The value with '&', '<' and '>' replaced by entities, so that every answer is well-formed.
// Everything else passes unchanged.
std::string EscapeXml(std::string_view text);

// "<name>" + escaped value + "</name>"; an empty value gives the two tags with nothing between.
std::string XmlElement(std::string_view name, std::string_view value);

class TXmlRequest {
public:
    // Throws std::invalid_argument when the text is no XML document.
    explicit TXmlRequest(const std::string& text);

    // The root's type attribute, trimmed; empty when it is missing.
    std::string Type() const;
    // The element children of the root in document order; their names are not looked at.
    size_t FieldCount() const { return Fields_.size(); }
    // The text of the child at index, counted from 0; empty when it holds none.
    std::string FieldText(size_t index) const;
    bool HasField(size_t index) const { return index < Fields_.size(); }

private:
    pugi::xml_document Document_;
    pugi::xml_node Root_;
    std::vector<pugi::xml_node> Fields_;
};
