#pragma once
// Footnotes. A note's mark is a run of the body whose character format
// carries the note: its text as a document of its own, kept in our native
// format, so that every format inside it travels with the mark through
// copies, saves and undo. The page layout puts the note at the foot of
// the page that shows its mark.

#include <QByteArray>
#include <QTextFormat>
#include <memory>

class QTextDocument;

namespace wp::docmodel {

/// Character format (QByteArray): the run is a note's mark and this is
/// the note's text (see noteDocument).
constexpr int NoteData = QTextFormat::UserProperty + 90;

/// A note's text as a mark's format carries it.
QByteArray noteData(const QTextDocument* note);
/// The note a mark's format carries (its NoteData) as a fresh document;
/// nullptr when there is none or it does not read.
std::unique_ptr<QTextDocument> noteDocument(const QByteArray& data);
/// Whether any run of `doc` is a note's mark.
bool hasNotes(const QTextDocument* doc);

} // namespace wp::docmodel
