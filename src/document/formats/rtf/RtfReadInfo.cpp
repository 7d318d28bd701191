// The \info group: its children name the document's properties.
#include "document/formats/rtf/RtfParser.h"

namespace wp::RtfReader::detail {

bool Parser::infoWord(std::string_view word) {
    if (word == "info") {
        destination(st.dest == Dest::Body ? Dest::InfoGroup : Dest::Skip);
        return true;
    }
    if (st.dest != Dest::InfoGroup)
        return false;
    static constexpr std::pair<std::string_view, const char*> keys[] = {
        {"title", "title"},       {"subject", "subject"},  {"author", "author"},
        {"manager", "manager"},   {"company", "company"},  {"category", "category"},
        {"keywords", "keywords"}, {"doccomm", "comments"},
    };
    for (const auto& [rtfWord, key] : keys)
        if (word == rtfWord) {
            st.dest = Dest::Info;
            st.infoKey = QString::fromLatin1(key);
            out.info[st.infoKey].clear();
            return true;
        }
    return false;
}

} // namespace wp::RtfReader::detail
