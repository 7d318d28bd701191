#pragma once
// The documents of a text control as one value, and the walks over fields
// and tables that the control, its formats and its view share.

#include "wp/PageFormat.h"
#include "wp/TextControl.h"

#include <QMap>
#include <QString>
#include <array>
#include <memory>
#include <vector>

class QTextDocument;
class QTextTable;

namespace wp::docmodel {

/// Header/footer areas in storage order: Header, FirstPageHeader, Footer,
/// FirstPageFooter.
constexpr int HeaderFooterCount = 4;
/// Index 0..3 of an hf:: flag, -1 for anything else.
int hfIndex(int flag);
/// hf:: flag of index 0..3.
int hfFlag(int index);

/// What a save reads: the control's documents and settings, not owned.
struct DocumentParts {
    const QTextDocument* body = nullptr;
    std::array<const QTextDocument*, HeaderFooterCount> headerFooter{};
    PageFormat page;
    int baseLine = 0;
    QString tag;
    QMap<QString, QString> info;
};

/// What a load produces: fresh documents and settings, owned until the
/// control adopts them.
struct DocumentContent {
    DocumentContent();
    ~DocumentContent();
    DocumentContent(DocumentContent&&) noexcept;
    DocumentContent& operator=(DocumentContent&&) noexcept;

    std::unique_ptr<QTextDocument> body;
    std::array<std::unique_ptr<QTextDocument>, HeaderFooterCount> headerFooter;
    PageFormat page;
    int baseLine = 0;
    QString tag;
    QMap<QString, QString> info;

    DocumentParts parts() const;
};

/// Gives a new document the control's defaults (no document margin: the
/// page layout places it; the default font).
void prepareDocument(QTextDocument* doc);

/// Gives the document the images its pictures name: each QTextImageFormat
/// carries its picture's data (prop::ImageData); one it cannot draw gets a
/// transparent image, so that it keeps its size as an empty frame.
void addImageResources(QTextDocument* doc);

/// One field: its id and the body positions [start, end) of its characters.
struct FieldRun {
    int id = 0;
    int start = 0;
    int end = 0;
};
/// The document's fields in document order; adjacent characters with the
/// same id form one run.
std::vector<FieldRun> fieldRuns(const QTextDocument* doc);
/// The document's tables in document order (nested ones after their parent).
std::vector<QTextTable*> tables(const QTextDocument* doc);

/// Gives every field and table a unique id again after text was pasted in:
/// the second run of a repeated id gets the next free one.
void renumberDuplicates(QTextDocument* doc);

} // namespace wp::docmodel
