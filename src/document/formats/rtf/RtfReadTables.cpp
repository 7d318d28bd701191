// Tables: row and cell definitions, the rows' paragraphs, and the QTextTable
// built from them.
#include "document/formats/rtf/RtfCommon.h"
#include "document/formats/rtf/RtfParser.h"

#include "document/ParaBorders.h"

#include <QTextCursor>
#include <QTextTable>
#include <algorithm>

namespace wp::RtfReader::detail {

void Builder::text(const QString& t, const CharProps& props, const QTextCharFormat& fmt, int field,
                   bool listText) {
    if (!current.runs.empty()) {
        Run& last = current.runs.back();
        if (last.field == field && field != NoteMarkRun && last.props == props &&
            last.listText == listText && !last.object) {
            last.text += t;
            return;
        }
    }
    current.runs.push_back({t, fmt, props, field, listText});
}

void Builder::object(const QTextCharFormat& fmt, bool floating,
                     std::shared_ptr<const TextBox> box) {
    current.runs.push_back({QString(QChar::ObjectReplacementCharacter), fmt, CharProps(), 0, false,
                            true, floating, std::move(box)});
}

void Builder::closeTable() {
    closeNested(1);
    if (!rowCells.empty() || !cell.paras.empty())
        endRow(RowDef());
    tableOpen = false;
}

Cell& Builder::cellAt(int itap) {
    return itap <= 1 ? cell : nest[size_t(itap - 2)].cell;
}

// Tables deeper than `itap` are complete; paragraphs of a row they did not
// finish join the cell above, so that no text is lost.
void Builder::closeNested(int itap) {
    for (size_t i = nest.size(); i-- > size_t(std::max(0, itap - 1));) {
        NestLevel& level = nest[i];
        Cell& parent = cellAt(int(i) + 1);
        for (Cell& c : level.rowCells)
            for (Para& para : c.paras)
                parent.paras.push_back(std::move(para));
        for (Para& para : level.cell.paras)
            parent.paras.push_back(std::move(para));
        nest.pop_back();
    }
}

// Word's contextual spacing: no space between two paragraphs of the same
// style where the one that asks for it would have put it.
static void contextualSpace(Para* previous, Para& para) {
    const int mark = para.format.intProperty(ContextualStyleProperty);
    para.format.clearProperty(ContextualStyleProperty);
    para.style = std::abs(mark) - 1;
    if (!previous || previous->style != para.style || mark == 0)
        return;
    if (mark > 0)
        para.format.clearProperty(QTextFormat::BlockTopMargin);
    if (previous->contextualStyle > 0)
        previous->format.clearProperty(QTextFormat::BlockBottomMargin);
}

// Paragraphs in a row with the same borders share one box.
static void joinBorders(Para* previous, Para& para) {
    if (!previous || !docmodel::sameBorders(previous->format, para.format))
        return;
    previous->format.setProperty(docmodel::ParaBorderJoined,
                                 previous->format.intProperty(docmodel::ParaBorderJoined) |
                                     docmodel::BorderBottom);
    para.format.setProperty(docmodel::ParaBorderJoined, int(docmodel::BorderTop));
}

void Builder::endPara(const QTextBlockFormat& bf, bool inTable, int itap) {
    current.format = bf;
    current.contextualStyle = bf.intProperty(ContextualStyleProperty);
    itap = std::clamp(itap, 1, MaxTableDepth);
    if (inTable) {
        closeNested(itap);
        if (itap > 1 && nest.size() < size_t(itap - 1))
            nest.resize(size_t(itap - 1));
        std::vector<Para>& paras = cellAt(itap).paras;
        contextualSpace(paras.empty() ? nullptr : &paras.back(), current);
        joinBorders(paras.empty() ? nullptr : &paras.back(), current);
        paras.push_back(std::move(current));
    } else {
        closeTable();
        contextualSpace(items.empty() ? nullptr : std::get_if<Para>(&items.back()), current);
        joinBorders(items.empty() ? nullptr : std::get_if<Para>(&items.back()), current);
        if (breakBefore)
            current.format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        if (sectionStart)
            current.format.setProperty(docmodel::SectionBreak, sectionStart);
        if (columnBreak)
            current.format.setProperty(docmodel::ColumnBreakBefore, true);
        breakBefore = sectionBreak = columnBreak = false;
        sectionStart = 0;
        items.emplace_back(std::move(current));
    }
    current = Para();
}

void Builder::endNestCell(const QTextBlockFormat& bf, int itap) {
    itap = std::clamp(itap, 2, MaxTableDepth);
    endPara(bf, true, itap);
    NestLevel& level = nest[size_t(itap - 2)];
    level.rowCells.push_back(std::move(level.cell));
    level.cell = Cell();
}

void Builder::endNestRow(const RowDef& def, int itap) {
    itap = std::clamp(itap, 2, MaxTableDepth);
    closeNested(itap);
    if (nest.size() < size_t(itap - 1))
        return; // no cell of this depth was read
    NestLevel& level = nest[size_t(itap - 2)];
    if (!level.cell.paras.empty()) {
        level.rowCells.push_back(std::move(level.cell));
        level.cell = Cell();
    }
    if (level.rowCells.empty())
        return;
    if (!level.table) {
        level.table = std::make_shared<Table>();
        Cell& parent = cellAt(itap - 1);
        parent.tables.emplace_back(parent.paras.size(), level.table);
    }
    level.table->rows.push_back({def, std::move(level.rowCells)});
    level.rowCells.clear();
}

void Builder::endCell(const QTextBlockFormat& bf) {
    endPara(bf, true);
    rowCells.push_back(std::move(cell));
    cell = Cell();
}

void Builder::endRow(const RowDef& def) {
    closeNested(1);
    if (!current.runs.empty())
        endPara(QTextBlockFormat(), true);
    if (!cell.paras.empty()) {
        rowCells.push_back(std::move(cell));
        cell = Cell();
    }
    if (rowCells.empty())
        return;
    if (!tableOpen) {
        Table t;
        t.breakBefore = breakBefore;
        breakBefore = sectionBreak = columnBreak = false;
        sectionStart = 0;
        items.emplace_back(std::move(t));
        tableOpen = true;
    }
    Table& t = std::get<Table>(items.back());
    if (t.id == 0)
        t.id = pendingTableId;
    pendingTableId = 0;
    t.rows.push_back({def, std::move(rowCells)});
    rowCells.clear();
}

void Builder::finish(const QTextBlockFormat& bf, bool inTable) {
    if (!current.runs.empty())
        endPara(bf, inTable);
    closeTable();
}

// Our own table id, which the writer puts before a table's first row.
bool Parser::tableIdWord(std::string_view word) {
    if (word == "nesttableprops") {
        // A nested row's definition, inside the outer row's.
        if (!st.nestProps)
            outerRowDef = rowDef;
        st.nestProps = true;
        return true;
    }
    if (word != "wptblid")
        return false;
    if (inDocument()) {
        const int target = st.target;
        destination(Dest::WpTableId);
        st.target = target;
    } else {
        destination(Dest::Skip);
    }
    return true;
}

void Parser::endTableGroup() {
    if (st.nestProps && !stack.back().nestProps)
        rowDef = outerRowDef;
}

bool Parser::rowWord(std::string_view word, bool hasParam, int param) {
    const int n = hasParam ? param : 1;
    Builder& b = builder();
    if (word == "cell") {
        b.current.mark = charFormat(st.chr);
        b.endCell(blockFormat(st.para));
    } else if (word == "nestcell") {
        b.current.mark = charFormat(st.chr);
        b.endNestCell(blockFormat(st.para), std::max(2, st.para.itap));
    } else if (word == "nestrow") {
        b.endNestRow(rowDef, std::max(2, st.para.itap));
    } else if (word == "row") {
        b.endRow(rowDef);
    } else if (word == "trowd") {
        rowDef = RowDef();
        cellDef = CellDef();
    } else if (word == "cellx") {
        cellDef.right = hasParam ? docmodel::boundLength(param, true) : 0;
        rowDef.cells.push_back(cellDef);
        cellDef = CellDef();
    } else if (word == "trleft") {
        rowDef.left = hasParam ? docmodel::boundLength(param, true) : 0;
    } else if (word == "trgaph") {
        rowDef.gap = hasParam ? docmodel::boundLength(param) : 0;
    } else if (const size_t side = std::string_view("ltrb").find(word.back());
               side < 4 && ((word.starts_with("clpad") && word.size() == 6) ||
                            (word.starts_with("trpadd") && word.size() == 7))) {
        // Cell padding, or the row's for cells that give none. Word (and
        // everyone after it) writes a cell's top padding as \clpadl and
        // its left as \clpadt.
        const size_t cellSide = side == 0 ? 1 : side == 1 ? 0 : side;
        if (word[0] == 'c')
            cellDef.pad[cellSide] = docmodel::boundLength(n);
        else
            rowDef.pad[side] = docmodel::boundLength(n);
    } else if (const size_t unitSide = std::string_view("ltrb").find(word.back());
               unitSide < 4 && ((word.starts_with("clpadf") && word.size() == 7) ||
                                (word.starts_with("trpaddf") && word.size() == 8))) {
        // The unit of a padding: 3 twips, 0 none (the value means nothing).
        if (n == 0) {
            if (word[0] == 'c')
                cellDef.padNull[unitSide == 0 ? 1 : unitSide == 1 ? 0 : unitSide] = true;
            else
                rowDef.padNull[unitSide] = true;
        }
    } else if (word == "trrh") {
        rowDef.height = docmodel::boundLength(n, true);
    } else if (word == "trqc") {
        rowDef.align = 1;
    } else if (word == "trqr") {
        rowDef.align = 2;
    } else if (word == "trhdr") {
        rowDef.header = true;
    } else if (word == "clvmgf") {
        cellDef.vmerge = 1;
    } else if (word == "clvmrg") {
        cellDef.vmerge = 2;
    } else if (word == "clmgf") {
        cellDef.hmerge = 1;
    } else if (word == "clmrg") {
        cellDef.hmerge = 2;
    } else if (word == "clcbpat") {
        cellDef.background = std::max(0, n);
    } else if (word == "clbrdrt" || word == "clbrdrb" || word == "clbrdrl" || word == "clbrdrr") {
        borderTarget = 2;
    } else if (word == "trbrdrt" || word == "trbrdrb" || word == "trbrdrl" || word == "trbrdrr" ||
               word == "trbrdrh" || word == "trbrdrv") {
        borderTarget = 1;
    } else if (word.starts_with("brdr") && word != "brdrw" && word != "brdrcf") {
        const bool visible = word != "brdrnone" && word != "brdrnil" && word != "brdrtbl";
        if (borderTarget == 2)
            cellDef.border = cellDef.border || visible;
        else if (borderTarget == 1)
            rowDef.border = rowDef.border || visible;
    } else {
        return false;
    }
    return true;
}

// Padding from the cell, else from the row; else \trgaph (half the space
// between cells) left and right, and none above and below, as in Word.
// Sides padded as the table (`gap`, its \trgaph all round) keep its padding.
// Then the row's least height.
static void applyCellLayout(QTextTableCell& cell, const RowDef& row, const CellDef* def, int gap) {
    QTextTableCellFormat cf = cell.format().toTableCellFormat();
    bool changed = row.height != 0;
    for (int side = 0; side < 4; ++side) {
        const int cellPad = def && !def->padNull[side] ? def->pad[side] : -1;
        int twips = cellPad >= 0 ? cellPad : row.padNull[side] ? -1 : row.pad[side];
        if (twips < 0)
            twips = side % 2 == 0 ? (row.gap >= 0 ? row.gap : DefaultGap) : 0;
        if (cellPad < 0 && twips == gap)
            continue;
        const double px = twips / rtf::TwipsPerPixel;
        side == 0   ? cf.setLeftPadding(px)
        : side == 1 ? cf.setTopPadding(px)
        : side == 2 ? cf.setRightPadding(px)
                    : cf.setBottomPadding(px);
        changed = true;
    }
    if (row.height != 0)
        cf.setProperty(docmodel::RowHeight, row.height);
    if (changed)
        cell.setFormat(cf);
}

void Parser::buildTable(QTextCursor& cursor, const Table& t, double available) {
    // Columns: every cell boundary of every row.
    // 64-bit: boundaries of rows with many cells beyond their definitions
    // grow by an inch each.
    std::vector<qint64> bounds;
    for (const Row& row : t.rows) {
        bounds.push_back(row.def.left);
        qint64 right = row.def.left;
        const size_t n = std::max(row.def.cells.size(), row.cells.size());
        for (size_t i = 0; i < n; ++i) {
            right = i < row.def.cells.size() ? std::max<qint64>(row.def.cells[i].right, right + 1)
                                             : right + 1440;
            bounds.push_back(right);
        }
    }
    std::sort(bounds.begin(), bounds.end());
    bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
    if (bounds.size() < 2)
        bounds = {0, 1440};
    if (bounds.size() - 1 > MaxColumns)
        bounds.resize(MaxColumns + 1);
    const int cols = int(bounds.size()) - 1;
    const int rows = int(t.rows.size());
    if (!docmodel::tableSizeFits(rows, cols))
        fail(QStringLiteral("a table's size is out of range"));
    cellBudget -= qint64(rows) * cols;
    if (cellBudget < 0)
        fail(QStringLiteral("the tables have too many cells"));
    auto column = [&](qint64 x) {
        const auto it = std::lower_bound(bounds.begin(), bounds.end(), x);
        return std::min<int>(int(it - bounds.begin()), cols);
    };

    const double textWidth = std::max(144.0, available);
    QTextTableFormat tf;
    bool border = false;
    int gap = -1;
    for (const Row& row : t.rows) {
        border = border || row.def.border;
        for (const CellDef& cd : row.def.cells)
            border = border || cd.border;
        if (gap < 0)
            gap = row.def.gap;
    }
    if (gap < 0)
        gap = DefaultGap;
    tf.setBorder(border ? 1 : 0);
    tf.setBorderStyle(border ? QTextFrameFormat::BorderStyle_Solid
                             : QTextFrameFormat::BorderStyle_None);
    tf.setBorderBrush(QBrush(Qt::black));
    tf.setBorderCollapse(true);
    tf.setCellSpacing(0);
    tf.setCellPadding(gap / rtf::TwipsPerPixel);
    // Column widths are shares of the table, the table a share of the text width.
    const double span = bounds.back() - bounds.front();
    QList<QTextLength> widths;
    for (int i = 0; i < cols; ++i)
        widths << QTextLength(QTextLength::PercentageLength,
                              100.0 * (bounds[i + 1] - bounds[i]) / span);
    tf.setColumnWidthConstraints(widths);
    tf.setWidth(
        QTextLength(QTextLength::PercentageLength, std::min(100.0, 100.0 * span / textWidth)));
    // Word starts its tables \trgaph left of the margin (\trleft-108) so
    // that the cells' text lines up with the paragraphs'.
    if (!t.rows.empty() && t.rows.front().def.left != 0)
        tf.setLeftMargin(t.rows.front().def.left / rtf::TwipsPerPixel);
    if (!t.rows.empty()) {
        const int align = t.rows.front().def.align;
        tf.setAlignment(align == 1   ? Qt::AlignHCenter
                        : align == 2 ? Qt::AlignRight
                                     : Qt::AlignLeft);
        int headers = 0;
        while (headers < rows && t.rows[headers].def.header)
            ++headers;
        if (headers)
            tf.setHeaderRowCount(headers);
    }
    if (t.id > 0 && t.id <= 32767)
        tf.setProperty(prop::TableId, t.id);
    if (t.breakBefore)
        tf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);

    QTextTable* table = cursor.insertTable(rows, cols, tf);

    // Spans: horizontal from the cell boundaries and \clmrg, vertical from \clvmrg.
    struct Placed {
        int c0 = 0, c1 = 0; // column range [c0, c1)
        const Cell* content = nullptr;
        const CellDef* def = nullptr;
    };
    std::vector<std::vector<Placed>> placed(rows);
    for (int r = 0; r < rows; ++r) {
        const Row& row = t.rows[r];
        qint64 left = row.def.left;
        const size_t n = std::max(row.def.cells.size(), row.cells.size());
        qint64 right = left;
        for (size_t i = 0; i < n; ++i) {
            right = i < row.def.cells.size() ? std::max<qint64>(row.def.cells[i].right, right + 1)
                                             : right + 1440;
            Placed pc;
            pc.c0 = column(left);
            pc.c1 = column(right);
            pc.content = i < row.cells.size() ? &row.cells[i] : nullptr;
            pc.def = i < row.def.cells.size() ? &row.def.cells[i] : nullptr;
            left = right;
            if (pc.c0 >= pc.c1)
                continue;
            if (pc.def && pc.def->hmerge == 2 && !placed[r].empty()) {
                placed[r].back().c1 = pc.c1;
                continue;
            }
            placed[r].push_back(pc);
        }
    }
    std::vector<std::vector<int>> rowSpan(rows);
    for (int r = 0; r < rows; ++r)
        rowSpan[r].assign(placed[r].size(), 1);
    for (int r = 1; r < rows; ++r)
        for (size_t i = 0; i < placed[r].size(); ++i) {
            const Placed& pc = placed[r][i];
            if (!pc.def || pc.def->vmerge != 2)
                continue;
            // Find the origin above with the same columns.
            for (int up = r - 1; up >= 0; --up) {
                bool found = false;
                for (size_t j = 0; j < placed[up].size(); ++j)
                    if (placed[up][j].c0 == pc.c0 && placed[up][j].c1 == pc.c1 &&
                        rowSpan[up][j] > 0) {
                        if (up + rowSpan[up][j] == r) {
                            rowSpan[up][j] += 1;
                            rowSpan[r][i] = 0; // covered
                        }
                        found = true;
                        break;
                    }
                if (found)
                    break;
            }
        }
    for (int r = 0; r < rows; ++r)
        for (size_t i = 0; i < placed[r].size(); ++i) {
            const Placed& pc = placed[r][i];
            if (rowSpan[r][i] > 1 || pc.c1 - pc.c0 > 1)
                if (rowSpan[r][i] > 0)
                    table->mergeCells(r, pc.c0, rowSpan[r][i], pc.c1 - pc.c0);
        }
    for (int r = 0; r < rows; ++r)
        for (size_t i = 0; i < placed[r].size(); ++i) {
            const Placed& pc = placed[r][i];
            if (rowSpan[r][i] == 0)
                continue;
            QTextTableCell cell = table->cellAt(r, pc.c0);
            if (cell.row() != r || cell.column() != pc.c0)
                continue;
            if (pc.def && pc.def->background > 0 && pc.def->background < int(colors.size()) &&
                colors[pc.def->background].isValid()) {
                QTextTableCellFormat cf = cell.format().toTableCellFormat();
                cf.setBackground(colors[pc.def->background]);
                cell.setFormat(cf);
            }
            applyCellLayout(cell, t.rows[r].def, pc.def, gap);
            if (!pc.content)
                continue;
            QTextCursor cc = cell.firstCursorPosition();
            bool first = true;
            const auto& nested = pc.content->tables;
            size_t next = 0;
            auto tablesBefore = [&](size_t para) {
                for (; next < nested.size() && nested[next].first <= para; ++next)
                    if (!nested[next].second->rows.empty()) {
                        buildTable(cc, *nested[next].second,
                                   double(bounds[size_t(pc.c1)] - bounds[size_t(pc.c0)]));
                        first = true;
                    }
            };
            for (size_t i = 0; i < pc.content->paras.size(); ++i) {
                tablesBefore(i);
                insertPara(cc, pc.content->paras[i], first);
                first = false;
            }
            tablesBefore(SIZE_MAX);
        }
    cursor.setPosition(table->lastPosition() + 1);
}

} // namespace wp::RtfReader::detail
