// Lists: the list table and its overrides, the older \pn numbering of single
// paragraphs, and the QTextLists built from them. A paragraph whose list is
// understood drops its \listtext (the number as text, for readers that know
// no lists) and hangs at its left indent; its marker is worked out and drawn
// from the list's numbering (document/ListMarkers).
#include "document/ListMarkers.h"
#include "document/ParaBorders.h"
#include "document/formats/rtf/RtfCommon.h"
#include "document/formats/rtf/RtfParser.h"

#include <QTextCursor>
#include <QTextList>
#include <algorithm>

namespace wp::RtfReader::detail {

namespace {

constexpr int MaxLevels = 9;
constexpr int MaxLists = 4096;

bool isPlaceholder(QChar ch) {
    return ch.unicode() < MaxLevels;
}

// Number types we count with; others (ordinals, Asian digits...) count
// in decimal.
int numberType(int nfc) {
    switch (nfc) {
    case docmodel::UpperRoman:
    case docmodel::LowerRoman:
    case docmodel::UpperLetter:
    case docmodel::LowerLetter:
        return nfc;
    default:
        return docmodel::Decimal;
    }
}

// The visible characters of a level text: no placeholders, no spaces.
QString visibleText(const QString& text) {
    QString v;
    for (QChar ch : text)
        if (!isPlaceholder(ch) && !ch.isSpace())
            v += ch;
    return v;
}

} // namespace

bool Parser::listDestinationWord(std::string_view word) {
    if (word == "listtable" || word == "listoverridetable") {
        destination(st.dest == Dest::Body
                        ? (word == "listtable" ? Dest::ListTable : Dest::ListOverrideTable)
                        : Dest::Skip);
        return true;
    }
    if (word == "pn") {
        if (inDocument()) {
            destination(Dest::ParaNumbering);
            paraNumbering = ListLevel();
            numberBefore.clear();
            numberAfter.clear();
        } else {
            destination(Dest::Skip);
        }
        return true;
    }
    if (word == "pntxtb" || word == "pntxta") {
        if (st.dest == Dest::ParaNumbering) {
            st.dest = Dest::ParaNumberingText;
            st.afterNumber = word == "pntxta";
        } else {
            destination(Dest::Skip);
        }
        return true;
    }
    if (word == "listtext" || word == "pntext") {
        st.listText = true;
        return true;
    }
    return false;
}

bool Parser::listTableWord(std::string_view word, bool hasParam, int param) {
    if (st.dest != Dest::ListTable && st.dest != Dest::ListOverrideTable &&
        st.dest != Dest::LevelText && st.dest != Dest::ParaNumbering &&
        st.dest != Dest::ParaNumberingText)
        return false;
    if (word == "u" || word == "uc")
        return false; // characters of a level text
    const int n = hasParam ? param : 1;
    const int length = hasParam ? docmodel::boundLength(param, true) : 0;
    if (st.dest == Dest::ListOverrideTable) {
        if (word == "listoverride") {
            overrideLs = overrideId = 0;
            pendingStarts.clear();
            lfoLevel = -1;
        } else if (word == "listid") {
            overrideId = n;
            if (const auto it = listOverrides.find(overrideLs); it != listOverrides.end())
                it->second = overrideId;
        } else if (word == "ls") {
            overrideLs = n;
            if (int(listOverrides.size()) < MaxLists) {
                listOverrides[overrideLs] = overrideId;
                overrideStarts[overrideLs] = pendingStarts;
            }
        } else if (word == "lfolevel") {
            // The override's levels come in order, from the first.
            lfoLevel = std::min(lfoLevel + 1, MaxLevels);
            lfoStartAt = false;
        } else if (word == "listoverridestartat") {
            lfoStartAt = true;
        } else if (word == "levelstartat" && lfoStartAt && lfoLevel >= 0 && lfoLevel < MaxLevels) {
            pendingStarts[lfoLevel] = std::max(0, n);
            if (overrideLs)
                overrideStarts[overrideLs][lfoLevel] = std::max(0, n);
        }
        return true;
    }
    if (st.dest == Dest::ParaNumbering || st.dest == Dest::ParaNumberingText) {
        ListLevel& l = paraNumbering;
        static constexpr std::pair<std::string_view, int> types[] = {
            {"pnlvlblt", 23}, {"pndec", 0}, {"pnucrm", 1}, {"pnlcrm", 2}, {"pnucltr", 3},
            {"pnlcltr", 4},   {"pnord", 0}, {"pncard", 0}, {"pnordt", 0}, {"pncardtext", 0}};
        for (const auto& [w, nfc] : types)
            if (word == w)
                l.nfc = nfc;
        if (word == "pnstart")
            l.start = std::max(0, n);
        else if (word == "pnf")
            l.font = n;
        return true;
    }
    if (st.dest == Dest::LevelText)
        return true;
    // The list table.
    if (word == "list") {
        if (int(listDefs.size()) < MaxLists)
            listDefs.emplace_back();
        return true;
    }
    if (listDefs.empty())
        return true;
    ListDef& def = listDefs.back();
    if (word == "listid") {
        def.id = n;
        return true;
    }
    if (word == "listlevel") {
        if (def.levels.size() < MaxLevels)
            def.levels.emplace_back();
        return true;
    }
    if (word == "listname" || word == "levelnumbers" || word == "liststylename") {
        destination(Dest::Skip);
        return true;
    }
    if (def.levels.empty())
        return true;
    ListLevel& l = def.levels.back();
    if (word == "levelnfc" || word == "levelnfcn")
        l.nfc = n;
    else if (word == "levelstartat")
        l.start = std::max(0, n);
    else if (word == "leveltext")
        st.dest = Dest::LevelText;
    else if (word == "li" || word == "lin")
        l.li = length;
    else if (word == "fi")
        l.fi = length;
    else if (word == "f")
        l.font = n;
    return true;
}

void Parser::listText(const QString& text) {
    if (st.dest == Dest::ParaNumberingText) {
        (st.afterNumber ? numberAfter : numberBefore) += text;
        return;
    }
    if (!listDefs.empty() && !listDefs.back().levels.empty()) {
        QString& t = listDefs.back().levels.back().text;
        if (t.size() < 256)
            t += text;
    }
}

void Parser::endListGroup() {
    const Dest parent = stack.back().dest;
    if (st.dest == Dest::LevelText && parent != Dest::LevelText && !listDefs.empty() &&
        !listDefs.back().levels.empty()) {
        // The first character counts the level text's characters.
        QString& t = listDefs.back().levels.back().text;
        const int n = t.isEmpty() ? 0 : t.at(0).unicode();
        t = t.mid(1, n);
    } else if (st.dest == Dest::ParaNumbering && parent != Dest::ParaNumbering &&
               parent != Dest::ParaNumberingText) {
        ListLevel l = paraNumbering;
        l.text = l.nfc == 23 ? numberBefore.left(1) : numberBefore + QChar(0) + numberAfter;
        auto it = std::find(paraNumberings.begin(), paraNumberings.end(), l);
        if (it == paraNumberings.end()) {
            if (int(paraNumberings.size()) >= MaxLists)
                return;
            paraNumberings.push_back(l);
            it = paraNumberings.end() - 1;
        }
        if (stack.back().para.ls > 0 && stack.back().para.ls < ParaNumberingBase)
            return; // the paragraph names a list of the list table as well
        stack.back().para.ls = ParaNumberingBase + int(it - paraNumberings.begin());
        stack.back().para.ilvl = 0;
    }
}

int Parser::listStart(int ls, int ilvl, const ListLevel& level) const {
    if (const auto o = overrideStarts.find(ls); o != overrideStarts.end())
        if (const auto it = o->second.find(ilvl); it != o->second.end())
            return it->second;
    return level.start;
}

const ListLevel* Parser::listLevel(int ls, int ilvl) const {
    if (ls >= ParaNumberingBase) {
        const size_t i = size_t(ls - ParaNumberingBase);
        return i < paraNumberings.size() ? &paraNumberings[i] : nullptr;
    }
    const auto o = listOverrides.find(ls);
    if (o == listOverrides.end())
        return nullptr;
    for (const ListDef& def : listDefs)
        if (def.id == o->second)
            return ilvl < int(def.levels.size()) ? &def.levels[size_t(ilvl)] : nullptr;
    return nullptr;
}

void Parser::insertPara(QTextCursor& cursor, const Para& para, bool reuse) {
    QTextBlockFormat bf = para.format;
    // Borders above and below add their room to the space before and after.
    if (const double above = docmodel::borderRoomAbove(bf); above > 0)
        bf.setTopMargin(bf.topMargin() + above / rtf::TwipsPerPixel);
    if (const double below = docmodel::borderRoomBelow(bf); below > 0)
        bf.setBottomMargin(bf.bottomMargin() + below / rtf::TwipsPerPixel);
    const int ls = bf.intProperty(ListOverrideProperty);
    const int ilvl = std::clamp(bf.intProperty(ListLevelProperty), 0, MaxLevels - 1);
    bf.clearProperty(ListOverrideProperty);
    bf.clearProperty(ListLevelProperty);
    const ListLevel* level = ls ? listLevel(ls, ilvl) : nullptr;
    // A level without a number (LibreOffice's outline levels on headings)
    // is no list; its \listtext is only the tab after the missing number.
    bool understood = level != nullptr;
    bool isList = understood && level->nfc != 255;
    if (understood && !isList && !visibleText(level->text).isEmpty())
        understood = false;
    double hang = -1;
    // Text and wrapped lines both start at the left indent; the number
    // stands before the first line, `hang` to the left of the text.
    double li = bf.leftMargin(), fi = bf.textIndent();
    if (isList) {
        if (li == 0 && fi == 0) {
            li = level->li;
            fi = level->fi;
        }
        if (fi > 0)
            li += fi;
        else
            hang = std::min(-fi, std::max(0.0, li));
        // With no room before the text (WordPad's bullets), the marker is
        // the line's first text and a tab takes the text to the next stop.
        if (hang <= 0)
            understood = isList = false;
    }
    if (isList) {
        bf.setLeftMargin(std::max(0.0, li));
        bf.clearProperty(QTextFormat::TextIndent);
        bf.setProperty(docmodel::ListHang, hang);
    }
    // Pictures placed beside the text stand before their paragraph; one at
    // the start of the document or a cell needs an empty paragraph before
    // it that takes no room.
    // Qt drops the space before a paragraph that follows a float: the empty
    // paragraph is that space instead, and the picture stands that much
    // higher in its frame.
    bool firstFloat = true;
    double shift = 0;
    for (const Run& run : para.runs) {
        if (!run.floating)
            continue;
        if (firstFloat && reuse) {
            QTextBlockFormat holder;
            const double space = std::max(0.0, bf.topMargin());
            if (space > 0)
                holder.setLineHeight(space, QTextBlockFormat::FixedHeight);
            else
                holder.setLineHeight(0, QTextBlockFormat::ProportionalHeight);
            holder.setProperty(docmodel::FloatHolder, true);
            cursor.setBlockFormat(holder);
            bf.setTopMargin(0);
            bf.clearProperty(docmodel::SpaceAbove);
            shift = space * rtf::TwipsPerPixel;
        }
        insertFloat(cursor, run, shift);
        firstFloat = false;
        reuse = true;
    }
    if (std::any_of(para.runs.begin(), para.runs.end(),
                    [](const Run& r) { return r.text.contains(QLatin1Char('\t')); }))
        docmodel::setWordTabs(bf, bf.tabPositions(), out.defaultTab,
                              double(out.page.width) - out.page.marginL - out.page.marginR);
    if (reuse)
        cursor.setBlockFormat(bf);
    else
        cursor.insertBlock(bf);
    bool empty = true;
    for (const Run& run : para.runs)
        if (!(understood && run.listText) && !run.floating) {
            cursor.insertText(run.text, markFormat(run.format));
            empty = false;
        }
    // An empty paragraph takes the height of the font at its end. The
    // block's own character format may hold a table cell's: only the font
    // changes.
    if (empty) {
        QTextCharFormat mark = cursor.blockCharFormat();
        for (const int id :
             {QTextFormat::FontFamilies, QTextFormat::FontPointSize, QTextFormat::FontPixelSize,
              QTextFormat::FontSizeAdjustment, QTextFormat::FontWeight, QTextFormat::FontItalic,
              QTextFormat::FontCapitalization, QTextFormat::FontStyleHint,
              QTextFormat::TextVerticalAlignment})
            mark.clearProperty(id);
        mark.merge(para.mark);
        cursor.setBlockCharFormat(mark);
    }
    if (!isList)
        return;

    std::vector<QTextList*>& open = openLists[ls];
    open.resize(MaxLevels);
    // A new item of a level restarts the numbering of the levels below it.
    std::fill(open.begin() + ilvl + 1, open.end(), nullptr);
    if (open[size_t(ilvl)]) {
        open[size_t(ilvl)]->add(cursor.block());
        return;
    }
    // Qt draws no marker: ours are drawn as text (document/ListMarkers).
    QTextListFormat lf;
    lf.setStyle(QTextListFormat::ListStyleUndefined);
    lf.setIndent(0);
    lf.setProperty(prop::ListLevel, ilvl);
    lf.setProperty(docmodel::ListGroup, ls);
    lf.setProperty(docmodel::ListStart, listStart(ls, ilvl, *level));
    if (level->nfc == docmodel::Bullet) {
        QString bullet = visibleText(level->text).left(1);
        if (bullet.isEmpty())
            bullet = QString(QChar(0x2022));
        const auto font = fonts.find(level->font);
        if (font != fonts.end())
            if (const Symbolic kind = symbolicFont(font->second); kind != Symbolic::No)
                bullet = QChar(symbolCharacter(kind, bullet.at(0).unicode()));
        lf.setProperty(docmodel::ListNumberType, int(docmodel::Bullet));
        lf.setProperty(prop::ListBullet, bullet);
    } else {
        lf.setProperty(docmodel::ListNumberType, numberType(level->nfc));
        // Placeholders become "%1".."%9": the numbers of those levels.
        QString text;
        for (QChar ch : level->text)
            text += isPlaceholder(ch) ? QLatin1Char('%') + QString::number(ch.unicode() + 1)
                                      : QString(ch);
        lf.setProperty(docmodel::ListLevelText, text);
    }
    open[size_t(ilvl)] = cursor.createList(lf);
}

} // namespace wp::RtfReader::detail
