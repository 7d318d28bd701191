#pragma once
// The .docx reader's translator, shared by the files that each read one
// part: DocxReader.cpp (the package, sections and the document's order),
// DocxReadStyles.cpp (styles, document defaults and theme fonts),
// DocxReadNumbering.cpp (numbering definitions), DocxReadText.cpp
// (paragraphs, runs and fields), DocxReadTables.cpp (tables),
// DocxReadPictures.cpp (drawings) and DocxReadInfo.cpp (core and extended
// properties). Each writes RTF of the control's dialect into `out`.

#include "document/TextControlDocument.h"
#include "document/formats/docx/DocxPackage.h"
#include "wp/PageFormat.h"

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>
#include <array>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace wp::DocxReader::detail {

using docx::PackageReader;
using docx::Relationship;

constexpr int MaxDepth = 64; // nested elements we descend into (tables, sdt...)
using docmodel::MaxTableDepth;
constexpr int MaxLength = 1000000;

// --- formats as the styles and the direct formatting give them --------------

struct RunProps {
    std::optional<bool> bold, italic, strike, caps, smallCaps, hidden;
    std::optional<int> underline; // 0 none, 1 single, 2 double, 3 dotted, 4 dashed, 5 wave
    std::optional<int> halfPoints;
    std::optional<int> vertical; // 1 superscript, -1 subscript, 0 baseline
    std::optional<QString> font;
    std::optional<QRgb> color; // 0: automatic
    std::optional<QRgb> background;
    QString style; // w:rStyle of direct formatting (not merged)
    void merge(const RunProps& over);
};

struct Tab {
    int pos = 0;
    int type = 0; // 0 left, 1 centre, 2 right, 3 decimal
    bool clear = false;
};

struct ParaProps {
    std::optional<int> align;                  // 0 left, 1 centre, 2 right, 3 justify
    std::optional<int> left, right, firstLine; // firstLine below 0: hanging
    std::optional<int> before, after, line;
    std::optional<int> lineRule; // 0 auto (240ths), 1 exact, 2 at least
    std::optional<bool> keepNext, keepLines, pageBreakBefore, widowControl, bidi;
    std::optional<int> numId, ilvl;
    std::vector<Tab> tabs;
    QString style; // w:pStyle of direct formatting (not merged)
    void merge(const ParaProps& over);
};

struct TableProps {
    std::optional<bool> borders;   // any visible border
    std::optional<int> padding[4]; // left, top, right, bottom
    std::optional<int> align;      // 0 left, 1 centre, 2 right
    std::optional<int> indent;
    QString style; // w:tblStyle of direct formatting (not merged)
    void merge(const TableProps& over);
};

struct Style {
    QString type;
    QString basedOn;
    RunProps run;
    ParaProps para;
    TableProps table;
};

// --- numbering --------------------------------------------------------------

struct Level {
    int nfc = 0; // RTF \levelnfc
    int start = 1;
    QString text; // "%1." as Word gives it
    std::optional<int> left, firstLine;
    QString font;
    bool set = false;
};

struct NumDef {
    int abstractId = -1;
    std::map<int, int> startOverride;
    std::map<int, Level> levelOverride;
};

// --- sections ---------------------------------------------------------------

struct Section {
    PageFormat page;
    bool titlePage = false;
    bool continuous = false;
    QString refs[4]; // relationship ids: header, first header, footer, first footer
};

class Translator {
public:
    Translator(PackageReader& package) : pkg(package) {}
    QByteArray translate();

private:
    PackageReader& pkg;
    QString mainPart;
    QHash<QString, Relationship> mainRels;
    const QHash<QString, Relationship>* rels = nullptr; // of the part being read
    QString currentPart;

    // Styles and theme (DocxReadStyles.cpp).
    RunProps defaultRun;
    ParaProps defaultPara;
    QHash<QString, Style> styles;
    QString defaultParaStyle, defaultCharStyle, defaultTableStyle;
    QString minorFont, majorFont;
    void readTheme();
    void readStyles();
    void readRunProps(QXmlStreamReader& xml, RunProps& r);
    void readParaProps(QXmlStreamReader& xml, ParaProps& p, std::optional<Section>* section);
    void readTableProps(QXmlStreamReader& xml, TableProps& t);
    RunProps styleRun(const QString& id) const;
    ParaProps stylePara(const QString& id) const;
    TableProps styleTable(const QString& id) const;
    const Style* styleChain(const QString& id, std::vector<const Style*>& chain) const;

    // Numbering (DocxReadNumbering.cpp).
    std::map<int, std::array<Level, 9>> abstracts;
    std::map<int, NumDef> nums;
    std::map<int, int> lsOfNum; // w:numId -> RTF \ls
    void readNumbering();
    void readLevel(QXmlStreamReader& xml, Level& l);
    const Level* level(int numId, int ilvl) const;
    void writeListTables(QByteArray& rtf);

    // Sections and the document (DocxReader.cpp).
    std::vector<Section> sections;
    size_t sectionIndex = 0;
    void scanSections(const QByteArray& document);
    void readSection(QXmlStreamReader& xml, Section& s);
    void readBody(QXmlStreamReader& xml, int depth);
    void readHeaderFooter(const QString& rid, const char* word);
    void readSettings();
    // Each start element of the main part's related part of `type`, in
    // document order; false when there is no such part.
    bool readPart(QLatin1String type, const std::function<void(QXmlStreamReader&)>& start);
    QByteArray hfOut; // the RTF header and footer groups
    int defaultTab = 720;
    void writeHead(QByteArray& rtf);
    int pageWidthForText() const;

    // Text (DocxReadText.cpp).
    QByteArray out;
    QStringList fonts; // RTF font numbers
    QList<QRgb> colors;
    int fontIndex(const QString& name);
    int colorIndex(QRgb rgb);
    void text(QByteArray& to, QStringView s);
    void num(QByteArray& to, const char* word, long long value);
    struct Field {
        int phase = 1; // 1 instruction, 2 result
        QString instr;
        bool open = false; // its RTF group is open
        int id = 0;
    };
    std::vector<Field> fieldStack;
    int pendingFieldId = 0;
    int* tableIdSlot = nullptr;
    RunProps paraRun;         // the paragraph's run format before the run's own
    int runNesting = 0;       // choices of alternate content inside a run
    int spaceAfterBefore = 0; // space after of the paragraph before, in the same frame or cell
    QString tableStyle;       // of the innermost table being read
    // Reads a w:p and writes it ended by \par (or \sect); returns where
    // that end stands in `out`, so that a cell's last paragraph can end
    // with \cell instead.
    qsizetype paragraph(QXmlStreamReader& xml, int tableDepth, int depth);
    void paragraphElement(QXmlStreamReader& xml, QByteArray& content, int tableDepth, int depth);
    void run(QXmlStreamReader& xml, QByteArray& content, int tableDepth);
    void runElement(QXmlStreamReader& xml, QByteArray& content, const RunProps& props,
                    int tableDepth, bool& started);
    bool fieldShown() const;
    void runStart(QByteArray& content, const RunProps& r);
    void fieldChar(QXmlStreamReader& xml, QByteArray& content);
    void closeFieldsAtParagraphEnd(QByteArray& content);
    void bookmark(QXmlStreamReader& xml);
    QByteArray paragraphProps(const ParaProps& p, int tableDepth);

    // Tables (DocxReadTables.cpp).
    void table(QXmlStreamReader& xml, int tableDepth, int depth);

    // Pictures (DocxReadPictures.cpp).
    void drawing(QXmlStreamReader& xml, QByteArray& content);
    void vmlPicture(QXmlStreamReader& xml, QByteArray& content);
    void picture(QByteArray& content, const QString& rid, long long w, long long h);

    // Properties (DocxReadInfo.cpp).
    void writeInfo(QByteArray& rtf);
};

// --- small XML helpers ------------------------------------------------------

/// w:val (or another attribute) of the current element, by local name.
QString attr(const QXmlStreamReader& xml, const char* name = "val");
/// An OOXML on/off element: present without w:val, or "1", "true", "on".
bool onOff(const QXmlStreamReader& xml);
/// An integer attribute; `fallback` when it is missing or not a number.
int intAttr(const QXmlStreamReader& xml, const char* name, int fallback = 0);
/// Reads to the end of the current element.
void skip(QXmlStreamReader& xml);
/// Fails on a document type declaration and on XML errors.
void check(const QXmlStreamReader& xml, const QString& part);
/// An "RRGGBB" colour; nullopt for "auto" or anything else.
std::optional<QRgb> hexColor(const QString& value);
/// Cell margins (w:tblCellMar, w:tcMar) in twips: left, top, right, bottom.
void readMargins(QXmlStreamReader& xml, std::optional<int> (&padding)[4]);

} // namespace wp::DocxReader::detail
