// Tables: the grid's column widths give the cell boundaries, w:gridSpan and
// w:vMerge the merged cells; borders, shading, padding, header rows and
// row heights come from the table's style, its own format and its cells.
// A table nested in a cell is written at its depth as RTF nests it.
#include "document/formats/docx/DocxTranslator.h"

#include <algorithm>

namespace wp::DocxReader::detail {

namespace {

struct CellDef {
    int span = 1;
    int vmerge = 0; // 1 first of a vertical merge, 2 merged into the cell above
    std::optional<QRgb> shade;
    std::optional<bool> borders;
    std::optional<int> padding[4];
    int width = 0; // w:tcW in twips, for tables without a grid
};

struct RowDef {
    std::vector<CellDef> cells;
    int height = 0;
    bool exact = false;
    bool header = false;
    int gridBefore = 0;
};

bool visibleBorders(QXmlStreamReader& xml, std::optional<bool>& any) {
    bool seen = false, visible = false;
    while (xml.readNextStartElement()) {
        const QString v = attr(xml);
        seen = true;
        visible =
            visible || (!v.isEmpty() && v != QLatin1String("none") && v != QLatin1String("nil"));
        skip(xml);
    }
    if (seen)
        any = visible;
    return visible;
}

void readCellProps(QXmlStreamReader& xml, CellDef& c) {
    while (xml.readNextStartElement()) {
        const auto n = xml.name();
        if (n == QLatin1String("gridSpan")) {
            c.span = std::clamp(intAttr(xml, "val", 1), 1, 64);
        } else if (n == QLatin1String("vMerge")) {
            c.vmerge = attr(xml) == QLatin1String("restart") ? 1 : 2;
        } else if (n == QLatin1String("shd")) {
            if (const auto rgb = hexColor(attr(xml, "fill")))
                c.shade = *rgb;
        } else if (n == QLatin1String("tcW")) {
            if (attr(xml, "type") == QLatin1String("dxa"))
                c.width = std::clamp(intAttr(xml, "w"), 0, MaxLength);
        } else if (n == QLatin1String("tcBorders")) {
            visibleBorders(xml, c.borders);
            continue;
        } else if (n == QLatin1String("tcMar")) {
            readMargins(xml, c.padding);
            continue;
        }
        skip(xml);
    }
}

void readRowProps(QXmlStreamReader& xml, RowDef& r) {
    while (xml.readNextStartElement()) {
        const auto n = xml.name();
        if (n == QLatin1String("trHeight")) {
            r.height = std::clamp(intAttr(xml, "val"), 0, MaxLength);
            r.exact = attr(xml, "hRule") == QLatin1String("exact");
        } else if (n == QLatin1String("tblHeader")) {
            r.header = onOff(xml);
        } else if (n == QLatin1String("gridBefore")) {
            r.gridBefore = std::clamp(intAttr(xml, "val"), 0, 64);
        }
        skip(xml);
    }
}

} // namespace

void Translator::table(QXmlStreamReader& xml, int tableDepth, int depth) {
    if (depth > MaxDepth)
        throw QStringLiteral("the document is nested too deeply");
    TableProps direct;
    std::vector<int> grid;
    int tableId = 0;
    int* const savedSlot = tableIdSlot;
    const QString savedStyle = tableStyle;
    tableIdSlot = &tableId;
    tableStyle = defaultTableStyle;
    TableProps props = styleTable(tableStyle);
    bool firstRow = true;
    // Deeper tables than the RTF reader nests are left out; their text stays
    // in the cell as paragraphs of this depth.
    const int depthOut = std::min(tableDepth, MaxTableDepth);

    while (xml.readNextStartElement()) {
        const auto n = xml.name();
        if (n == QLatin1String("tblPr")) {
            readTableProps(xml, direct);
            if (!direct.style.isEmpty())
                tableStyle = direct.style;
            props = styleTable(tableStyle);
            props.merge(direct);
            continue;
        }
        if (n == QLatin1String("tblGrid")) {
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("gridCol") && grid.size() < 256)
                    grid.push_back(std::clamp(intAttr(xml, "w"), 0, MaxLength));
                skip(xml);
            }
            continue;
        }
        if (n != QLatin1String("tr")) {
            skip(xml);
            continue;
        }
        RowDef row;
        const qsizetype rowStart = out.size();
        while (xml.readNextStartElement()) {
            const auto rn = xml.name();
            if (rn == QLatin1String("trPr")) {
                readRowProps(xml, row);
                continue;
            }
            if (rn != QLatin1String("tc")) {
                skip(xml);
                continue;
            }
            CellDef cell;
            spaceAfterBefore = 0;
            qsizetype lastEnd = -1;
            bool any = false;
            while (xml.readNextStartElement()) {
                const auto cn = xml.name();
                if (cn == QLatin1String("tcPr")) {
                    readCellProps(xml, cell);
                } else if (cn == QLatin1String("p")) {
                    lastEnd = paragraph(xml, depthOut, depth + 1);
                    any = true;
                } else if (cn == QLatin1String("tbl") && tableDepth < MaxTableDepth) {
                    table(xml, tableDepth + 1, depth + 1);
                    lastEnd = -1;
                    spaceAfterBefore = 0;
                } else {
                    skip(xml);
                }
            }
            const char* cellEnd = depthOut > 1 ? "\\nestcell" : "\\cell";
            if (any && lastEnd >= 0 && out.mid(lastEnd, 4) == "\\par") {
                out.replace(lastEnd, 4, cellEnd);
            } else {
                out += "\\pard\\plain\\intbl";
                if (depthOut > 1)
                    num(out, "itap", depthOut);
                out += ' ';
                out += cellEnd;
                out += '\n';
            }
            if (row.cells.size() < 256)
                row.cells.push_back(cell);
        }

        // The row's definition: before its cells at the top level, after
        // them in \nesttableprops for a nested one.
        QByteArray def = "\\trowd";
        const int padLeft = props.padding[0].value_or(108);
        num(def, "trgaph", padLeft);
        const int left = props.indent.value_or(0);
        if (left)
            num(def, "trleft", left);
        if (props.align.value_or(0) == 1)
            def += "\\trqc";
        else if (props.align.value_or(0) == 2)
            def += "\\trqr";
        if (row.header)
            def += "\\trhdr";
        if (row.height > 0)
            num(def, "trrh", row.exact ? -row.height : row.height);
        static const char* const rowPads[] = {"l", "t", "r", "b"};
        for (int i = 0; i < 4; ++i)
            if (props.padding[i]) {
                def += QByteArray("\\trpaddf") + rowPads[i] + '3';
                num(def, (QByteArray("trpadd") + rowPads[i]).constData(), *props.padding[i]);
            }
        long long x = left;
        int column = row.gridBefore;
        for (int c = 0; c < column && c < int(grid.size()); ++c)
            x += grid[size_t(c)];
        for (const CellDef& cell : row.cells) {
            if (cell.vmerge == 1)
                def += "\\clvmgf";
            else if (cell.vmerge == 2)
                def += "\\clvmrg";
            if (cell.borders.value_or(props.borders.value_or(false)))
                def += "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10"
                       "\\clbrdrb\\brdrs\\brdrw10\\clbrdrr\\brdrs\\brdrw10";
            if (cell.shade)
                num(def, "clcbpat", colorIndex(*cell.shade));
            // Word writes a cell's top padding as \clpadl and its left as \clpadt.
            static const char* const cellPads[] = {"t", "l", "r", "b"};
            for (int i = 0; i < 4; ++i)
                if (cell.padding[i]) {
                    def += QByteArray("\\clpadf") + cellPads[i] + '3';
                    num(def, (QByteArray("clpad") + cellPads[i]).constData(), *cell.padding[i]);
                }
            long long width = 0;
            for (int c = column; c < column + cell.span; ++c)
                width += c < int(grid.size()) ? grid[size_t(c)] : 0;
            if (width <= 0)
                width = cell.width > 0 ? cell.width : 1440;
            column += cell.span;
            x += std::max(1LL, width);
            num(def, "cellx", x);
        }
        if (firstRow && tableId > 0) {
            def += "{\\*\\wptblid ";
            def += QByteArray::number(tableId);
            def += '}';
        }
        firstRow = false;
        if (depthOut > 1) {
            out += "{\\*\\nesttableprops";
            out += def;
            out += "\\nestrow}{\\nonesttables\\par}\n";
        } else {
            def += '\n';
            out.insert(rowStart, def);
            out += "\\row\n";
        }
    }
    tableIdSlot = savedSlot;
    tableStyle = savedStyle;
    spaceAfterBefore = 0;
}

} // namespace wp::DocxReader::detail
