// The font and colour tables, and the bullets of symbol fonts.
#include "document/formats/rtf/RtfCommon.h"
#include "document/formats/rtf/RtfParser.h"

#include <QRegularExpression>

namespace wp::RtfReader::detail {

Symbolic symbolicFont(const FontEntry& f) {
    if (f.name.startsWith(QLatin1String("Wingdings"), Qt::CaseInsensitive) ||
        f.name.startsWith(QLatin1String("Webdings"), Qt::CaseInsensitive))
        return Symbolic::Wingdings;
    if (f.charset == 2 || f.name.startsWith(QLatin1String("Symbol"), Qt::CaseInsensitive))
        return Symbolic::Symbol;
    return Symbolic::No;
}

char16_t symbolCharacter(Symbolic kind, char16_t ch) {
    if (ch >= 0xF000 && ch <= 0xF0FF)
        ch -= 0xF000; // Word writes symbol glyphs in the private-use area
    static constexpr std::pair<char16_t, char16_t> symbol[] = {
        {0xB7, 0x2022}, {0xA8, 0x2663}, {0xAA, 0x2665}, {0xD8, 0x00AC}, {0x2D, 0x2212}};
    static constexpr std::pair<char16_t, char16_t> wingdings[] = {
        {0x6C, 0x25CF}, {0x6E, 0x25A0}, {0x71, 0x2751}, {0x76, 0x2756},
        {0x77, 0x2B25}, {0xA7, 0x25AA}, {0xA8, 0x25FB}, {0xD8, 0x27A2},
        {0xE0, 0x2192}, {0xFC, 0x2713}, {0xFB, 0x2717}, {0x9F, 0x2022}};
    if (kind == Symbolic::Symbol) {
        for (const auto& [from, to] : symbol)
            if (ch == from)
                return to;
    } else {
        for (const auto& [from, to] : wingdings)
            if (ch == from)
                return to;
    }
    return ch;
}

QStringList fontFamilies(const FontEntry& f) {
    // Windows names a font's charset versions after it ("Times New Roman
    // CYR"); no such font exists elsewhere, and a name unknown to the system
    // falls back to any font rather than the one meant.
    static const QRegularExpression suffix(QStringLiteral(
        " (CE|CYR|Cyr|Greek|Tur|Baltic|\\(Hebrew\\)|\\(Arabic\\)|\\(Vietnamese\\))$"));
    QString base = f.name;
    base.remove(suffix);
    return {base.isEmpty() ? f.name : base};
}

Symbolic Parser::currentSymbolic() const {
    const auto it = fonts.find(st.chr.font >= 0 ? st.chr.font : deff);
    return it == fonts.end() ? Symbolic::No : symbolicFont(it->second);
}

bool Parser::tableDestinationWord(std::string_view word) {
    if (word == "fonttbl") {
        destination(Dest::FontTable);
        return true;
    }
    if (word == "colortbl") {
        destination(Dest::ColorTable);
        colorR = colorG = colorB = -1;
        return true;
    }
    return false;
}

bool Parser::fontOrColorTableWord(std::string_view word, int n) {
    if (st.dest == Dest::FontTable) {
        static constexpr std::pair<std::string_view, QFont::StyleHint> hints[] = {
            {"froman", QFont::Serif},
            {"fswiss", QFont::SansSerif},
            {"fmodern", QFont::Monospace},
            {"fscript", QFont::Cursive},
            {"fdecor", QFont::Decorative}};
        if (word == "f") {
            fontNumber = n;
            fontCharset = -1;
            fontHint = QFont::AnyStyle;
            fontName.clear();
        } else if (word == "fcharset") {
            fontCharset = n;
        }
        for (const auto& [w, hint] : hints)
            if (word == w)
                fontHint = hint;
        return true;
    }
    if (st.dest == Dest::ColorTable) {
        if (word == "red")
            colorR = qBound(0, n, 255);
        else if (word == "green")
            colorG = qBound(0, n, 255);
        else if (word == "blue")
            colorB = qBound(0, n, 255);
        return true;
    }
    return false;
}

bool Parser::fontOrColorTableText(char ch) {
    if (st.dest == Dest::ColorTable) {
        if (ch == ';') {
            colors.push_back(
                colorR < 0 && colorG < 0 && colorB < 0
                    ? QColor()
                    : QColor(std::max(colorR, 0), std::max(colorG, 0), std::max(colorB, 0)));
            colorR = colorG = colorB = -1;
        }
        return true;
    }
    if (st.dest == Dest::FontTable) {
        if (ch == ';') {
            flushBytes();
            fontName += pendingText;
            pendingText.clear();
            fonts[fontNumber] = {fontName.trimmed(), fontCharset, fontHint};
            fontName.clear();
        } else {
            pendingBytes += ch;
        }
        return true;
    }
    return false;
}

// A font entry in its own group may end without its semicolon.
void Parser::endFontGroup() {
    if (st.dest == Dest::FontTable && !fontName.trimmed().isEmpty() &&
        stack.back().dest == Dest::FontTable) {
        fonts[fontNumber] = {fontName.trimmed(), fontCharset, fontHint};
        fontName.clear();
    }
}

} // namespace wp::RtfReader::detail
