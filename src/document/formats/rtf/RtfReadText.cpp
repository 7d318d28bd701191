// Paragraph and character formatting, and the special characters.
#include "document/formats/rtf/RtfCommon.h"
#include "document/formats/rtf/RtfParser.h"

#include <algorithm>

namespace wp::RtfReader::detail {

bool Parser::specialCharacter(std::string_view word) {
    static constexpr std::pair<std::string_view, char16_t> chars[] = {
        {"tab", u'\t'},      {"line", 0x2028},    {"emdash", 0x2014},    {"endash", 0x2013},
        {"emspace", 0x2003}, {"enspace", 0x2002}, {"qmspace", 0x2005},   {"bullet", 0x2022},
        {"lquote", 0x2018},  {"rquote", 0x2019},  {"ldblquote", 0x201C}, {"rdblquote", 0x201D},
        {"zwj", 0x200D},     {"zwnj", 0x200C},    {"zwbo", 0x200B},
    };
    for (const auto& [w, ch] : chars)
        if (word == w) {
            flushBytes();
            pendingText += QChar(ch);
            return true;
        }
    if (word == "chftn") {
        // A footnote's mark in the text: its number, counted from 1. (The
        // note's own group, with its copy of the mark, is not shown.)
        flushBytes();
        pendingText += QString::number(++footnoteMarks);
        return true;
    }
    if (word == "chpgn") {
        // The current page's number, as a PAGE field shows it.
        flush();
        if (!st.chr.hidden) {
            QTextCharFormat fmt = charFormat(st.chr);
            fmt.setProperty(docmodel::PageFieldKind, docmodel::PageNumber);
            builder().text(QStringLiteral("1"), st.chr, fmt, -docmodel::PageNumber, st.listText);
        }
        return true;
    }
    return false;
}

bool Parser::paragraphWord(std::string_view word, bool hasParam, int param) {
    const int n = hasParam ? param : 1;
    auto& pp = st.para;
    Builder& b = builder();
    if (word == "par") {
        b.endPara(blockFormat(pp), pp.intbl, pp.itap);
    } else if (word == "sect") {
        b.endPara(blockFormat(pp), pp.intbl, pp.itap);
        // The next section's \sbk... says how it begins: a new page unless
        // it says otherwise.
        b.sectionBreak = !b.breakBefore;
        b.breakBefore = true;
        b.sectionStart = docmodel::SectionNewPage; // \sbk... may say otherwise
        laterSection = laterSection || st.dest == Dest::Body;
    } else if (word == "page") {
        if (!b.current.runs.empty())
            b.endPara(blockFormat(pp), pp.intbl, pp.itap);
        b.breakBefore = true;
        b.sectionBreak = false;
    } else if (word == "pard") {
        pp = ParaProps();
    } else if (word == "intbl") {
        pp.intbl = true;
        pp.itap = std::max(pp.itap, 1);
    } else if (word == "itap") {
        pp.itap = std::clamp(hasParam ? param : 1, 0, MaxTableDepth);
        pp.intbl = pp.itap > 0;
    } else if (word == "ql") {
        pp.align = 0;
    } else if (word == "qc") {
        pp.align = 1;
    } else if (word == "qr") {
        pp.align = 2;
    } else if (word == "qj" || word == "qd") {
        pp.align = 3;
    } else if (word == "li" || word == "lin") {
        pp.li = hasParam ? docmodel::boundLength(param, true) : 0;
    } else if (word == "ri" || word == "rin") {
        pp.ri = hasParam ? docmodel::boundLength(param, true) : 0;
    } else if (word == "fi") {
        pp.fi = hasParam ? docmodel::boundLength(param, true) : 0;
    } else if (word == "sb") {
        pp.sb = hasParam ? docmodel::boundLength(param) : 0;
    } else if (word == "sa") {
        pp.sa = hasParam ? docmodel::boundLength(param) : 0;
    } else if (word == "sl") {
        pp.sl = hasParam ? docmodel::boundLength(param, true) : 0;
    } else if (word == "slmult") {
        pp.slmult = n != 0;
    } else if (word == "pagebb") {
        pp.pagebb = n != 0;
    } else if (word == "keep") {
        pp.keep = n != 0;
    } else if (word == "cbpat") {
        pp.shading = std::max(0, n);
    } else if (word == "s") {
        pp.style = std::max(0, n);
    } else if (word == "contextualspace") {
        pp.contextual = n != 0;
    } else if (word == "rtlpar") {
        pp.rtl = true;
    } else if (word == "ltrpar") {
        pp.rtl = false;
    } else if (word == "ls") {
        pp.ls = hasParam ? param : 0;
    } else if (word == "ilvl") {
        pp.ilvl = std::clamp(n, 0, 8);
    } else if (word == "keepn") {
        pp.keepn = n != 0;
    } else if (word == "widctlpar" || word == "nowidctlpar") {
        pp.widows = word[0] == 'w';
    } else if (word == "tqr") {
        pp.nextTab = QTextOption::RightTab;
    } else if (word == "tqc") {
        pp.nextTab = QTextOption::CenterTab;
    } else if (word == "tqdec") {
        pp.nextTab = QTextOption::DelimiterTab;
    } else if (word == "tx") {
        // Tab positions are in 1/96 inch, as Qt scales them.
        if (hasParam && param >= 0 && param <= docmodel::MaxLength && pp.tabs.size() < 64)
            pp.tabs << QTextOption::Tab(
                param / rtf::TwipsPerPixel, pp.nextTab,
                pp.nextTab == QTextOption::DelimiterTab ? QChar(QLatin1Char('.')) : QChar());
        pp.nextTab = QTextOption::LeftTab;
    } else {
        return false;
    }
    return true;
}

bool Parser::characterWord(std::string_view word, bool hasParam, int param) {
    const int n = hasParam ? param : 1;
    auto& c = st.chr;
    if (word == "plain") {
        c = CharProps();
    } else if (word == "b") {
        c.bold = n != 0;
    } else if (word == "i") {
        c.italic = n != 0;
    } else if (word == "strike" || word == "striked") {
        c.strike = n != 0;
    } else if (word == "caps") {
        c.caps = n != 0;
    } else if (word == "scaps") {
        c.smallCaps = n != 0;
    } else if (word == "v") {
        c.hidden = n != 0;
    } else if (word == "ul") {
        c.underline = n != 0 ? 1 : 0;
    } else if (word == "ulnone") {
        c.underline = 0;
    } else if (word == "uldb") {
        c.underline = 2;
    } else if (word == "uld") {
        c.underline = 3;
    } else if (word == "uldash") {
        c.underline = 4;
    } else if (word == "ulwave") {
        c.underline = 5;
    } else if (word == "ulw" || word == "ulth") {
        c.underline = 1;
    } else if (word == "f") {
        c.font = n;
    } else if (word == "fs") {
        c.halfPoints = hasParam && param > 0 && param <= 3276 ? param : 24;
    } else if (word == "cf") {
        c.color = std::max(0, n);
    } else if (word == "cb" || word == "highlight" || word == "chcbpat") {
        c.background = std::max(0, n);
    } else if (word == "super") {
        c.vertical = 1;
    } else if (word == "sub") {
        c.vertical = -1;
    } else if (word == "nosupersub") {
        c.vertical = 0;
    } else if (word == "up") {
        c.vertical = n > 0 ? 1 : 0;
    } else if (word == "dn") {
        c.vertical = n > 0 ? -1 : 0;
    } else {
        return false;
    }
    return true;
}

QTextCharFormat Parser::charFormat(const CharProps& c) const {
    QTextCharFormat f;
    if (c.bold)
        f.setFontWeight(QFont::Bold);
    if (c.italic)
        f.setFontItalic(true);
    if (c.strike)
        f.setFontStrikeOut(true);
    if (c.caps)
        f.setFontCapitalization(QFont::AllUppercase);
    else if (c.smallCaps)
        f.setFontCapitalization(QFont::SmallCaps);
    switch (c.underline) {
    case 0:
        break;
    case 3:
        f.setUnderlineStyle(QTextCharFormat::DotLine);
        break;
    case 4:
        f.setUnderlineStyle(QTextCharFormat::DashUnderline);
        break;
    case 5:
        f.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        break;
    default:
        f.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    }
    if (c.font >= 0 && c.font != deff) {
        const auto it = fonts.find(c.font);
        if (it != fonts.end() && !it->second.name.isEmpty() &&
            symbolicFont(it->second) == Symbolic::No) {
            f.setFontFamilies(fontFamilies(it->second));
            if (it->second.hint != QFont::AnyStyle)
                f.setFontStyleHint(it->second.hint);
        }
    }
    if (c.halfPoints != 24 && c.halfPoints > 0)
        f.setFontPointSize(c.halfPoints / 2.0);
    if (c.color > 0 && c.color < int(colors.size()) && colors[c.color].isValid())
        f.setForeground(colors[c.color]);
    if (c.background > 0 && c.background < int(colors.size()) && colors[c.background].isValid())
        f.setBackground(colors[c.background]);
    if (c.vertical > 0)
        f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (c.vertical < 0)
        f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    return f;
}

QTextBlockFormat Parser::blockFormat(const ParaProps& p) const {
    QTextBlockFormat b;
    static constexpr Qt::Alignment aligns[4] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight,
                                                Qt::AlignJustify};
    if (p.align)
        b.setAlignment(aligns[p.align]);
    // On the layout's 1440-dpi device Qt takes left/right margins and
    // indents as twips, but scales space before/after and line heights
    // by 1440 / 96: those are kept in 96-dpi pixels.
    if (p.li)
        b.setLeftMargin(p.li);
    if (p.ri)
        b.setRightMargin(p.ri);
    if (p.fi)
        b.setTextIndent(p.fi);
    if (p.sb)
        b.setTopMargin(p.sb / rtf::TwipsPerPixel);
    if (p.sa)
        b.setBottomMargin(p.sa / rtf::TwipsPerPixel);
    if (p.sl > 0 && p.slmult)
        b.setLineHeight(p.sl * 100.0 / 240.0, QTextBlockFormat::ProportionalHeight);
    else if (p.sl > 0)
        b.setLineHeight(p.sl / rtf::TwipsPerPixel, QTextBlockFormat::MinimumHeight);
    else if (p.sl < 0)
        b.setLineHeight(-p.sl / rtf::TwipsPerPixel, QTextBlockFormat::FixedHeight);
    if (!p.tabs.isEmpty()) {
        // Files may list their stops in any order; the layout takes them
        // from left to right.
        QList<QTextOption::Tab> tabs = p.tabs;
        std::stable_sort(tabs.begin(), tabs.end(),
                         [](const QTextOption::Tab& a, const QTextOption::Tab& b) {
                             return a.position < b.position;
                         });
        b.setTabPositions(tabs);
    }
    if (p.pagebb)
        b.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    if (p.shading > 0 && p.shading < int(colors.size()) && colors[p.shading].isValid())
        b.setBackground(colors[p.shading]);
    if (p.keep)
        b.setProperty(prop::KeepTogether, true);
    if (p.keepn)
        b.setProperty(prop::KeepWithNext, true);
    if (p.widows)
        b.setProperty(docmodel::WidowControl, true);
    if (p.rtl)
        b.setLayoutDirection(Qt::RightToLeft);
    b.setProperty(ContextualStyleProperty, p.contextual ? p.style + 1 : -p.style - 1);
    if (p.ls) {
        b.setProperty(ListOverrideProperty, p.ls);
        b.setProperty(ListLevelProperty, p.ilvl);
    }
    sectionFormat(b, p.intbl);
    return b;
}

} // namespace wp::RtfReader::detail
