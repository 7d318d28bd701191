#include "document/TextControlDocument.h"

#include <QSet>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>
#include <algorithm>
#include <cmath>

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

void setWordTabs(QTextBlockFormat& bf, const QList<QTextOption::Tab>& tabs, double defaultTab,
                 double textWidth) {
    constexpr double twipsPerPixel = 15;
    const double li = bf.leftMargin(), fi = bf.textIndent();
    const double start = (li + fi) / twipsPerPixel;
    if (std::abs(start) < 0.01 && tabs.isEmpty())
        return;
    QList<QTextOption::Tab> all = tabs;
    if (fi < 0 && li > 0)
        all << QTextOption::Tab(li / twipsPerPixel, QTextOption::LeftTab);
    std::stable_sort(all.begin(), all.end(),
                     [](const auto& a, const auto& b) { return a.position < b.position; });
    const double right = (textWidth - bf.rightMargin()) / twipsPerPixel;
    QList<QTextOption::Tab> placed;
    double last = start;
    for (QTextOption::Tab t : all) {
        if (t.position <= start + 0.5)
            continue;
        last = std::max(last, t.position);
        if (t.type != QTextOption::LeftTab && textWidth > 0)
            t.position = std::min(t.position, right);
        t.position -= start;
        placed << t;
    }
    if (defaultTab > 0) {
        const double step = defaultTab / twipsPerPixel;
        for (double pos = (std::floor(last / step) + 1) * step; pos < right && placed.size() < 64;
             pos += step)
            placed << QTextOption::Tab(pos - start, QTextOption::LeftTab);
    }
    bf.setTabPositions(placed);
    QList<QVariant> original;
    for (const QTextOption::Tab& t : tabs)
        original << QVariant::fromValue(t);
    bf.setProperty(WordTabs, original);
}

QList<QTextOption::Tab> wordTabs(const QTextBlockFormat& bf) {
    if (!bf.hasProperty(WordTabs))
        return bf.tabPositions();
    QList<QTextOption::Tab> tabs;
    for (const QVariant& v : bf.property(WordTabs).toList())
        if (v.canConvert<QTextOption::Tab>())
            tabs << v.value<QTextOption::Tab>();
    return tabs;
}

bool sectionPage(const QTextFormat& format, const PageFormat& base, PageFormat& page) {
    const QStringList parts =
        format.stringProperty(SectionPage).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 6)
        return false;
    qint64 v[6];
    for (int i = 0; i < 6; ++i) {
        bool ok = false;
        v[i] = parts[i].toLongLong(&ok);
        if (!ok)
            return false;
    }
    page = base;
    page.width = boundPaperLength(v[0]);
    page.height = boundPaperLength(v[1]);
    page.marginL = boundLength(v[2]);
    page.marginT = boundLength(v[3]);
    page.marginR = boundLength(v[4]);
    page.marginB = boundLength(v[5]);
    return true;
}

double ownRightMargin(const QTextBlockFormat& format) {
    return format.rightMargin() - format.doubleProperty(ColumnNarrowing);
}

std::vector<double> sectionColumns(const QTextFormat& format, double textWidth) {
    const int count = std::clamp(format.intProperty(SectionColumns), 1, MaxSectionColumns);
    if (count == 1)
        return {textWidth};
    std::vector<double> given;
    for (const QString& part :
         format.stringProperty(ColumnWidths).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        given.push_back(boundLength(part.toDouble()));
    if (int(given.size()) == 2 * count - 1) {
        double sum = 0;
        for (double v : given)
            sum += v;
        // Widths written for another text width are scaled to this one; a
        // sliver of a column (a line a letter wide) gives way to equal ones.
        bool usable = sum > 0;
        for (size_t i = 0; usable && i < given.size(); ++i) {
            given[i] *= textWidth / sum;
            usable = i % 2 == 1 || given[i] >= textWidth / (4 * count);
        }
        if (usable)
            return given;
    }
    const double gap =
        std::clamp(double(format.intProperty(ColumnGap)), 0.0, textWidth / (count - 1) * 0.5);
    const double width = (textWidth - gap * (count - 1)) / count;
    std::vector<double> columns;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            columns.push_back(gap);
        columns.push_back(width);
    }
    return columns;
}

bool isFloat(const QTextFrame* frame) {
    return frame && frame->frameFormat().intProperty(FloatWrap) > 0;
}

bool isFloatHolder(const QTextBlock& block) {
    return block.blockFormat().boolProperty(FloatHolder) && block.length() <= 1;
}

std::vector<const QTextFrame*> floatsBefore(const QTextBlock& block) {
    std::vector<const QTextFrame*> floats;
    const QTextDocument* d = block.document();
    int next = block.position();
    for (QTextBlock p = block.previous(); p.isValid();) {
        const QTextFrame* f = d->frameAt(p.position());
        if (!isFloat(f) || f->lastPosition() + 1 != next)
            break;
        floats.insert(floats.begin(), f);
        next = f->firstPosition() - 1;
        p = d->findBlock(f->firstPosition()).previous();
    }
    return floats;
}

QTextBlockFormat writtenBlockFormat(const QTextBlock& block,
                                    const std::vector<const QTextFrame*>& floats) {
    QTextBlockFormat bf = block.blockFormat();
    if (!floats.empty()) {
        const QTextBlock holder = block.document()->findBlock(floats.front()->firstPosition() - 1);
        if (isFloatHolder(holder) &&
            holder.blockFormat().lineHeightType() == QTextBlockFormat::FixedHeight)
            bf.setTopMargin(bf.topMargin() + holder.blockFormat().lineHeight());
    }
    return bf;
}

std::vector<double> columnWidths(const QTextTable* table, double textWidth) {
    constexpr double twipsPerPixel = 15.0;
    const QTextTableFormat tf = table->format();
    double width = textWidth;
    const QTextLength w = tf.width();
    if (w.type() == QTextLength::PercentageLength)
        width = textWidth * w.rawValue() / 100;
    else if (w.type() == QTextLength::FixedLength)
        width = w.rawValue() * twipsPerPixel;
    const int cols = table->columns();
    const QList<QTextLength> constraints = tf.columnWidthConstraints();
    std::vector<double> widths(size_t(cols), -1);
    double used = 0;
    int open = 0;
    for (int c = 0; c < cols; ++c) {
        if (c < constraints.size() && constraints[c].type() == QTextLength::PercentageLength)
            widths[size_t(c)] = width * constraints[c].rawValue() / 100;
        else if (c < constraints.size() && constraints[c].type() == QTextLength::FixedLength)
            widths[size_t(c)] = constraints[c].rawValue() * twipsPerPixel;
        if (widths[size_t(c)] >= 0)
            used += widths[size_t(c)];
        else
            ++open;
    }
    for (double& x : widths)
        if (x < 0)
            x = std::max(144.0, (width - used) / std::max(1, open));
    return widths;
}

static void collectBlocks(QTextFrame::iterator it, std::vector<QTextBlock>& blocks) {
    for (; !it.atEnd(); ++it) {
        if (QTextFrame* f = it.currentFrame()) {
            if (auto* t = qobject_cast<QTextTable*>(f)) {
                for (int r = 0; r < t->rows(); ++r)
                    for (int c = 0; c < t->columns(); ++c) {
                        const QTextTableCell cell = t->cellAt(r, c);
                        if (cell.row() == r && cell.column() == c)
                            collectBlocks(cell.begin(), blocks);
                    }
            } else {
                collectBlocks(f->begin(), blocks);
            }
        } else {
            blocks.push_back(it.currentBlock());
        }
    }
}

std::vector<std::pair<QTextBlock, QTextTable*>> frameItems(QTextFrame::iterator it, bool tables) {
    std::vector<std::pair<QTextBlock, QTextTable*>> items;
    for (; !it.atEnd(); ++it) {
        if (QTextFrame* f = it.currentFrame()) {
            if (isFloat(f))
                continue;
            if (auto* t = qobject_cast<QTextTable*>(f); t && tables) {
                items.push_back({QTextBlock(), t});
            } else {
                std::vector<QTextBlock> blocks;
                collectBlocks(f->begin(), blocks);
                for (const QTextBlock& b : blocks)
                    items.push_back({b, nullptr});
            }
        } else if (!isFloatHolder(it.currentBlock())) {
            items.push_back({it.currentBlock(), nullptr});
        }
    }
    return items;
}

void prepareDocument(QTextDocument* doc) {
    doc->setDocumentMargin(0);
    // Times New Roman is what RTF files and résumés name most; fontconfig
    // maps it to the metric-compatible Liberation Serif.
    QFont font(QStringLiteral("Times New Roman"));
    font.setPointSizeF(12);
    // Letter spacing of 100 % changes no width but keeps Qt from joining
    // "fi" and "ffi" into ligature glyphs, which a PDF's reader (search,
    // copy, applicant-tracking systems) would take as U+FB01... instead of
    // the letters.
    font.setLetterSpacing(QFont::PercentageSpacing, 100);
    doc->setDefaultFont(font);
    doc->setUndoRedoEnabled(false);
    keepPicturesOwn(doc);
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

bool insertPiece(QTextCursor& cursor, QTextDocument* piece, qint64 cellsHeld, QString* error) {
    if (const QString why = tableLimitError(piece, cellsHeld); !why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    QTextDocument* doc = cursor.document();
    ownPictures(piece, doc);
    cursor.insertFragment(QTextDocumentFragment(piece));
    addImageResources(doc);
    renumberDuplicates(doc);
    return true;
}

int pageFieldOf(const QString& instruction) {
    const QString name = instruction.trimmed().section(QLatin1Char(' '), 0, 0).toUpper();
    if (name == QLatin1String("PAGE"))
        return PageNumber;
    if (name == QLatin1String("NUMPAGES"))
        return PageCount;
    if (name == QLatin1String("SECTIONPAGES"))
        return SectionPages;
    return 0;
}

static void addSpaceAfterToNext(QTextFrame* frame, QTextCursor& cursor) {
    auto walk = [&cursor](QTextFrame::iterator it) {
        QTextBlock prev;
        QTextFrame* prevFrame = nullptr;
        for (; !it.atEnd(); ++it) {
            if (QTextFrame* child = it.currentFrame()) {
                // Qt leaves out the space after a paragraph that a table
                // follows: the table's top margin carries it.
                if (const double after = prev.isValid() ? prev.blockFormat().bottomMargin() : 0;
                    after > 0) {
                    QTextFrameFormat f = child->frameFormat();
                    f.setTopMargin(f.topMargin() + after);
                    child->setFrameFormat(f);
                }
                addSpaceAfterToNext(child, cursor);
                prev = QTextBlock();
                prevFrame = child;
                continue;
            }
            const QTextBlock block = it.currentBlock();
            // And the space before a paragraph that follows a table: the
            // table's bottom margin carries that.
            if (const double before = prevFrame ? block.blockFormat().topMargin() : 0; before > 0) {
                QTextFrameFormat f = prevFrame->frameFormat();
                f.setBottomMargin(f.bottomMargin() + before);
                prevFrame->setFrameFormat(f);
            }
            prevFrame = nullptr;
            const double extra = prev.isValid() ? prev.blockFormat().bottomMargin() : 0.0;
            if (extra > 0) {
                QTextBlockFormat f = block.blockFormat();
                f.setTopMargin(f.topMargin() + extra);
                f.setProperty(SpaceAbove, extra);
                cursor.setPosition(block.position());
                cursor.setBlockFormat(f);
            }
            prev = block;
        }
    };
    if (auto* table = qobject_cast<QTextTable*>(frame)) {
        for (int r = 0; r < table->rows(); ++r)
            for (int c = 0; c < table->columns(); ++c) {
                QTextTableCell cell = table->cellAt(r, c);
                if (cell.row() != r || cell.column() != c)
                    continue;
                walk(cell.begin());
                // Qt leaves out the space before a cell's first paragraph
                // and after its last: the cell's padding carries them.
                const double before = cell.firstCursorPosition().blockFormat().topMargin();
                const double after = cell.lastCursorPosition().blockFormat().bottomMargin();
                if (before <= 0 && after <= 0)
                    continue;
                QTextTableCellFormat cf = cell.format().toTableCellFormat();
                const double pad = table->format().cellPadding();
                auto side = [&cf, pad](int property) {
                    return cf.hasProperty(property) ? cf.doubleProperty(property) : pad;
                };
                cf.setTopPadding(side(QTextFormat::TableCellTopPadding) + std::max(0.0, before));
                cf.setBottomPadding(side(QTextFormat::TableCellBottomPadding) +
                                    std::max(0.0, after));
                cell.setFormat(cf);
            }
    } else {
        walk(frame->begin());
    }
}

void addSpaceAfterToNext(QTextDocument* doc) {
    if (!doc)
        return;
    QTextCursor cursor(doc);
    addSpaceAfterToNext(doc->rootFrame(), cursor);
}

// Two paragraphs follow each other in the same frame or table cell.
static bool sameContainer(QTextDocument* doc, const QTextBlock& a, const QTextBlock& b) {
    QTextFrame* frame = doc->frameAt(a.position());
    if (frame != doc->frameAt(b.position()))
        return false;
    auto* table = qobject_cast<QTextTable*>(frame);
    return !table || table->cellAt(a.position()) == table->cellAt(b.position());
}

void refreshSpaceAbove(QTextDocument* doc, int from, int to) {
    if (!doc)
        return;
    QTextBlock block = doc->findBlock(std::max(0, from));
    const QTextBlock last = doc->findBlock(std::max(from, to));
    const QTextBlock stop = last.isValid() ? last.next().next() : QTextBlock();
    QTextCursor cursor;
    for (; block.isValid() && block != stop; block = block.next()) {
        const QTextBlockFormat f = block.blockFormat();
        const QTextBlock prev = block.previous();
        const double after = prev.isValid() && sameContainer(doc, prev, block)
                                 ? std::max(0.0, prev.blockFormat().bottomMargin())
                                 : 0.0;
        const double above = f.doubleProperty(SpaceAbove);
        if (above == after || (!f.hasProperty(SpaceAbove) && after <= 0))
            continue;
        QTextBlockFormat g = f;
        g.setTopMargin(f.topMargin() - above + after);
        if (after > 0)
            g.setProperty(SpaceAbove, after);
        else
            g.clearProperty(SpaceAbove);
        if (cursor.isNull()) {
            cursor = QTextCursor(doc);
            cursor.joinPreviousEditBlock();
        }
        cursor.setPosition(block.position());
        cursor.setBlockFormat(g);
    }
    if (!cursor.isNull())
        cursor.endEditBlock();
}

void emulateSmallCaps(QTextDocument* doc) {
    QTextCursor cursor(doc);
    const double defaultSize = doc->defaultFont().pointSizeF();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextCharFormat f = fragment.charFormat();
            if (f.fontCapitalization() != QFont::SmallCaps)
                continue;
            const double size =
                f.hasProperty(QTextFormat::FontPointSize) ? f.fontPointSize() : defaultSize;
            f.setFontCapitalization(QFont::AllUppercase);
            f.setProperty(SmallCapsSize, size);
            const QString text = fragment.text();
            for (qsizetype i = 0; i < text.size();) {
                const bool lower = text[i].isLower();
                qsizetype j = i + 1;
                while (j < text.size() && text[j].isLower() == lower)
                    ++j;
                QTextCharFormat part = f;
                part.setFontPointSize(lower ? size * 0.8 : size);
                cursor.setPosition(fragment.position() + int(i));
                cursor.setPosition(fragment.position() + int(j), QTextCursor::KeepAnchor);
                cursor.setCharFormat(part);
                i = j;
            }
        }
    }
}

std::pair<QFont::Capitalization, double> fileCase(const QTextCharFormat& f) {
    if (f.hasProperty(SmallCapsSize))
        return {QFont::SmallCaps, f.doubleProperty(SmallCapsSize)};
    return {f.fontCapitalization(),
            f.hasProperty(QTextFormat::FontPointSize) ? f.fontPointSize() : 0.0};
}

} // namespace wp::docmodel
