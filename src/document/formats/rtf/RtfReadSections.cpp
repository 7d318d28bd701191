// Sections: their columns and how each one begins.
#include "document/formats/rtf/RtfCommon.h"
#include "document/formats/rtf/RtfParser.h"

#include <algorithm>

namespace wp::RtfReader::detail {

bool Parser::sectionWord(std::string_view word, bool hasParam, int param) {
    static constexpr std::string_view words[] = {
        "sectd",   "cols",   "colsx",   "colno",  "colw",    "colsr",  "linebetcol",
        "sbknone", "sbkcol", "sbkpage", "sbkodd", "sbkeven", "column",
    };
    if (std::find(std::begin(words), std::end(words), word) == std::end(words))
        return false;
    // Headers, footers and shapes carry their own \sectd: only the body's
    // sections count.
    if (st.dest != Dest::Body)
        return true;
    const int n = hasParam ? param : 1;
    Builder& b = builder();
    auto column = [&](std::vector<int>& v) -> int& {
        const size_t i = size_t(std::max(1, sect.colno) - 1);
        if (v.size() <= i)
            v.resize(i + 1, 0);
        return v[i];
    };
    if (word == "sectd") {
        sect = SectProps();
    } else if (word == "cols") {
        sect.cols = std::clamp(n, 1, docmodel::MaxSectionColumns);
    } else if (word == "colsx") {
        sect.gap = docmodel::boundLength(std::max(0, n));
    } else if (word == "colno") {
        sect.colno = std::clamp(n, 1, docmodel::MaxSectionColumns);
    } else if (word == "colw") {
        column(sect.widths) = docmodel::boundLength(std::max(0, n));
    } else if (word == "colsr") {
        column(sect.gaps) = docmodel::boundLength(std::max(0, n));
    } else if (word == "linebetcol") {
        sect.line = n != 0;
    } else if (word == "column") {
        if (!b.current.runs.empty())
            b.endPara(blockFormat(st.para), st.para.intbl, st.para.itap);
        b.columnBreak = true;
    } else if (b.sectionStart) {
        // How the section \sect began starts: on a new page unless it says
        // otherwise.
        const bool samePage = word == "sbknone" || word == "sbkcol";
        if (samePage && b.sectionBreak)
            b.breakBefore = false;
        b.sectionBreak = b.sectionBreak && !samePage;
        b.sectionStart = word == "sbknone"   ? docmodel::SectionContinuous
                         : word == "sbkcol"  ? docmodel::SectionNewColumn
                         : word == "sbkodd"  ? docmodel::SectionOddPage
                         : word == "sbkeven" ? docmodel::SectionEvenPage
                                             : docmodel::SectionNewPage;
    }
    return true;
}

void Parser::sectionFormat(QTextBlockFormat& b, bool inTable) const {
    if (st.dest != Dest::Body)
        return;
    const PageFormat& doc = out.page;
    const PageFormat& page = sect.pageSet ? sect.page : doc;
    const bool ownPage = page.width != doc.width || page.height != doc.height ||
                         page.marginL != doc.marginL || page.marginT != doc.marginT ||
                         page.marginR != doc.marginR || page.marginB != doc.marginB;
    if (ownPage && builders[0].sectionStart && !inTable) {
        b.setProperty(docmodel::SectionPage, QStringLiteral("%1 %2 %3 %4 %5 %6")
                                                 .arg(page.width)
                                                 .arg(page.height)
                                                 .arg(page.marginL)
                                                 .arg(page.marginT)
                                                 .arg(page.marginR)
                                                 .arg(page.marginB));
    }
    if (sect.cols > 1) {
        b.setProperty(docmodel::SectionColumns, sect.cols);
        b.setProperty(docmodel::ColumnGap, sect.gap);
        if (sect.line)
            b.setProperty(docmodel::ColumnLine, true);
        // Unequal columns only when every column's width is given.
        const auto given = [&](const std::vector<int>& v, int count) {
            return int(v.size()) >= count &&
                   std::all_of(v.begin(), v.begin() + count, [](int w) { return w > 0; });
        };
        if (given(sect.widths, sect.cols)) {
            QStringList parts;
            for (int i = 0; i < sect.cols; ++i) {
                parts << QString::number(sect.widths[size_t(i)]);
                if (i + 1 < sect.cols)
                    parts << QString::number(i < int(sect.gaps.size()) && sect.gaps[size_t(i)] > 0
                                                 ? sect.gaps[size_t(i)]
                                                 : sect.gap);
            }
            b.setProperty(docmodel::ColumnWidths, parts.join(QLatin1Char(' ')));
        }
    }
    if (inTable || (sect.cols < 2 && !ownPage))
        return;
    // The text of a narrower section, or of a column, is laid out at its
    // width; a wider one keeps the document's.
    const double textWidth = this->textWidth();
    const double own =
        std::clamp(double(page.width - page.marginL - page.marginR), 1440.0, textWidth);
    const std::vector<double> cols = docmodel::sectionColumns(b, own);
    double narrowest = own;
    for (size_t i = 0; i < cols.size(); i += 2)
        narrowest = std::min(narrowest, cols[i]);
    const double narrowing = textWidth - narrowest;
    if (narrowing > 0) {
        b.setRightMargin(b.rightMargin() + narrowing);
        b.setProperty(docmodel::ColumnNarrowing, narrowing);
    }
}

} // namespace wp::RtfReader::detail
