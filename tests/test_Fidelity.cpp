// Our pages beside LibreOffice's: every document of tests/corpus is written
// by LibreOffice as RTF, as Word document and as PDF when the tests are
// built; we load the RTF (or the Word document), print it to PDF, and
// compare what a reader of both PDFs sees: the number of pages, the text of
// each page and where each line stands. Our own Word documents are printed
// by LibreOffice and compared with our PDF the same way.
#include "document/pages/PageLayout.h"
#include "support/ToolSupport.h"
#include "wp/TextControl.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <cmath>
#include <gtest/gtest.h>
#include <map>

namespace {

constexpr double kPointsPerInch = 72.0;

struct PdfLine {
    QString text;
    double x = 0, top = 0, bottom = 0, right = 0;
};
using PdfPages = std::vector<std::vector<PdfLine>>;

// The lines of each page, as pdftotext finds them, in points from the
// sheet's top left corner.
PdfPages readPdf(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"),
            {QStringLiteral("-bbox-layout"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        ADD_FAILURE() << "pdftotext failed on " << pdf.toStdString();
        return {};
    }
    PdfPages pages;
    QXmlStreamReader xml(p.readAllStandardOutput());
    PdfLine line;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto a = xml.attributes();
            if (xml.name() == QLatin1String("page")) {
                pages.emplace_back();
            } else if (xml.name() == QLatin1String("line")) {
                line = PdfLine{{},
                               a.value(QLatin1String("xMin")).toDouble(),
                               a.value(QLatin1String("yMin")).toDouble(),
                               a.value(QLatin1String("yMax")).toDouble(),
                               a.value(QLatin1String("xMax")).toDouble()};
            } else if (xml.name() == QLatin1String("word")) {
                const double x = a.value(QLatin1String("xMin")).toDouble();
                const QString word = xml.readElementText();
                if (line.text.isEmpty())
                    line.x = x;
                line.text += (line.text.isEmpty() ? QString() : QStringLiteral(" ")) + word;
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("line") && !pages.empty() &&
                   !line.text.isEmpty()) {
            pages.back().push_back(line);
        }
    }
    EXPECT_FALSE(xml.hasError()) << pdf.toStdString();
    return pages;
}

QString pageText(const std::vector<PdfLine>& lines) {
    QStringList words;
    for (const PdfLine& l : lines)
        words << l.text;
    return words.join(QLatin1Char(' '));
}

QStringList pageTexts(const PdfPages& pages) {
    QStringList list;
    for (const auto& page : pages)
        list << pageText(page);
    return list;
}

// All lines as if on one page, each at its height on its own page.
PdfPages onePage(const PdfPages& pages) {
    PdfPages one(1);
    for (const auto& p : pages)
        one[0].insert(one[0].end(), p.begin(), p.end());
    return one;
}

// The first line of any page that starts with `prefix` (UTF-8).
PdfLine lineOf(const PdfPages& pages, const char* prefix) {
    for (const auto& page : pages)
        for (const PdfLine& l : page)
            if (l.text.startsWith(QString::fromUtf8(prefix)))
                return l;
    ADD_FAILURE() << prefix << " not printed";
    return PdfLine{};
}

// How many of LibreOffice's lines we print with the same words on the same
// page, the left edge within 0.1 inch and the height within 0.25 inch.
struct Match {
    int matched = 0, total = 0;
    double percent() const { return 100.0 * matched / std::max(1, total); }
    void add(const Match& m) { *this = {matched + m.matched, total + m.total}; }
};

Match matchLines(const PdfPages& theirs, const PdfPages& ours) {
    Match m;
    for (size_t p = 0; p < theirs.size(); ++p) {
        std::vector<bool> used(p < ours.size() ? ours[p].size() : 0, false);
        for (const PdfLine& t : theirs[p]) {
            ++m.total;
            for (size_t k = 0; k < used.size(); ++k) {
                const PdfLine& o = ours[p][k];
                if (!used[k] && o.text == t.text && std::abs(o.x - t.x) <= 0.1 * kPointsPerInch &&
                    std::abs(o.top - t.top) <= 0.25 * kPointsPerInch) {
                    used[k] = true;
                    ++m.matched;
                    break;
                }
            }
        }
    }
    return m;
}

// `rtf` loaded (and, with `saveAs`, saved in that format and loaded again)
// and printed by us; the PDF stays in `dir`.
PdfPages printRtf(const QByteArray& rtf, const QTemporaryDir& dir, const QString& name,
                  int saveAs = 0) {
    wp::TextControl tx;
    if (!tx.LoadFromMemory(rtf, wp::fmt::Rtf) ||
        (saveAs && !tx.LoadFromMemory(tx.SaveToMemory(saveAs), saveAs))) {
        ADD_FAILURE() << name.toStdString() << ": " << tx.lastError().toStdString();
        return {};
    }
    const QString pdf = dir.filePath(name + QStringLiteral(".pdf"));
    EXPECT_TRUE(tx.exportPdf(pdf)) << tx.lastPdfError().toStdString();
    return readPdf(pdf);
}

struct Corpus {
    QString name;
    PdfPages theirs, ours;
    QString theirsPdf, oursPdf;
};

// The pictures of a PDF's first page, in points from the sheet's top left.
std::vector<QRectF> pictures(const QString& pdf) {
    std::vector<QRectF> found;
    QXmlStreamReader xml(
        wptest::output(QStringLiteral("pdftohtml"),
                       QStringLiteral("-xml -stdout -q -zoom 1 -l 1").split(u' ') << pdf));
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            xml.name() == QLatin1String("image")) {
            const auto a = xml.attributes();
            auto v = [&](const char* k) { return a.value(QLatin1String(k)).toDouble(); };
            found.emplace_back(v("left"), v("top"), v("width"), v("height"));
        }
    return found;
}

class Fidelity : public ::testing::Test {
protected:
    // Loads the converted document `name` (LibreOffice's file of extension
    // `ext`) and prints it with our pages; `saveAs` first saves it in that
    // format and loads what was saved. `real`: a document of corpus/real,
    // printed by LibreOffice as it stands.
    static Corpus load(const QString& name, int saveAs = 0,
                       const QString& ext = QStringLiteral("rtf"), bool real = false) {
        Corpus c{name, {}, {}, {}, {}};
        const QDir dir(QStringLiteral(WP_CORPUS_DIR));
        const QString rtf = real ? QDir(QStringLiteral(WP_CORPUS_SOURCE "/real"))
                                       .filePath(name + QStringLiteral(".rtf"))
                                 : dir.filePath(name + QLatin1Char('.') + ext);
        const QString pdf = dir.filePath((real ? QStringLiteral("real/") : QString()) + name +
                                         QStringLiteral(".pdf"));
        if (!QFileInfo::exists(rtf) || !QFileInfo::exists(pdf)) {
            ADD_FAILURE() << name.toStdString()
                          << ": LibreOffice's conversion is missing (build the corpus target)";
            return c;
        }
        // A Word document is judged by LibreOffice's pages of it.
        const QString judge = ext == QLatin1String("docx")
                                  ? dir.filePath(QStringLiteral("docx/") + name + ".pdf")
                                  : pdf;
        c.theirs = readPdf(judge);
        c.theirsPdf = judge;
        wp::TextControl tx;
        if (!tx.LoadFromFile(rtf) ||
            (saveAs && !tx.LoadFromMemory(tx.SaveToMemory(saveAs), saveAs))) {
            ADD_FAILURE() << name.toStdString() << " (saved as " << saveAs
                          << "): " << tx.lastError().toStdString();
            return c;
        }
        static QTemporaryDir out;
        const QString ours = out.filePath(name + QLatin1Char('.') + ext + QStringLiteral(".pdf"));
        EXPECT_TRUE(tx.exportPdf(ours)) << tx.lastPdfError().toStdString();
        c.ours = readPdf(ours);
        c.oursPdf = ours;
        EXPECT_EQ(int(c.ours.size()), tx.CurrentPages()) << name.toStdString();
        return c;
    }

    static QStringList names() {
        QStringList list;
        const QDir src(QStringLiteral(WP_CORPUS_SOURCE));
        for (const QString& f : src.entryList({QStringLiteral("*.fodt")}, QDir::Files, QDir::Name))
            list << QFileInfo(f).completeBaseName();
        return list;
    }

    // The line of a page whose text starts with `prefix`, in our PDF or theirs.
    static const PdfLine* find(const Corpus& c, size_t page, const QString& prefix,
                               bool theirs = false) {
        const PdfPages& pages = theirs ? c.theirs : c.ours;
        if (page >= pages.size())
            return nullptr;
        for (const PdfLine& l : pages[page])
            if (l.text.startsWith(prefix))
                return &l;
        return nullptr;
    }
};

} // namespace

// Documents written by Word, WordPad and LibreOffice: every one loads and
// prints, and most lines stand where LibreOffice puts them.
TEST_F(Fidelity, realDocumentsMostlyMatchLibreOffice) {
    const QDir src(QStringLiteral(WP_CORPUS_SOURCE "/real"));
    const QStringList files = src.entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 15);
    Match all, anyPage;
    int samePageCount = 0;
    double fileShares = 0; // the mean over files, each file counting once
    for (const QString& f : files) {
        const QString name = QFileInfo(f).completeBaseName();
        const Corpus c = load(name, 0, QStringLiteral("rtf"), true);
        const std::string n = name.toStdString();
        ASSERT_FALSE(c.ours.empty()) << n;
        samePageCount += c.ours.size() == c.theirs.size();
        const Match m = matchLines(c.theirs, c.ours);
        const Match a = matchLines(onePage(c.theirs), onePage(c.ours)); // the page ignored
        all.add(m);
        anyPage.add(a);
        fileShares += m.percent();
        std::printf("%-34s %3zu/%3zu pages %4d/%4d lines (%5.1f %%, %5.1f %% any page)\n",
                    n.c_str(), c.ours.size(), c.theirs.size(), m.matched, m.total, m.percent(),
                    a.percent());
    }
    const double share = all.percent();
    std::printf("all %d/%d lines match (%.1f %%, %.1f %% any page; %.1f %% per file), %d/%d page "
                "counts\n",
                all.matched, all.total, share, anyPage.percent(), fileShares / int(files.size()),
                samePageCount, int(files.size()));
    RecordProperty("real_line_match_percent", QString::number(share, 'f', 1).toStdString());
    // Floors a little under what we reach, so that a regression shows.
    EXPECT_GE(share, 47.0);
    EXPECT_GE(fileShares / int(files.size()), 67.0);
    EXPECT_GE(samePageCount, int(files.size()) - 4);
}

// What Word does with its own documents' tables, sections, headers and
// fonts, in the pages we print.
TEST_F(Fidelity, wordDocumentsPrintAsWordLaysThemOut) {
    QTemporaryDir dir;
    const QByteArray head = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Times New Roman;}"
                            "{\\f1\\fnil Times New Roman CYR;}"
                            "{\\f3\\fmodern Nofont Mono;}{\\f4\\froman Nofont Serif;}}";
    // The body `rtf` after the fonts above, printed as `name`.pdf.
    auto print = [&](const char* name, const QByteArray& rtf, int saveAs = 0) {
        return printRtf(head + rtf, dir, QString::fromLatin1(name), saveAs);
    };

    // \\trgaph pads cells left and right only; \\trpaddft3 without a value
    // adds nothing: rows stand a line apart, as paragraphs do. The empty
    // paragraph before the table keeps its line.
    const PdfPages table = print(
        "table", "\\pard Before\\par\\par\\trowd\\trgaph108\\trleft-108\\trpaddl108\\trpaddr108"
                 "\\trpaddfl3\\trpaddfr3\\cellx4000\\cellx8000\\pard\\intbl Row one\\cell B"
                 "\\cell\\row\\trowd\\trgaph108\\trleft-108\\trpaddft3\\cellx4000\\cellx8000"
                 "\\pard\\intbl Row two\\cell B\\cell\\row\\pard After\\par}");
    const PdfLine before = lineOf(table, "Before"), one = lineOf(table, "Row one"),
                  two = lineOf(table, "Row two"), after = lineOf(table, "After");
    const double line = after.top - two.top;
    EXPECT_NEAR(line, 13.8, 0.5) << "a line of 12-point Times";
    EXPECT_NEAR(two.top - one.top, line, 1.0);
    EXPECT_NEAR(one.top - before.top, 2 * line, 1.0);
    EXPECT_NEAR(one.x, before.x, 0.5) << "text 108 twips in from a cell 108 twips out";

    // Contextual spacing: no space after between list items of one style,
    // the space after the last one kept before a paragraph of another.
    const PdfPages list =
        print("contextual", "\\pard\\s27\\sa400\\contextualspace Item one\\par "
                            "Item two\\par\\pard\\s0\\sa400 Body\\par Next\\par}");
    const double itemTwo = lineOf(list, "Item two").top, body = lineOf(list, "Body").top;
    EXPECT_NEAR(itemTwo - lineOf(list, "Item one").top, line, 1.0);
    EXPECT_NEAR(body - itemTwo, line + 20, 1.0);
    EXPECT_NEAR(lineOf(list, "Next").top - body, line + 20, 1.0);

    // A document that begins with a list item shows its marker.
    const QByteArray item = "{\\listtext\\f5 \\'b7\\tab}\\pard\\ls1\\fi-360\\li720 ";
    const QStringList items = pageTexts(
        printRtf("{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f5\\fcharset2 Symbol;}}{\\*\\listtable{\\list"
                 "{\\listlevel\\levelnfc23{\\leveltext\\'01\\'b7;}\\f5\\fi-360\\li720}\\listid1}}"
                 "{\\*\\listoverridetable{\\listoverride\\listid1\\ls1}}" +
                     item + "First\\par" + item + "Second\\par}",
                 dir, QStringLiteral("list")));
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].count(QChar(0x2022)), 2) << items[0].toStdString();

    // Tab stops count from the margin, not from where a line starts, as
    // LibreOffice places them; a hanging indent is a stop of its own; a
    // right stop past the margin does not wrap the line, its dot leader
    // filling the gap from the text to the number.
    const PdfPages tabs =
        print("tabs", "\\margl1800\\margr1800\\pard\\li1440\\fi-720\\tx3000 Gr"
                      "\\tab 23\\par\\pard\\li1440\\tx3000 Growth\\tab 24\\par"
                      "\\pard\\li400\\tqr\\tldot\\tx9072 Growth rate\\tab 25\\par}");
    EXPECT_NEAR(lineOf(tabs, "23").x, 162.1, 1.0);
    EXPECT_NEAR(lineOf(tabs, "24").x, 240.1, 1.0);
    const PdfLine toc = lineOf(tabs, "Growth rate");
    EXPECT_NEAR(toc.right, 522, 1.0);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^Growth rate \\.{40,} 25$")).match(toc.text).hasMatch())
        << toc.text.toStdString();

    // An empty paragraph is as high as the font at its end: a 24-point
    // line between two 10-point ones, also once saved.
    for (const int saveAs : {0, wp::fmt::Rtf}) {
        const PdfPages empty =
            print("empty", "\\pard{\\fs20 Please\\par}{\\fs48 \\par}{\\fs20 After\\par}}", saveAs);
        EXPECT_NEAR(lineOf(empty, "After").top - lineOf(empty, "Please").top, 11.5 + 27.6, 1.0);
    }

    // Small capitals print as capitals, the lowercase ones smaller.
    const PdfPages caps = print("smallcaps", "\\pard\\scaps Reviews\\par}");
    ASSERT_EQ(caps.size(), 1u);
    QString capsText;
    for (const PdfLine& l : caps[0]) {
        capsText += l.text;
        EXPECT_GT(l.bottom - l.top, 6) << l.text.toStdString();
    }
    EXPECT_EQ(capsText.remove(QLatin1Char(' ')), QStringLiteral("REVIEWS"));

    // WordPad's bullets have no room before their text: the bullet stands
    // at the margin and a tab takes the text to its stop.
    const PdfPages pad =
        printRtf("{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f2\\fcharset2 Symbol;}}\\pard{\\pntext"
                 "\\f2\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf2\\pnindent0{\\pntxtb\\'B7}}"
                 "\\tx720 Apple\\par\\pard Margin\\par}",
                 dir, QStringLiteral("wordpad"));
    const double padMargin = lineOf(pad, "Margin").x;
    EXPECT_NEAR(lineOf(pad, "Apple").x, padMargin + 36, 0.5);
    EXPECT_NEAR(lineOf(pad, "\u2022").x, padMargin, 0.5);

    // Columns: a one-column title, then two columns 720 twips apart on the
    // same page, balanced at the continuous break below them; \\column
    // starts the next column; the default break starts a page, and a
    // section on an even page leaves page 3 blank. Saved as RTF or in our format and loaded again,
    // the lines stand where they stood.
    QByteArray columnsRtf = "\\margl1440\\margr1440\\pard Title\\par\\sect\\sectd\\sbknone\\cols2"
                            "\\colsx720\\linebetcol\\pard ";
    for (int i = 0; i < 60; ++i)
        columnsRtf += "word" + QByteArray::number(i) + ' ';
    columnsRtf += "\\sect\\sectd\\sbknone\\pard Below\\par\\sect\\sectd\\cols3\\pard Left\\column"
                  "\\pard Middle\\par\\sect\\sectd\\sbkeven\\pard Even\\par}";
    const PdfPages columns = print("columns", columnsRtf);
    ASSERT_EQ(pageTexts(columns).mid(2), (QStringList{QString(), QStringLiteral("Even")}));
    const double title = lineOf(columns, "Title").top, below = lineOf(columns, "Below").top;
    std::vector<PdfLine> leftColumn, rightColumn;
    for (const PdfLine& l : columns[0]) {
        if (l.top > title && l.top < below)
            (std::abs(l.x - 72) < 1 ? leftColumn : rightColumn).push_back(l);
    }
    ASSERT_FALSE(rightColumn.empty());
    EXPECT_NEAR(rightColumn.front().x, 72 + (468 - 36) / 2.0 + 36, 0.5);
    EXPECT_EQ(leftColumn.front().text.left(6), QStringLiteral("word0 "));
    EXPECT_NEAR(rightColumn.front().top, leftColumn.front().top, 0.5);
    EXPECT_LE(std::abs(int(leftColumn.size()) - int(rightColumn.size())), 1) << "balanced";
    EXPECT_GT(below, std::max(leftColumn.back().top, rightColumn.back().top));
    const PdfLine left = lineOf(columns, "Left"), middle = lineOf(columns, "Middle");
    EXPECT_NEAR(middle.top, left.top, 0.5) << "the third section on a page of its own";
    EXPECT_NEAR(middle.x - left.x, (468 - 2 * 36) / 3.0 + 36, 0.5);
    {
        // The caret and a click find the second column's words there.
        wp::TextControl tx;
        ASSERT_TRUE(tx.LoadFromMemory(head + columnsRtf, wp::fmt::Rtf));
        wp::PageLayout layout;
        layout.setDocument(tx.document());
        layout.setPageFormat(tx.pageFormat());
        const QString second = rightColumn.front().text.section(QLatin1Char(' '), 0, 0);
        const int pos = tx.document()->toPlainText().indexOf(second + QLatin1Char(' '));
        const auto [page, caret] = layout.caretRect(pos);
        EXPECT_EQ(page, 1);
        EXPECT_NEAR(caret.left() / 20, rightColumn.front().x, 1.0);
        EXPECT_NEAR(caret.top() / 20, rightColumn.front().top, 3.0);
        EXPECT_EQ(layout.hitTest(1, caret.center() + QPointF(1, 0)), pos);
        // Lines count down the first column, then the second: the title
        // and the empty paragraph \\sect ended come first.
        EXPECT_EQ(layout.pageAndLine(pos).second, int(leftColumn.size()) + 3);
    }
    for (const int format : {wp::fmt::Rtf, wp::fmt::Native}) {
        SCOPED_TRACE(format);
        const PdfPages again = print("columns-saved", columnsRtf, format);
        ASSERT_EQ(pageTexts(again), pageTexts(columns));
        const auto was = onePage(columns)[0], is = onePage(again)[0];
        ASSERT_EQ(is.size(), was.size());
        for (size_t k = 0; k < is.size(); ++k) {
            EXPECT_EQ(is[k].text, was[k].text);
            EXPECT_NEAR(is[k].x, was[k].x, 0.1) << is[k].text.toStdString();
            EXPECT_NEAR(is[k].top, was[k].top, 0.1) << is[k].text.toStdString();
        }
    }

    // A later section's landscape paper and margins are its pages' own,
    // also once saved; the first section's pages keep theirs.
    for (const int saveAs : {0, wp::fmt::Rtf}) {
        const char* name = saveAs ? "paper-saved" : "paper";
        const PdfLine second = lineOf(
            print(name,
                  "\\pgwsxn12240\\pghsxn15840\\pard First\\par\\sect\\sectd\\lndscpsxn\\pgwsxn15840"
                  "\\pghsxn12240\\marglsxn2880\\margtsxn720\\pard Second\\par\\page Third\\par}",
                  saveAs),
            "Second");
        EXPECT_NEAR(second.x, 144, 0.5) << name;
        EXPECT_NEAR(second.top, 36, 4) << name;
        const QString sizes = wptest::output(
            QStringLiteral("pdfinfo"), QStringLiteral("-f 1 -l 3").split(u' ')
                                           << dir.filePath(QString::fromLatin1(name) + ".pdf"));
        EXPECT_TRUE(sizes.contains(QRegularExpression(
            QStringLiteral("Page +1 size: +612 x 792 pts(.|\\n)*Page +2 size: +792 x 612 pts"
                           "(.|\\n)*Page +3 size: +792 x 612 pts"))))
            << name << sizes.toStdString();
    }

    // Without facing pages the left-page header and footer are not shown,
    // the right-page ones are; \\chpgn prints the page's number.
    const QByteArray hf = "{\\headerl Left head\\par}{\\headerr Right head\\par}"
                          "{\\footerl Left foot\\par}{\\footerr Page \\chpgn\\par}"
                          "\\pard One\\par\\page Two\\par}";
    for (const bool facing : {false, true})
        EXPECT_EQ(pageTexts(print("headers", (facing ? "\\facingp" : "") + hf)),
                  (QStringList{QStringLiteral("Right head One Page 1"),
                               QStringLiteral("Right head Two Page 2")}))
            << "facing pages " << facing;

    // The PDF's text is the document's: no ligature characters. Ideographs
    // a CJK font draws with its radicals' glyphs read as the ideographs, not
    // as the radicals.
    EXPECT_EQ(
        pageTexts(print("ligatures",
                        "\\pard office fifty affine flow\\par\\f1 efficient\\par\\f4 fiord\\par}")),
        QStringList{QStringLiteral("office fifty affine flow efficient fiord")});
    EXPECT_EQ(pageTexts(print("ideographs", "\\pard \\u20837?\\u40736?\\u19968?\\u29992?\\par}")),
              QStringList{QString::fromUtf8("\u5165\u9f20\u4e00\u7528")});

    // Fonts by kind: a Windows charset name is the font it names, an
    // unknown roman font a serif one, an unknown modern one a fixed one.
    const QString used =
        wptest::output(QStringLiteral("pdffonts"), {dir.filePath(QStringLiteral("ligatures.pdf"))});
    EXPECT_TRUE(used.contains(QStringLiteral("LiberationSerif"))) << used.toStdString();
    EXPECT_FALSE(used.contains(QStringLiteral("Sans"))) << used.toStdString();
    const PdfPages mono = print("mono", "\\pard\\f3 iiii\\par\\f3 mmmm\\par}");
    ASSERT_EQ(mono.size(), 1u);
    ASSERT_EQ(mono[0].size(), 2u);
    EXPECT_NEAR(mono[0][0].right - mono[0][0].x, mono[0][1].right - mono[0][1].x, 0.5)
        << "a fixed-width font";
}

// Every document, as LibreOffice's RTF, has LibreOffice's pages, their text
// and lines. Word documents both ways with LibreOffice as the judge: its
// Word documents printed by us place its lines as it prints them; our Word
// documents printed by it place our lines as we print them.
TEST_F(Fidelity, everyDocumentHasLibreOfficesPagesTextAndLinesAlsoAsWordDocument) {
    const QStringList list = names();
    ASSERT_GE(list.size(), 7);
    Match all, read;
    QTemporaryDir dir;
    QStringList written;
    std::map<QString, PdfPages> oursOfRtf;
    for (const QString& name : list) {
        const std::string n = name.toStdString();
        const Corpus c = load(name), word = load(name, 0, QStringLiteral("docx"));
        ASSERT_FALSE(c.theirs.empty()) << n;
        EXPECT_EQ(pageTexts(c.ours), pageTexts(c.theirs)) << n << ": pages and their text";
        const Match m = matchLines(c.theirs, c.ours), r = matchLines(word.theirs, word.ours);
        all.add(m);
        read.add(r);
        std::printf(
            "%-22s %3zu/%3zu pages %4d/%4d lines match (%.1f %%); read from Word: %3zu/%3zu "
            "pages %4d/%4d (%.1f %%)\n",
            n.c_str(), c.ours.size(), c.theirs.size(), m.matched, m.total, m.percent(),
            word.ours.size(), word.theirs.size(), r.matched, r.total, r.percent());
        // Our Word document of the RTF, beside our own pages of it.
        wp::TextControl tx;
        ASSERT_TRUE(tx.LoadFromFile(QDir(QStringLiteral(WP_CORPUS_DIR)).filePath(name + ".rtf")));
        const QString docx = dir.filePath(name + QStringLiteral(".docx"));
        ASSERT_TRUE(tx.SaveToFile(docx)) << tx.lastError().toStdString();
        written << docx;
        oursOfRtf[name] = c.ours;
    }
    const double share = all.percent();
    std::printf("all %d/%d lines match (%.1f %%)\n", all.matched, all.total, share);
    RecordProperty("line_match_percent", QString::number(share, 'f', 1).toStdString());
    EXPECT_GE(share, 95.0);
    const double readShare = read.percent();
    std::printf("read  all %d/%d lines match (%.1f %%)\n", read.matched, read.total, readShare);
    EXPECT_GE(readShare, 90.0);

    // One LibreOffice run prints all of ours (its start-up is the slow part).
    QProcess soffice;
    soffice.start(QStringLiteral(WP_SOFFICE),
                  QStringList{QStringLiteral("-env:UserInstallation=file://") + dir.path() +
                                  QStringLiteral("/profile"),
                              QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                              QStringLiteral("pdf"), QStringLiteral("--outdir"), dir.path()} +
                      written);
    ASSERT_TRUE(soffice.waitForFinished(300000));
    Match write;
    for (const QString& name : list) {
        const PdfPages theirs = readPdf(dir.filePath(name + QStringLiteral(".pdf")));
        const Match m = matchLines(oursOfRtf[name], theirs);
        write.add(m);
        std::printf("write %-22s %3zu/%3zu pages %4d/%4d lines match (%.1f %%)\n",
                    name.toStdString().c_str(), theirs.size(), oursOfRtf[name].size(), m.matched,
                    m.total, m.percent());
    }
    const double writeShare = write.percent();
    std::printf("write all %d/%d lines match (%.1f %%)\n", write.matched, write.total, writeShare);
    RecordProperty("docx_read_line_match_percent",
                   QString::number(readShare, 'f', 1).toStdString());
    RecordProperty("docx_write_line_match_percent",
                   QString::number(writeShare, 'f', 1).toStdString());
    EXPECT_GE(writeShare, 95.0);
}

// Footers, list markers, a photo and rows of exact height stand where
// LibreOffice puts them, in its RTF and once saved in each format and
// loaded again.
TEST_F(Fidelity, footersListsPhotoAndExactRowsStandAsLibreOfficesAlsoAfterSaving) {
    constexpr double near = 0.05 * kPointsPerInch;
    for (const int saveAs : {0, wp::fmt::Rtf, wp::fmt::Native, wp::fmt::Docx}) {
        SCOPED_TRACE(saveAs);
        // Every page's footer numbers it, where LibreOffice puts its footer.
        for (const QString& name : {QStringLiteral("fields"), QStringLiteral("resume")}) {
            const Corpus c = load(name, saveAs);
            ASSERT_EQ(c.ours.size(), c.theirs.size()) << name.toStdString();
            const int n = int(c.ours.size());
            ASSERT_GE(n, 2);
            for (int p = 1; p <= n; ++p) {
                ASSERT_FALSE(c.ours[p - 1].empty());
                const PdfLine& last = c.ours[p - 1].back();
                EXPECT_TRUE(last.text.endsWith(QStringLiteral("age %1 of %2").arg(p).arg(n)))
                    << name.toStdString() << " page " << p << ": " << last.text.toStdString();
                ASSERT_FALSE(c.theirs[p - 1].empty());
                EXPECT_EQ(c.theirs[p - 1].back().text, last.text);
                EXPECT_NEAR(last.top, c.theirs[p - 1].back().top, near);
            }
        }

        // Markers where LibreOffice prints them: a list starting at 5, its
        // restart, numbers of two and three levels (too wide for their room:
        // the text moves on to the next tab), roman numbers, letters and
        // three kinds of bullet.
        const Corpus lists = load(QStringLiteral("lists-numbering"), saveAs);
        for (const char* start : {"5. Fifth", "7. Seventh", "5. Restarted", "1.1.", "Degree",
                                  "1.2.", "Courses", "1.2.2.", "Compilers", "2.1.", "Developer",
                                  "(c) Methods", "iii. Design", "III. References", "C) Third",
                                  "D) Fourth", "\u25A0 Square", "\u25E6 White", "\u2013 Dash"}) {
            const QString prefix = QString::fromUtf8(start);
            const PdfLine *t = find(lists, 0, prefix, true), *o = find(lists, 0, prefix);
            ASSERT_TRUE(t && o) << start << (t ? " is not on our page" : " is not LibreOffice's");
            EXPECT_NEAR(o->x, t->x, near) << start;
            EXPECT_NEAR(o->top, t->top, near) << start;
        }

        // The photo at its place and size; lines beside it end before it,
        // lines below it go on to the right margin.
        const Corpus withPhoto = load(QStringLiteral("photo"), saveAs);
        ASSERT_FALSE(withPhoto.ours.empty());
        const std::vector<QRectF> theirs = pictures(withPhoto.theirsPdf),
                                  ours = pictures(withPhoto.oursPdf);
        ASSERT_EQ(theirs.size(), 1u);
        ASSERT_EQ(ours.size(), 1u);
        const QRectF photo = ours[0];
        EXPECT_NEAR(photo.left(), theirs[0].left(), near);
        EXPECT_NEAR(photo.top(), theirs[0].top(), near);
        EXPECT_NEAR(photo.width(), 1.5 * kPointsPerInch, near);
        EXPECT_NEAR(photo.height(), 1.875 * kPointsPerInch, near);
        int beside = 0, below = 0;
        for (const PdfLine& l : withPhoto.ours[0]) {
            if (l.bottom > photo.top() && l.top < photo.bottom()) {
                ++beside;
                EXPECT_LT(l.right, photo.left()) << l.text.toStdString();
            }
            below += l.top > photo.bottom() && l.text.size() > 90;
        }
        EXPECT_GE(beside, 8);
        EXPECT_GE(below, 3);
        // The same words on each line as LibreOffice's.
        EXPECT_EQ(pageText(withPhoto.ours[0]), pageText(withPhoto.theirs[0]));

        // Rows exactly half an inch apart; text 0.1 inch in from the cell.
        const Corpus exact = load(QStringLiteral("table-exact"), saveAs);
        const PdfLine* previous = nullptr;
        for (const char* year : {"2019", "2020", "2021", "2022"}) {
            const PdfLine* o = find(exact, 0, QString::fromLatin1(year));
            const PdfLine* t = find(exact, 0, QString::fromLatin1(year), true);
            ASSERT_TRUE(t && o) << year << (t ? " is not on our page" : " is not LibreOffice's");
            EXPECT_NEAR(o->top, t->top, near) << year;
            EXPECT_NEAR(o->x, 1.1 * kPointsPerInch, 0.02 * kPointsPerInch) << year;
            if (previous) {
                EXPECT_NEAR(o->top - previous->top, 0.5 * kPointsPerInch, 0.5) << year;
            }
            previous = o;
        }
    }
    // A row of exactly half an inch stays so with more text than fits, also
    // once saved.
    QTemporaryDir dir;
    for (const int saveAs : {0, wp::fmt::Rtf}) {
        const PdfPages pages = printRtf(
            "{\\rtf1\\trowd\\trrh-720\\cellx2880\\intbl One\\par Two\\par Three\\par "
            "Four\\cell\\row\\trowd\\trrh-720\\cellx2880\\intbl Next\\cell\\row\\pard After}",
            dir, QStringLiteral("exact"), saveAs);
        EXPECT_NEAR(lineOf(pages, "Next").top - lineOf(pages, "One").top, 0.5 * kPointsPerInch, 1.0)
            << saveAs;
    }
}

// A footnote stands at the foot of the page that shows its mark, under the
// page's text and above the bottom margin; the text gives up the room.
TEST_F(Fidelity, footnotesStandAtTheFootOfTheirMarksPageAlsoAfterSaving) {
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Times New Roman;}}"
                     "\\paperw12240\\paperh15840\\margt1440\\margb1440 ";
    for (int i = 1; i <= 60; ++i)
        rtf += "Line " + QByteArray::number(i) +
               (i == 45 ? "{\\super\\chftn}{\\footnote\\pard\\plain\\fs20{\\super\\chftn} "
                          "Noted once.\\par Noted twice.}\\par\n"
                        : "\\par\n");
    QTemporaryDir dir;
    for (const int saveAs : {0, wp::fmt::Rtf, wp::fmt::Native}) {
        SCOPED_TRACE(saveAs);
        const PdfPages pages =
            printRtf(rtf + '}', dir, QStringLiteral("notes%1").arg(saveAs), saveAs);
        ASSERT_EQ(pages.size(), 2u);
        const PdfLine *mark = nullptr, *once = nullptr, *twice = nullptr;
        double textBottom = 0;
        for (const PdfLine& l : pages[1]) {
            if (l.text == QLatin1String("Line 45 1"))
                mark = &l;
            else if (l.text.endsWith(QLatin1String("Noted once.")))
                once = &l;
            else if (l.text == QLatin1String("Noted twice."))
                twice = &l;
            else if (l.text.startsWith(QLatin1String("Line")))
                textBottom = std::max(textBottom, l.bottom);
        }
        // The mark no longer fits on the first page beside its note.
        ASSERT_TRUE(mark && once && twice) << pageText(pages[1]).toStdString();
        EXPECT_FALSE(pageText(pages[0]).contains(QLatin1String("Noted")));
        EXPECT_LT(textBottom, once->top - 10);
        EXPECT_LT(once->bottom, twice->top + 1);
        EXPECT_NEAR(twice->bottom, 792 - 72, 6);
    }
}

// Each paragraph, and each table row across pages (padding and minimum
// height included), starts where LibreOffice starts it.
TEST_F(Fidelity, paragraphsAndTableRowsStartWhereLibreOfficeStartsThem) {
    // Each of LibreOffice's lines that `start` matches has ours on its page,
    // starting alike, its left edge and top within 0.05 inch; how many.
    auto expectAsTheirs = [](const Corpus& c, const QRegularExpression& start) {
        int lines = 0;
        for (size_t p = 0; p < c.theirs.size(); ++p)
            for (const PdfLine& t : c.theirs[p]) {
                const auto m = start.match(t.text);
                if (!m.hasMatch())
                    continue;
                ++lines;
                const PdfLine* o = find(c, p, m.captured(0));
                if (!o) {
                    ADD_FAILURE() << t.text.toStdString() << " not on page " << p + 1;
                    continue;
                }
                EXPECT_NEAR(o->top, t.top, 0.05 * kPointsPerInch) << t.text.toStdString();
                EXPECT_NEAR(o->x, t.x, 0.05 * kPointsPerInch) << t.text.toStdString();
            }
        return lines;
    };
    const Corpus spacing = load(QStringLiteral("spacing"));
    // An exact line height of 0.3 inch: the lines of the paragraph are
    // 21.6 points apart, whatever the font.
    const PdfLine* first = find(spacing, 0, QStringLiteral("Exact 1."));
    ASSERT_NE(first, nullptr);
    EXPECT_NEAR(first[1].top - first->top, 21.6, 0.5); // the line after it
    EXPECT_GT(expectAsTheirs(spacing, QRegularExpression(QStringLiteral("^[A-Za-z]+ \\d+\\."))), 0);
    // Rows begin with their year.
    const Corpus rows = load(QStringLiteral("table-rows"));
    ASSERT_EQ(rows.ours.size(), rows.theirs.size());
    EXPECT_EQ(expectAsTheirs(rows, QRegularExpression(QStringLiteral("^20\\d\\d$"))), 22);
}
