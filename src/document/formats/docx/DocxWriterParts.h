#pragma once
// The .docx writer, shared by the files that each write one part:
// DocxWriter.cpp (the package: content types, relationships, settings,
// styles, properties, the section), DocxWriteText.cpp (paragraphs, runs,
// fields, pictures), DocxWriteTables.cpp (tables) and DocxWriteLists.cpp
// (numbering).

#include "document/TextControlDocument.h"
#include "document/formats/docx/DocxPackage.h"

#include <QHash>
#include <QString>
#include <QTextBlock>
#include <QTextFrame>
#include <QXmlStreamWriter>
#include <array>
#include <utility>
#include <vector>

class QTextList;
class QTextTable;
class QTextTableCell;
class QTextImageFormat;

namespace wp::DocxWriter::detail {

using docx::PackageWriter;

/// Lengths: twips in the documents' left/right margins, 1/96 inch for the
/// rest (see rtf::TwipsPerPixel); pictures in EMU (914400 to the inch).
constexpr double TwipsPerPixel = 15.0;
constexpr double EmuPerPixel = 9525.0;
using docmodel::MaxTableDepth;

class Writer : docmodel::PartsWriter {
public:
    using PartsWriter::PartsWriter;
    QByteArray write();

private:
    PackageWriter package;
    QXmlStreamWriter* xml = nullptr; // of the part being written

    // Relationships of the part being written: id -> (type, target).
    std::vector<std::pair<QString, QString>>* rels = nullptr;
    std::vector<std::pair<QString, QByteArray>> media; // pictures, stored after the XML
    int mediaCount = 0;
    int drawingCount = 0;
    int bookmarkCount = 0;
    int pendingTableId = 0; // written as a bookmark into the next paragraph
    QString addRelationship(const QString& type, const QString& target);

    // The package's parts (DocxWriter.cpp).
    void documentPart(QXmlStreamWriter& w, const QTextDocument* d, const char* root,
                      std::vector<std::pair<QString, QString>>& partRels, bool body);
    QByteArray relationshipsXml(const std::vector<std::pair<QString, QString>>& partRels);
    QByteArray stylesXml();
    QByteArray settingsXml();
    QByteArray coreXml();
    QByteArray appXml();
    QByteArray contentTypesXml(const std::vector<QString>& headers,
                               const std::vector<QString>& footers);
    void sectionProps(const std::array<QString, 4>& refs);
    static void rootNamespaces(QXmlStreamWriter& w);

    // Paragraphs, runs, fields and pictures (DocxWriteText.cpp).
    void content(QTextFrame::iterator it, double textWidth, int depth);
    // `gapAfter`: a paragraph follows in the same frame, which takes the gap.
    void paragraph(const QTextBlock& b, bool gapAfter);
    void paragraphProps(const QTextBlock& b, const QTextBlockFormat& bf, const QTextList* list,
                        bool gapAfter);
    void runProps(const QTextCharFormat& f);
    void runText(const QTextCharFormat& f, QStringView text);
    void fieldBegin(const QString& instruction, int id, int bookmark);
    void fieldSeparate();
    void fieldEnd(int bookmark);
    void picture(const QTextImageFormat& f, const QTextFrameFormat* floating);

    // Tables (DocxWriteTables.cpp).
    void table(QTextTable* t, double textWidth, int depth);
    std::vector<long long> columnWidths(QTextTable* t, double textWidth) const;

    // Numbering (DocxWriteLists.cpp).
    struct ListOut {
        std::pair<const void*, int> key;
        std::array<const QTextList*, 9> levels{};
    };
    std::vector<ListOut> lists; // index + 1 = w:numId and w:abstractNumId
    int listNumber(const QTextList* list);
    QByteArray numberingXml();
};

} // namespace wp::DocxWriter::detail
