#include "document/Notes.h"

#include "document/TextControlDocument.h"
#include "document/formats/NativeFormat.h"

#include <QTextDocument>
#include <algorithm>

namespace wp::docmodel {

QByteArray noteData(const QTextDocument* note) {
    DocumentContent holder; // empty headers and footers beside the note
    DocumentParts parts = holder.parts();
    parts.body = note;
    return NativeFormat::write(parts);
}

std::unique_ptr<QTextDocument> noteDocument(const QByteArray& data) {
    if (data.isEmpty())
        return nullptr;
    DocumentContent content;
    if (!NativeFormat::read(data, content, nullptr))
        return nullptr;
    return std::move(content.body);
}

bool hasNotes(const QTextDocument* doc) {
    if (!doc)
        return false;
    const QList<QTextFormat> formats = doc->allFormats();
    return std::any_of(formats.begin(), formats.end(),
                       [](const QTextFormat& f) { return f.hasProperty(NoteData); });
}

} // namespace wp::docmodel
