#include "wp/TextControl.h"

#include "document/ListMarkers.h"
#include "document/TextControlDocument.h"
#include "document/formats/NativeFormat.h"
#include "document/formats/docx/DocxReader.h"
#include "document/formats/docx/DocxWriter.h"
#include "document/formats/rtf/RtfReader.h"
#include "document/formats/rtf/RtfWriter.h"
#include "document/pages/PageLayout.h"
#include "wp/Error.h"

#include <QColor>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QTextTable>
#include <cmath>

namespace wp {

using docmodel::DocumentContent;
using docmodel::FieldRun;

// A member given an argument it cannot take fails as the runtime does.
[[noreturn]] static void refuse() {
    wp::raise(err::InvalidProcedureCall, QStringLiteral("TextControl"));
}

struct TextControl::Private {
    DocumentContent content;
    QTextCursor cursor;
    // The header or footer edited in place (hf:: flag, 0: none) and its caret.
    int hfEdited = 0;
    QTextCursor hfCursor;
    bool formatSelection = false;
    qint16 fieldCurrent = 0;
    QString lastError;

    // Field walks run once per field during a merge: keep the last scan
    // while the document has not changed.
    mutable std::vector<FieldRun> runs;
    mutable const QTextDocument* runsDoc = nullptr;
    mutable int runsRevision = -1;
    mutable bool runsDirty = true;

    const std::vector<FieldRun>& fields() const {
        const QTextDocument* doc = content.body.get();
        if (runsDirty || runsDoc != doc || runsRevision != doc->revision()) {
            runs = docmodel::fieldRuns(doc);
            runsDoc = doc;
            runsRevision = doc->revision();
            runsDirty = false;
        }
        return runs;
    }
    // The caret the selection members act on.
    QTextCursor& sel() { return hfEdited ? hfCursor : cursor; }
    const QTextCursor& sel() const { return hfEdited ? hfCursor : cursor; }
    const FieldRun* field(int id) const {
        if (id == 0)
            return nullptr;
        for (const auto& r : fields())
            if (r.id == id)
                return &r;
        return nullptr;
    }
};

// Documents are built without undo (fast); what the user edits can be undone.
static void enableUndo(DocumentContent& content) {
    content.body->setUndoRedoEnabled(true);
    for (auto& doc : content.headerFooter)
        doc->setUndoRedoEnabled(true);
}

TextControl::TextControl(QWidget* parent) : QWidget(parent), d(new Private) {
    setObjectName(QStringLiteral("TXTextControl"));
    enableUndo(d->content);
    d->cursor = QTextCursor(d->content.body.get());
    QObject::connect(d->content.body.get(), &QTextDocument::contentsChanged, this,
                     [this] { d->runsDirty = true; });
}

TextControl::~TextControl() {
    delete d;
}

// --- documents ---------------------------------------------------------------

QTextDocument* TextControl::document() const {
    return d->content.body.get();
}

QTextDocument* TextControl::headerFooterDocument(int flag) const {
    const int i = docmodel::hfIndex(flag);
    return i < 0 ? nullptr : d->content.headerFooter[i].get();
}

int TextControl::editedHeaderFooter() const {
    return d->hfEdited;
}

void TextControl::editHeaderFooter(int flag) {
    if (flag != 0) {
        // The area must be on some page: a first-page one hides the other
        // of its kind on a document of one page.
        const int flags = d->content.page.headerFooter;
        const int firstOfKind = (flag == hf::Header || flag == hf::FirstPageHeader)
                                    ? hf::FirstPageHeader
                                    : hf::FirstPageFooter;
        if (docmodel::hfIndex(flag) < 0 || !(flags & flag) ||
            (flag != firstOfKind && (flags & firstOfKind) && CurrentPages() < 2))
            refuse();
    }
    if (flag == d->hfEdited)
        return;
    d->hfEdited = flag;
    d->hfCursor = flag ? QTextCursor(headerFooterDocument(flag)) : QTextCursor();
    emit headerFooterEditingChanged(flag);
    emit cursorPositionChanged();
}

// --- page format -------------------------------------------------------------

PageFormat TextControl::pageFormat() const {
    return d->content.page;
}

void TextControl::setPageFormat(const PageFormat& format) {
    if (format.width <= 0 || format.height <= 0 || format.marginL < 0 || format.marginT < 0 ||
        format.marginR < 0 || format.marginB < 0 || format.headerPosition < 0 ||
        format.footerPosition < 0 || format.headerFooter < 0 || format.headerFooter > 15 ||
        !std::isfinite(format.headerPosition) || !std::isfinite(format.footerPosition))
        refuse();
    // Nor is a header or footer distance longer than the largest paper: no
    // file holds one, and the header dialog shows it in 16-bit millimetres.
    if (format.headerPosition > docmodel::MaxLength || format.footerPosition > docmodel::MaxLength)
        refuse();
    if (format == d->content.page)
        return;
    d->content.page = format;
    emit pageFormatChanged();
    if (d->hfEdited && !(format.headerFooter & d->hfEdited))
        editHeaderFooter(0);
}

namespace {
template <class F> void changePage(TextControl* tc, F&& change) {
    PageFormat f = tc->pageFormat();
    change(f);
    tc->setPageFormat(f);
}
} // namespace

int TextControl::PageWidth() const {
    return d->content.page.width;
}
void TextControl::setPageWidth(int twips) {
    changePage(this, [&](PageFormat& f) { f.width = twips; });
}
int TextControl::PageHeight() const {
    return d->content.page.height;
}
void TextControl::setPageHeight(int twips) {
    changePage(this, [&](PageFormat& f) { f.height = twips; });
}
int TextControl::PageMarginL() const {
    return d->content.page.marginL;
}
void TextControl::setPageMarginL(int twips) {
    changePage(this, [&](PageFormat& f) { f.marginL = twips; });
}
int TextControl::PageMarginT() const {
    return d->content.page.marginT;
}
void TextControl::setPageMarginT(int twips) {
    changePage(this, [&](PageFormat& f) { f.marginT = twips; });
}
int TextControl::PageMarginR() const {
    return d->content.page.marginR;
}
void TextControl::setPageMarginR(int twips) {
    changePage(this, [&](PageFormat& f) { f.marginR = twips; });
}
int TextControl::PageMarginB() const {
    return d->content.page.marginB;
}
void TextControl::setPageMarginB(int twips) {
    changePage(this, [&](PageFormat& f) { f.marginB = twips; });
}
int TextControl::BaseLine() const {
    return d->content.baseLine;
}
void TextControl::setBaseLine(int value) {
    d->content.baseLine = value;
}
int TextControl::HeaderFooter() const {
    return d->content.page.headerFooter;
}
void TextControl::setHeaderFooter(int flags) {
    changePage(this, [&](PageFormat& f) { f.headerFooter = flags; });
}

double TextControl::HeaderFooterPosition(int index) const {
    if (index == hf::Header)
        return d->content.page.headerPosition;
    if (index == hf::Footer)
        return d->content.page.footerPosition;
    refuse();
}

void TextControl::setHeaderFooterPosition(int index, double twips) {
    if (index != hf::Header && index != hf::Footer)
        refuse();
    changePage(this, [&](PageFormat& f) {
        (index == hf::Header ? f.headerPosition : f.footerPosition) = twips;
    });
}

// --- properties kept with the document ---------------------------------------

QString TextControl::Tag() const {
    return d->content.tag;
}
void TextControl::setTag(const QString& text) {
    d->content.tag = text;
}
QString TextControl::documentProperty(const QString& key) const {
    return d->content.info.value(key);
}
void TextControl::setDocumentProperty(const QString& key, const QString& value) {
    if (value.isEmpty())
        d->content.info.remove(key);
    else
        d->content.info.insert(key, value);
}
QMap<QString, QString> TextControl::documentProperties() const {
    return d->content.info;
}

// --- selection and input position --------------------------------------------

static int lastPosition(const QTextDocument* doc) {
    return doc->characterCount() - 1;
}

qint32 TextControl::SelStart() const {
    return d->sel().selectionStart();
}

void TextControl::setSelStart(qint32 pos) {
    QTextCursor& c = d->sel();
    c.setPosition(qBound(0, pos, lastPosition(c.document())));
    emit cursorPositionChanged();
}

qint32 TextControl::SelLength() const {
    return d->sel().selectionEnd() - d->sel().selectionStart();
}

void TextControl::setSelLength(qint32 length) {
    if (length < 0)
        refuse();
    QTextCursor& c = d->sel();
    const int start = c.selectionStart();
    c.setPosition(start);
    c.setPosition(qMin(start + length, lastPosition(c.document())), QTextCursor::KeepAnchor);
    emit cursorPositionChanged();
}

static QString plainFromDocumentText(QString text) {
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.remove(QChar(EmptyFieldMark));
    return text;
}

QString TextControl::SelText() const {
    return plainFromDocumentText(d->sel().selectedText());
}

// The field id of the character at `pos` (0: none), in any of the documents.
static int fieldIdAt(const QTextDocument* doc, int pos) {
    const QTextBlock block = doc->findBlock(pos);
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (pos >= f.position() && pos < f.position() + f.length())
            return f.charFormat().intProperty(prop::FieldId);
    }
    return 0;
}

void TextControl::setSelText(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Text typed next to a field is not part of it; only text put strictly
    // inside a field joins it.
    QTextCursor& c = d->sel();
    QTextCharFormat f = c.charFormat();
    const int start = c.selectionStart();
    const int end = c.selectionEnd();
    const int id = f.intProperty(prop::FieldId);
    if (id != 0 && !(start > 0 && fieldIdAt(c.document(), start - 1) == id &&
                     fieldIdAt(c.document(), end) == id)) {
        f.clearProperty(prop::FieldId);
        f.clearProperty(prop::FieldData);
    }
    c.insertText(t, f);
    emit cursorPositionChanged();
}

bool TextControl::FormatSelection() const {
    return d->formatSelection;
}
void TextControl::setFormatSelection(bool on) {
    d->formatSelection = on;
}

static qint32 toColorRef(const QColor& c) {
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

qint32 TextControl::ForeColor() const {
    QTextCharFormat f;
    const QTextCursor& sel = d->sel();
    if (sel.hasSelection()) {
        QTextCursor c(sel.document());
        c.setPosition(sel.selectionStart() + 1);
        f = c.charFormat();
    } else {
        f = sel.charFormat();
    }
    if (f.foreground().style() == Qt::NoBrush)
        return 0;
    return toColorRef(f.foreground().color());
}

void TextControl::setForeColor(qint32 colorref) {
    if (colorref < 0 || colorref > 0xFFFFFF)
        refuse();
    QTextCharFormat f;
    f.setForeground(QColor(colorref & 0xFF, (colorref >> 8) & 0xFF, (colorref >> 16) & 0xFF));
    if (d->formatSelection) {
        d->sel().mergeCharFormat(f);
    } else {
        QTextCursor all(d->sel().document());
        all.select(QTextCursor::Document);
        all.mergeCharFormat(f);
    }
}

QList<qint32> TextControl::CurrentInputPosition() const {
    const int pos = d->cursor.position();
    const QTextBlock block = d->cursor.block();
    int column = pos - block.position();
    int page = 1;
    int line = block.blockNumber() + 1;
    if (pageLineLocator) {
        const auto pl = pageLineLocator(pos);
        page = pl.first;
        line = pl.second;
        // With a layout, the column counts from the start of the line.
        if (const QTextLayout* layout = block.layout(); layout && layout->lineCount() > 0) {
            const QTextLine l = layout->lineForTextPosition(column);
            if (l.isValid())
                column -= l.textStart();
        }
    }
    return {page, line, column};
}

void TextControl::setCurrentInputPosition(qint32 page, qint32 line, qint32 column) {
    int pos = -1;
    if (positionLocator) {
        pos = positionLocator(page, line, column);
    } else if (page == 1 && line >= 1 && column >= 0) {
        const QTextBlock block = document()->findBlockByNumber(line - 1);
        if (block.isValid())
            pos = block.position() + qMin(column, block.length() - 1);
    }
    if (pos < 0 || pos > lastPosition(document()))
        refuse();
    d->cursor.setPosition(pos);
    emit cursorPositionChanged();
}

QTextCursor TextControl::textCursor() const {
    return d->sel();
}

void TextControl::setTextCursor(const QTextCursor& cursor) {
    if (cursor.document() != d->sel().document())
        refuse();
    d->sel() = cursor;
    emit cursorPositionChanged();
}

// --- fields ------------------------------------------------------------------

static qint16 freeFieldId(const std::vector<FieldRun>& runs) {
    QSet<int> used;
    int highest = 0;
    for (const auto& r : runs) {
        used.insert(r.id);
        highest = qMax(highest, r.id);
    }
    if (highest < 32767)
        return static_cast<qint16>(highest + 1);
    for (int id = 1; id <= 32767; ++id)
        if (!used.contains(id))
            return static_cast<qint16>(id);
    return 0;
}

qint16 TextControl::FieldInsert(const QString& text, const QString& data) {
    // A field inside a field would cut the outer one in two.
    const int start = d->cursor.selectionStart();
    const int end = d->cursor.selectionEnd();
    if (start > 0 && fieldAt(start - 1) != 0 && fieldAt(start - 1) == fieldAt(end))
        refuse();
    const qint16 id = freeFieldId(d->fields());
    if (id == 0)
        wp::raise(err::Overflow, QStringLiteral("TextControl"));
    QTextCharFormat f = d->cursor.charFormat();
    f.setProperty(prop::FieldId, int(id));
    f.setProperty(prop::FieldData, data);
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QChar::LineSeparator);
    t.replace(QLatin1Char('\n'), QChar::LineSeparator);
    d->cursor.insertText(t.isEmpty() ? QString(QChar(EmptyFieldMark)) : t, f);
    // Typing on after the field must not extend it.
    QTextCharFormat plain = f;
    plain.clearProperty(prop::FieldId);
    plain.clearProperty(prop::FieldData);
    d->cursor.setCharFormat(plain);
    d->runsDirty = true;
    emit cursorPositionChanged();
    return id;
}

qint16 TextControl::FieldNext(qint16 id, qint16 type) const {
    Q_UNUSED(type); // every field is of the one text-field kind
    const auto& runs = d->fields();
    if (id == 0)
        return runs.empty() ? 0 : static_cast<qint16>(runs.front().id);
    for (size_t i = 0; i < runs.size(); ++i)
        if (runs[i].id == id)
            return i + 1 < runs.size() ? static_cast<qint16>(runs[i + 1].id) : 0;
    return 0;
}

qint16 TextControl::FieldCurrent() const {
    return d->field(d->fieldCurrent) ? d->fieldCurrent : 0;
}

void TextControl::setFieldCurrent(qint16 id) {
    if (id != 0 && !d->field(id))
        refuse();
    d->fieldCurrent = id;
}

static QTextCharFormat formatAt(const QTextDocument* doc, int pos) {
    QTextCursor c(const_cast<QTextDocument*>(doc));
    c.setPosition(pos + 1);
    return c.charFormat();
}

QString TextControl::FieldData(qint16 id) const {
    const FieldRun* r = d->field(id);
    return r ? formatAt(document(), r->start).stringProperty(prop::FieldData) : QString();
}

void TextControl::setFieldData(qint16 id, const QString& data) {
    const FieldRun* r = d->field(id);
    if (!r)
        refuse();
    QTextCursor c(document());
    c.setPosition(r->start);
    c.setPosition(r->end, QTextCursor::KeepAnchor);
    QTextCharFormat f;
    f.setProperty(prop::FieldData, data);
    c.mergeCharFormat(f);
}

QString TextControl::FieldText() const {
    const FieldRun* r = d->field(d->fieldCurrent);
    if (!r)
        return QString();
    QTextCursor c(document());
    c.setPosition(r->start);
    c.setPosition(r->end, QTextCursor::KeepAnchor);
    return plainFromDocumentText(c.selectedText());
}

void TextControl::setFieldText(const QString& text) {
    const FieldRun* r = d->field(d->fieldCurrent);
    if (!r)
        refuse();
    const QTextCharFormat f = formatAt(document(), r->start);
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QChar::LineSeparator);
    t.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextCursor c(document());
    c.beginEditBlock();
    c.setPosition(r->start);
    c.setPosition(r->end, QTextCursor::KeepAnchor);
    c.insertText(t.isEmpty() ? QString(QChar(EmptyFieldMark)) : t, f);
    c.endEditBlock();
    d->runsDirty = true;
}

qint32 TextControl::FieldStart() const {
    const FieldRun* r = d->field(d->fieldCurrent);
    return r ? r->start + 1 : 0;
}

qint16 TextControl::fieldAt(int pos) const {
    for (const auto& r : d->fields())
        if (pos >= r.start && pos < r.end)
            return static_cast<qint16>(r.id);
    return 0;
}

int TextControl::fieldMousePointer(qint16 id) {
    int pointer = 0;
    emit FieldSetCursor(id, pointer);
    return pointer;
}

// --- tables ------------------------------------------------------------------

QTextTableFormat docmodel::insertedTableFormat(int cols, int id) {
    QTextTableFormat tf;
    tf.setProperty(prop::TableId, id);
    tf.setBorder(1);
    tf.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    tf.setBorderCollapse(true);
    tf.setCellPadding(4);
    tf.setCellSpacing(0);
    tf.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    QList<QTextLength> widths;
    for (int i = 0; i < cols; ++i)
        widths << QTextLength(QTextLength::PercentageLength, 100.0 / cols);
    tf.setColumnWidthConstraints(widths);
    return tf;
}

qint64 TextControl::cellsHeld() const {
    return docmodel::tableCells(
        {document(), headerFooterDocument(hf::Header), headerFooterDocument(hf::FirstPageHeader),
         headerFooterDocument(hf::Footer), headerFooterDocument(hf::FirstPageFooter)});
}

qint16 TextControl::TableInsert(qint32 rows, qint32 cols, qint32 pos, qint16 id) {
    if (rows < 1 || cols < 1 || id < 0 || pos < -1 || pos > lastPosition(document()))
        return 0;
    const auto all = docmodel::tables(document());
    QSet<int> used;
    for (QTextTable* t : all)
        used.insert(t->format().intProperty(prop::TableId));
    // A table that the document could save but never load again is refused.
    if (!docmodel::tableSizeFits(rows, cols) ||
        cellsHeld() + qint64(rows) * cols > docmodel::MaxDocumentCells)
        return 0;
    if (id == 0) {
        int free = 1;
        while (used.contains(free))
            ++free;
        if (free > 32767)
            return 0;
        id = static_cast<qint16>(free);
    } else if (used.contains(id)) {
        return 0;
    }
    QTextCursor c = d->cursor;
    if (pos >= 0)
        c.setPosition(pos);
    else
        c.clearSelection();
    if (c.currentTable())
        return 0;
    c.insertTable(rows, cols, docmodel::insertedTableFormat(cols, id));
    d->cursor = c;
    emit cursorPositionChanged();
    return id;
}

qint16 TextControl::TableNext(qint16& enumState, qint16& tableId) const {
    const auto all = docmodel::tables(document());
    if (enumState < 0 || enumState >= static_cast<int>(all.size()))
        return 0;
    tableId = static_cast<qint16>(all[enumState]->format().intProperty(prop::TableId));
    enumState = static_cast<qint16>(enumState + 1);
    return enumState;
}

QTextTable* TextControl::table(qint16 id) const {
    for (QTextTable* t : docmodel::tables(document()))
        if (t->format().intProperty(prop::TableId) == id)
            return t;
    return nullptr;
}

// --- load and save -----------------------------------------------------------

static QByteArray encode(const docmodel::DocumentParts& parts, int format) {
    switch (format) {
    case fmt::Native:
        return NativeFormat::write(parts);
    case fmt::Rtf:
        return RtfWriter::write(parts);
    case fmt::Docx:
        return DocxWriter::write(parts);
    case fmt::PlainText:
        return plainFromDocumentText(parts.body->toPlainText()).toUtf8();
    default:
        refuse();
    }
}

QByteArray TextControl::SaveToMemory(int format, bool selectionOnly) const {
    if (!selectionOnly)
        return encode(d->content.parts(), format);
    DocumentContent part;
    QTextCursor(part.body.get()).insertFragment(QTextDocumentFragment(d->cursor));
    part.page = d->content.page;
    return encode(part.parts(), format);
}

static bool decode(const QByteArray& data, int format, DocumentContent& out, QString& error) {
    switch (format) {
    case fmt::Native:
        return NativeFormat::read(data, out, &error);
    case fmt::Rtf:
    case fmt::Docx:
        if (!(format == fmt::Rtf ? RtfReader::read(data, out, &error)
                                 : DocxReader::read(data, out, &error)))
            return false;
        // Row heights are least heights that the layout meets by padding;
        // the reader knows no layout, so the rows are fitted here.
        PageLayout::fitRowHeights(out.body.get(),
                                  out.page.width - out.page.marginL - out.page.marginR);
        // So are numbers too wide for the room before their text.
        docmodel::fitListMarkers(out.body.get(), out.defaultTab, PageLayout::twipsDevice());
        for (const auto& doc : out.headerFooter)
            docmodel::fitListMarkers(doc.get(), out.defaultTab, PageLayout::twipsDevice());
        return true;
    case fmt::PlainText: {
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8(data);
        if (utf8.hasError()) {
            error = QStringLiteral("the text is not UTF-8");
            return false;
        }
        QTextCursor(out.body.get()).insertText(text);
        return true;
    }
    default:
        error = QStringLiteral("unknown format %1").arg(format);
        return false;
    }
}

bool TextControl::LoadFromMemory(const QByteArray& data, int format, bool selectionOnly) {
    DocumentContent loaded;
    QString error;
    if (!decode(data, format, loaded, error)) {
        d->lastError = error.isEmpty() ? QStringLiteral("not a valid document") : error;
        return false;
    }
    d->lastError.clear();
    if (selectionOnly) {
        if (!docmodel::insertPiece(d->cursor, loaded.body.get(), cellsHeld(), &error)) {
            d->lastError = error;
            return false;
        }
        d->runsDirty = true;
        emit cursorPositionChanged();
        return true;
    }
    // The Tag belongs to the control, not to the document: a host that keeps
    // its own data there still finds it after loading.
    loaded.tag = d->content.tag;
    const bool wasEditingHeaderFooter = d->hfEdited != 0;
    d->hfEdited = 0;
    d->hfCursor = QTextCursor();
    // The old documents live until the view has let go of them.
    DocumentContent old = std::move(d->content);
    d->content = std::move(loaded);
    enableUndo(d->content);
    d->cursor = QTextCursor(d->content.body.get());
    d->fieldCurrent = 0;
    d->runsDirty = true;
    QObject::connect(d->content.body.get(), &QTextDocument::contentsChanged, this,
                     [this] { d->runsDirty = true; });
    const bool pageChanged = !(old.page == d->content.page);
    emit documentReplaced();
    if (pageChanged)
        emit pageFormatChanged();
    if (wasEditingHeaderFooter)
        emit headerFooterEditingChanged(0);
    emit cursorPositionChanged();
    return true;
}

QString TextControl::lastError() const {
    return d->lastError;
}

int TextControl::formatForFile(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("rtf"))
        return fmt::Rtf;
    if (suffix == QLatin1String("docx"))
        return fmt::Docx;
    if (suffix == QLatin1String("wpdoc"))
        return fmt::Native;
    if (suffix == QLatin1String("txt"))
        return fmt::PlainText;
    return 0;
}

bool TextControl::LoadFromFile(const QString& fileName, int format) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        d->lastError = QStringLiteral("cannot read %1: %2").arg(fileName, file.errorString());
        return false;
    }
    const QByteArray data = file.readAll();
    if (format == 0)
        format = formatForFile(fileName);
    if (format == 0) {
        // An unknown extension: tell the formats by their first bytes.
        const QByteArray head = data.left(16).trimmed();
        format = head.startsWith("{\\rtf")       ? fmt::Rtf
                 : head.startsWith("WPTXDOC")    ? fmt::Native
                 : head.startsWith("PK\x03\x04") ? fmt::Docx
                                                 : fmt::PlainText;
    }
    if (!LoadFromMemory(data, format)) {
        d->lastError = QStringLiteral("%1: %2").arg(fileName, d->lastError);
        return false;
    }
    return true;
}

bool TextControl::SaveToFile(const QString& fileName, int format) {
    if (format == 0)
        format = formatForFile(fileName);
    if (format != fmt::Rtf && format != fmt::Docx && format != fmt::Native &&
        format != fmt::PlainText) {
        d->lastError =
            QStringLiteral("%1: unknown format (use .rtf, .docx, .wpdoc or .txt)").arg(fileName);
        return false;
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(SaveToMemory(format)) < 0 ||
        !file.commit()) {
        d->lastError = QStringLiteral("cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    d->lastError.clear();
    return true;
}

} // namespace wp
