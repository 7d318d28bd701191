// Fields: MERGEFIELDs become the control's fields with their ids; other
// fields keep their result text.
#include "document/formats/rtf/RtfCommon.h"
#include "document/formats/rtf/RtfParser.h"

#include <algorithm>

namespace wp::RtfReader::detail {

bool Parser::fieldWord(std::string_view word) {
    if (word == "field") {
        if (inDocument())
            beginField();
        else
            destination(Dest::Skip);
        return true;
    }
    if (word == "fldinst") {
        destination(inDocument() && !fields.empty() ? Dest::FieldInst : Dest::Skip);
        return true;
    }
    if (word == "fldrslt") {
        if (inDocument())
            beginFieldResult();
        return true;
    }
    if (word == "wpfieldid") {
        destination(inDocument() && !fields.empty() ? Dest::WpFieldId : Dest::Skip);
        return true;
    }
    return false;
}

void Parser::beginField() {
    FieldCtx f;
    f.depth = int(stack.size());
    fields.push_back(f);
}

void Parser::beginFieldResult() {
    if (fields.empty())
        return;
    FieldCtx& f = fields.back();
    f.name = rtf::mergeFieldName(f.inst);
    f.merge = !f.name.isEmpty() && inDocument();
    f.pageField = docmodel::pageFieldOf(f.inst);
    if (f.merge) {
        bool ok = false;
        int id = f.idText.trimmed().toInt(&ok);
        if (!ok || id < 1 || id > 32767)
            id = 0;
        if (id == 0)
            id = nextFieldId;
        nextFieldId = std::max(nextFieldId, id + 1);
        f.id = id;
    }
    st.field = int(fields.size());
}

// A field ends with its group; an empty merge field still leaves its mark.
void Parser::endFieldGroup(int depth) {
    if (fields.empty() || fields.back().depth != depth)
        return;
    FieldCtx f = fields.back();
    if (f.merge && f.emitted == 0 && inDocument()) {
        const int saved = st.field;
        st.field = int(fields.size());
        fields.back().lastProps = st.chr;
        emitText(QString(QChar(EmptyFieldMark)));
        st.field = saved;
    }
    fields.pop_back();
}

// The field id of text in the current result, marking `fmt` as the field's.
int Parser::fieldOfText(const QString& text, QTextCharFormat& fmt) {
    if (st.field <= 0 || st.field > int(fields.size()))
        return 0;
    FieldCtx& f = fields[st.field - 1];
    if (!f.merge) {
        if (!f.pageField)
            return 0;
        fmt.setProperty(docmodel::PageFieldKind, f.pageField);
        return -f.pageField; // a run of its own
    }
    fmt.setProperty(prop::FieldId, f.id);
    fmt.setProperty(prop::FieldData, f.name);
    f.emitted += text.size();
    return f.id;
}

} // namespace wp::RtfReader::detail
