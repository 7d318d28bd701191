// Paragraph and character formatting, and the special characters.
#include "document/formats/rtf/RtfCommon.h"
#include "document/formats/rtf/RtfParser.h"

#include "document/ListMarkers.h"
#include "document/Notes.h"
#include "document/ParaBorders.h"
#include "document/TabLeaders.h"

#include <QTextDocument>

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
        // A footnote's mark: its number, counted from 1. In the body it is a
        // run of its own, which the note after it takes as its mark; the
        // note's own copy shows the same number.
        flush();
        if (st.target >= FirstNoteTarget) {
            pendingText += noteNumber(notes[size_t(st.target - FirstNoteTarget)]);
        } else if (!st.chr.hidden) {
            builder().text(QString::number(++footnoteMarks), st.chr, charFormat(st.chr),
                           NoteMarkRun, st.listText);
        }
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
        b.current.mark = charFormat(st.chr);
        b.endPara(blockFormat(pp), pp.intbl, pp.itap);
    } else if (word == "sect") {
        b.current.mark = charFormat(st.chr);
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
    } else if (word == "cfpat") {
        pp.shadeColor = std::max(0, n);
    } else if (word == "shading") {
        pp.shadePercent = std::clamp(n, 0, 10000);
    } else if (word == "s") {
        pp.style = std::max(0, n);
    } else if (word == "contextualspace") {
        pp.contextual = n != 0;
    } else if (word == "rtlpar") {
        pp.rtl = true;
    } else if (word == "ltrpar") {
        pp.rtl = false;
    } else if (word == "brdrt" || word == "brdrb" || word == "brdrl" || word == "brdrr" ||
               word == "box" || word == "brdrbtw") {
        using namespace docmodel;
        pp.borderSide = word == "brdrt"   ? BorderTop
                        : word == "brdrb" ? BorderBottom
                        : word == "brdrl" ? BorderLeft
                        : word == "brdrr" ? BorderRight
                        : word == "box"   ? BorderTop | BorderBottom | BorderLeft | BorderRight
                                          : BorderBetween;
        pp.borders |= pp.borderSide;
        borderTarget = 3;
    } else if (borderTarget == 3 && pp.borderSide && (word.starts_with("brdr") || word == "brsp")) {
        paragraphBorderWord(word, hasParam ? param : 0);
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
    } else if (const char16_t leader = docmodel::tabLeaderOf(word)) {
        pp.nextLeader = leader;
    } else if (word == "tx") {
        // Tab positions are in 1/96 inch, as Qt scales them. A stop's leader
        // rides in its delimiter, which only decimal stops use.
        if (hasParam && param >= 0 && param <= docmodel::MaxLength && pp.tabs.size() < 64)
            pp.tabs << QTextOption::Tab(param / rtf::TwipsPerPixel, pp.nextTab,
                                        pp.nextTab == QTextOption::DelimiterTab
                                            ? QChar(QLatin1Char('.'))
                                            : QChar(pp.nextLeader));
        pp.nextTab = QTextOption::LeftTab;
        pp.nextLeader = 0;
    } else {
        return false;
    }
    return true;
}

void Parser::paragraphBorderWord(std::string_view word, int param) {
    using namespace docmodel;
    auto& pp = st.para;
    if (word == "brdrw") {
        pp.borderWidth = std::clamp(param, 0, 255);
    } else if (word == "brsp") {
        const int space = boundLength(std::max(0, param));
        if (pp.borderSide & (BorderLeft | BorderRight))
            pp.borderSpaceH = space;
        if (pp.borderSide & (BorderTop | BorderBottom | BorderBetween))
            pp.borderSpace = space;
    } else if (word == "brdrcf") {
        pp.borderColor = std::max(0, param);
    } else if (word == "brdrnone" || word == "brdrnil") {
        pp.borders &= ~pp.borderSide;
    } else if (word == "brdrdb") {
        pp.borderStyle = BorderDouble;
    } else if (word == "brdrth") {
        pp.borderStyle = BorderThick;
    } else if (word == "brdrdot") {
        pp.borderStyle = BorderDotted;
    } else if (word.starts_with("brdrdash")) {
        pp.borderStyle = BorderDashed;
    } else if (word == "brdrs") {
        pp.borderStyle = BorderSingle;
    }
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

bool Parser::noteWord(std::string_view word) {
    if (word == "ftnalt") {
        // An endnote: counted apart from the footnotes, in small roman
        // numbers, its mark too.
        if (st.target >= FirstNoteTarget) {
            Note& note = notes[size_t(st.target - FirstNoteTarget)];
            if (!note.endnote) {
                Run& mark = builders[0].current.runs.back();
                const bool counted =
                    mark.field == NoteMarkRun && mark.text == QString::number(note.number);
                note.endnote = true;
                note.number = ++endnoteMarks;
                if (counted) {
                    --footnoteMarks;
                    mark.text = noteNumber(note);
                }
            }
        }
        return true;
    }
    if (word != "footnote")
        return false;
    beginNote();
    return true;
}

QString Parser::noteNumber(const Note& note) {
    return note.endnote ? docmodel::formatNumber(note.number, docmodel::LowerRoman)
                        : QString::number(note.number);
}

void Parser::beginNote() {
    Builder& body = builders[0];
    if (st.dest != Dest::Body || st.target != 0 || int(notes.size()) >= MaxNotes ||
        body.current.runs.empty() || body.current.runs.back().object) {
        destination(Dest::Skip);
        return;
    }
    if (Run& last = body.current.runs.back(); last.field != NoteMarkRun) {
        // A mark of the writer's own choosing ("*"): the character before
        // the note.
        const qsizetype n = last.text.size() >= 2 && last.text.back().isLowSurrogate() ? 2 : 1;
        if (last.text.size() > n) {
            Run mark = last;
            mark.text = last.text.right(n);
            last.text.chop(n);
            body.current.runs.push_back(std::move(mark));
        }
    }
    Run& mark = body.current.runs.back();
    mark.field = NoteMarkRun;
    mark.format.setProperty(NoteIndexProperty, int(notes.size()));
    notes.emplace_back();
    notes.back().number = footnoteMarks;
    st.dest = Dest::HeaderFooter;
    st.target = FirstNoteTarget + int(notes.size()) - 1;
    st.para = ParaProps();
    st.chr = CharProps();
    st.field = 0;
}

void Parser::buildNotes() {
    noteData.assign(notes.size(), QByteArray());
    bool firstEndnote = true;
    for (size_t i = 0; i < notes.size(); ++i) {
        Builder& b = notes[i].builder;
        if (notes[i].endnote) {
            // Endnotes follow the text, on a page of their own as
            // LibreOffice sets them; their marks stay plain numbers.
            for (auto& item : b.items) {
                if (firstEndnote) {
                    if (Para* para = std::get_if<Para>(&item))
                        para->format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
                    else
                        std::get<Table>(item).breakBefore = true;
                    firstEndnote = false;
                }
                builders[0].items.push_back(std::move(item));
            }
            continue;
        }
        QTextDocument doc;
        docmodel::prepareDocument(&doc);
        defaultFont(&doc);
        buildDocument(&doc, b);
        docmodel::addImageResources(&doc);
        docmodel::addSpaceAfterToNext(&doc);
        noteData[i] = docmodel::noteData(&doc);
    }
}

QTextCharFormat Parser::markFormat(const QTextCharFormat& f) const {
    if (!f.hasProperty(NoteIndexProperty))
        return f;
    QTextCharFormat mark = f;
    const int i = mark.intProperty(NoteIndexProperty);
    mark.clearProperty(NoteIndexProperty);
    if (i >= 0 && size_t(i) < noteData.size() && !noteData[size_t(i)].isEmpty())
        mark.setProperty(docmodel::NoteData, noteData[size_t(i)]);
    return mark;
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
    auto color = [this](int index) {
        return index > 0 && index < int(colors.size()) ? colors[size_t(index)] : QColor();
    };
    QColor background = color(p.shading);
    if (p.shadePercent > 0) {
        // A shade: that share of the pattern colour (black when none is
        // given) over the background (white when none is given).
        const QColor fore = color(p.shadeColor).isValid() ? color(p.shadeColor) : Qt::black;
        const QColor back = background.isValid() ? background : Qt::white;
        const double t = p.shadePercent / 10000.0;
        background = QColor::fromRgbF(float(fore.redF() * t + back.redF() * (1 - t)),
                                      float(fore.greenF() * t + back.greenF() * (1 - t)),
                                      float(fore.blueF() * t + back.blueF() * (1 - t)));
    }
    if (background.isValid())
        b.setBackground(background);
    if (p.keep)
        b.setProperty(prop::KeepTogether, true);
    if (p.keepn)
        b.setProperty(prop::KeepWithNext, true);
    if (p.widows)
        b.setProperty(docmodel::WidowControl, true);
    if (p.rtl)
        b.setLayoutDirection(Qt::RightToLeft);
    if (p.borders) {
        b.setProperty(docmodel::ParaBorderSides, p.borders);
        b.setProperty(docmodel::ParaBorderWidth, double(p.borderWidth));
        b.setProperty(docmodel::ParaBorderStyle, p.borderStyle);
        b.setProperty(docmodel::ParaBorderSpace, double(p.borderSpace));
        b.setProperty(docmodel::ParaBorderSpaceH, double(p.borderSpaceH));
        if (p.borderColor > 0 && p.borderColor < int(colors.size()) &&
            colors[p.borderColor].isValid())
            b.setProperty(docmodel::ParaBorderColor, colors[p.borderColor]);
    }
    b.setProperty(ContextualStyleProperty, p.contextual ? p.style + 1 : -p.style - 1);
    if (p.ls) {
        b.setProperty(ListOverrideProperty, p.ls);
        b.setProperty(ListLevelProperty, p.ilvl);
    }
    sectionFormat(b, p.intbl);
    return b;
}

} // namespace wp::RtfReader::detail
