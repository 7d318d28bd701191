#include "document/TextControlDocument.h"

#include <QImage>
#include <QSet>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>

namespace wp::docmodel {

int hfIndex(int flag) {
    switch (flag) {
    case hf::Header:
        return 0;
    case hf::FirstPageHeader:
        return 1;
    case hf::Footer:
        return 2;
    case hf::FirstPageFooter:
        return 3;
    default:
        return -1;
    }
}

int hfFlag(int index) {
    static constexpr int flags[HeaderFooterCount] = {hf::Header, hf::FirstPageHeader, hf::Footer,
                                                     hf::FirstPageFooter};
    return flags[index];
}

DocumentContent::DocumentContent() : body(std::make_unique<QTextDocument>()) {
    prepareDocument(body.get());
    for (auto& doc : headerFooter) {
        doc = std::make_unique<QTextDocument>();
        prepareDocument(doc.get());
    }
}

DocumentContent::~DocumentContent() = default;
DocumentContent::DocumentContent(DocumentContent&&) noexcept = default;
DocumentContent& DocumentContent::operator=(DocumentContent&&) noexcept = default;

DocumentParts DocumentContent::parts() const {
    DocumentParts p;
    p.body = body.get();
    for (int i = 0; i < HeaderFooterCount; ++i)
        p.headerFooter[i] = headerFooter[i].get();
    p.page = page;
    p.baseLine = baseLine;
    p.tag = tag;
    p.info = info;
    return p;
}

void prepareDocument(QTextDocument* doc) {
    doc->setDocumentMargin(0);
    // Times New Roman is what RTF files and résumés name most; fontconfig
    // maps it to the metric-compatible Liberation Serif.
    QFont font(QStringLiteral("Times New Roman"));
    font.setPointSizeF(12);
    doc->setDefaultFont(font);
    doc->setUndoRedoEnabled(false);
}

void addImageResources(QTextDocument* doc) {
    for (const QTextFormat& f : doc->allFormats()) {
        if (!f.isImageFormat() || !f.hasProperty(prop::ImageData))
            continue;
        const QUrl name(f.toImageFormat().name());
        if (doc->resource(QTextDocument::ImageResource, name).isValid())
            continue;
        QImage image = QImage::fromData(f.property(prop::ImageData).toByteArray());
        if (image.isNull()) {
            image = QImage(1, 1, QImage::Format_ARGB32);
            image.fill(Qt::transparent);
        }
        doc->addResource(QTextDocument::ImageResource, name, image);
    }
}

std::vector<FieldRun> fieldRuns(const QTextDocument* doc) {
    std::vector<FieldRun> runs;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            const int id = frag.charFormat().intProperty(prop::FieldId);
            if (id == 0)
                continue;
            const int start = frag.position();
            const int end = start + frag.length();
            // A field goes on across fragments of its own format and across a
            // paragraph break that falls inside it.
            if (!runs.empty() && runs.back().id == id &&
                (runs.back().end == start ||
                 (runs.back().end + 1 == start && start == block.position())))
                runs.back().end = end;
            else
                runs.push_back({id, start, end});
        }
    }
    return runs;
}

static void collectTables(QTextFrame* frame, std::vector<QTextTable*>& out) {
    for (QTextFrame* child : frame->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(child))
            out.push_back(table);
        collectTables(child, out);
    }
}

std::vector<QTextTable*> tables(const QTextDocument* doc) {
    std::vector<QTextTable*> out;
    collectTables(doc->rootFrame(), out);
    return out;
}

void renumberDuplicates(QTextDocument* doc) {
    const auto runs = fieldRuns(doc);
    QSet<int> used;
    for (const auto& r : runs)
        used.insert(r.id);
    QSet<int> seen;
    int next = 1;
    auto freeId = [&] {
        while (used.contains(next))
            ++next;
        used.insert(next);
        return next;
    };
    for (const auto& r : runs) {
        if (!seen.contains(r.id)) {
            seen.insert(r.id);
            continue;
        }
        if (used.size() >= 32767)
            break;
        QTextCursor c(doc);
        c.setPosition(r.start);
        c.setPosition(r.end, QTextCursor::KeepAnchor);
        QTextCharFormat f;
        f.setProperty(prop::FieldId, freeId());
        c.mergeCharFormat(f);
    }
    QSet<int> tableIds;
    const auto all = tables(doc);
    for (QTextTable* t : all)
        tableIds.insert(t->format().intProperty(prop::TableId));
    QSet<int> tableSeen;
    int nextTable = 1;
    for (QTextTable* t : all) {
        const int id = t->format().intProperty(prop::TableId);
        if (id != 0 && !tableSeen.contains(id)) {
            tableSeen.insert(id);
            continue;
        }
        while (tableIds.contains(nextTable))
            ++nextTable;
        if (nextTable > 32767)
            break;
        tableIds.insert(nextTable);
        tableSeen.insert(nextTable);
        QTextTableFormat tf = t->format();
        tf.setProperty(prop::TableId, nextTable);
        t->setFormat(tf);
    }
}

} // namespace wp::docmodel
