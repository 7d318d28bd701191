// Numbering: abstract definitions with their nine levels, the numberings
// (w:num) that use them with their overrides, and the RTF list table they
// become. Numberings of one definition without overrides share one RTF
// list, so that their items count on together as Word counts them.
#include "document/formats/docx/DocxTranslator.h"

#include <algorithm>

namespace wp::DocxReader::detail {

namespace {

constexpr int MaxNumberings = 4096;

int nfcOf(const QString& v) {
    static const std::pair<const char*, int> formats[] = {
        {"decimal", 0},     {"upperRoman", 1}, {"lowerRoman", 2}, {"upperLetter", 3},
        {"lowerLetter", 4}, {"bullet", 23},    {"none", 255}};
    for (const auto& [name, nfc] : formats)
        if (v == QLatin1String(name))
            return nfc;
    return 0;
}

} // namespace

void Translator::readLevel(QXmlStreamReader& xml, Level& l) {
    l.set = true;
    while (xml.readNextStartElement()) {
        const auto n = xml.name();
        if (n == QLatin1String("start")) {
            l.start = std::clamp(intAttr(xml, "val", 1), 0, 32767);
        } else if (n == QLatin1String("numFmt")) {
            l.nfc = nfcOf(attr(xml));
        } else if (n == QLatin1String("lvlText")) {
            l.text = attr(xml).left(64);
        } else if (n == QLatin1String("pPr")) {
            ParaProps p;
            readParaProps(xml, p, nullptr);
            l.left = p.left;
            l.firstLine = p.firstLine;
            continue;
        } else if (n == QLatin1String("rPr")) {
            RunProps r;
            readRunProps(xml, r);
            if (r.font)
                l.font = *r.font;
            continue;
        }
        skip(xml);
    }
}

void Translator::readNumbering() {
    const bool read = readPart(QLatin1String("numbering"), [this](QXmlStreamReader& xml) {
        const auto n = xml.name();
        if (n == QLatin1String("abstractNum") && abstracts.size() < MaxNumberings) {
            std::array<Level, 9>& levels = abstracts[intAttr(xml, "abstractNumId", -1)];
            while (xml.readNextStartElement()) {
                const int i = intAttr(xml, "ilvl", -1);
                if (xml.name() == QLatin1String("lvl") && i >= 0 && i < 9)
                    readLevel(xml, levels[size_t(i)]);
                else
                    skip(xml);
            }
        } else if (n == QLatin1String("num") && nums.size() < MaxNumberings) {
            NumDef& def = nums[intAttr(xml, "numId", -1)];
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("abstractNumId")) {
                    def.abstractId = intAttr(xml, "val", -1);
                    skip(xml);
                } else if (xml.name() == QLatin1String("lvlOverride")) {
                    const int i = intAttr(xml, "ilvl", -1);
                    while (xml.readNextStartElement()) {
                        if (i >= 0 && i < 9 && xml.name() == QLatin1String("startOverride")) {
                            def.startOverride[i] = std::clamp(intAttr(xml, "val", 1), 0, 32767);
                            skip(xml);
                        } else if (i >= 0 && i < 9 && xml.name() == QLatin1String("lvl")) {
                            readLevel(xml, def.levelOverride[i]);
                        } else {
                            skip(xml);
                        }
                    }
                } else {
                    skip(xml);
                }
            }
        }
    });
    if (!read)
        return;
    // Numberings of one definition without overrides count on together.
    std::map<int, int> shared; // abstract id -> RTF \ls
    int next = 1;
    for (const auto& [numId, def] : nums) {
        if (!abstracts.count(def.abstractId))
            continue;
        const bool plain = def.startOverride.empty() && def.levelOverride.empty();
        if (plain) {
            const auto [it, added] = shared.emplace(def.abstractId, next);
            lsOfNum[numId] = it->second;
            if (added)
                ++next;
        } else {
            lsOfNum[numId] = next++;
        }
    }
}

const Level* Translator::level(int numId, int ilvl) const {
    const auto n = nums.find(numId);
    if (n == nums.end() || ilvl < 0 || ilvl > 8)
        return nullptr;
    if (const auto o = n->second.levelOverride.find(ilvl); o != n->second.levelOverride.end())
        return &o->second;
    const auto a = abstracts.find(n->second.abstractId);
    return a == abstracts.end() || !a->second[size_t(ilvl)].set ? nullptr
                                                                : &a->second[size_t(ilvl)];
}

void Translator::writeListTables(QByteArray& rtf) {
    if (lsOfNum.empty())
        return;
    // One RTF list per \ls, from the first numbering that has it.
    std::map<int, int> numOfLs;
    for (const auto& [numId, ls] : lsOfNum)
        numOfLs.emplace(ls, numId);
    rtf += "{\\*\\listtable\n";
    for (const auto& [ls, numId] : numOfLs) {
        rtf += "{\\list";
        for (int i = 0; i < 9; ++i) {
            const Level* l = level(numId, i);
            Level fallback;
            fallback.text = QStringLiteral("%%1.").arg(i + 1);
            if (!l)
                l = &fallback;
            const NumDef& def = nums.at(numId);
            const auto start = def.startOverride.find(i);
            rtf += "{\\listlevel";
            num(rtf, "levelnfc", l->nfc);
            num(rtf, "levelstartat", start != def.startOverride.end() ? start->second : l->start);
            if (!l->font.isEmpty())
                num(rtf, "f", fontIndex(l->font));
            // The level text: its length, then characters 0..8 for the
            // numbers of those levels.
            QString chars;
            const QString& t = l->text;
            for (qsizetype k = 0; k < t.size(); ++k) {
                if (t[k] == QLatin1Char('%') && k + 1 < t.size() && t[k + 1] >= u'1' &&
                    t[k + 1] <= u'9') {
                    chars += QChar(t[++k].unicode() - u'1');
                } else {
                    chars += t[k];
                }
            }
            rtf += "{\\leveltext\\'";
            rtf += QByteArray::number(int(chars.size()), 16).rightJustified(2, '0');
            for (QChar ch : chars) {
                if (ch.unicode() < 9) {
                    rtf += "\\'0";
                    rtf += char('0' + ch.unicode());
                } else {
                    text(rtf, QStringView(&ch, 1));
                }
            }
            rtf += ";}";
            if (l->left)
                num(rtf, "li", *l->left);
            if (l->firstLine)
                num(rtf, "fi", *l->firstLine);
            rtf += "}\n";
        }
        num(rtf, "listid", ls);
        rtf += "}\n";
    }
    rtf += "}\n{\\*\\listoverridetable";
    for (const auto& [ls, numId] : numOfLs) {
        rtf += "{\\listoverride";
        num(rtf, "listid", ls);
        num(rtf, "ls", ls);
        rtf += '}';
    }
    rtf += "}\n";
}

} // namespace wp::DocxReader::detail
