#include "XmlMessageUnit.h"

#include <stdexcept>

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

std::string EscapeXml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string XmlElement(std::string_view name, std::string_view value) {
    std::string element;
    element.reserve(2 * name.size() + value.size() + 5);
    element.append("<").append(name).append(">");
    element.append(EscapeXml(value));
    element.append("</").append(name).append(">");
    return element;
}

TXmlRequest::TXmlRequest(const std::string& text) {
    const pugi::xml_parse_result parsed =
        Document_.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed)
        throw std::invalid_argument(parsed.description());
    Root_ = Document_.document_element();
    for (pugi::xml_node child : Root_.children())
        if (child.type() == pugi::node_element)
            Fields_.push_back(child);
}

std::string TXmlRequest::Type() const {
    return std::string(TrimBlanks(Root_.attribute("type").value()));
}

std::string TXmlRequest::FieldText(size_t index) const {
    return index < Fields_.size() ? Fields_[index].text().get() : "";
}
