// Footnotes on the pages: each note stands at the foot of the page that
// shows its mark, its last line on the body's bottom edge, below a short
// rule, as Word and LibreOffice print them; the page's body gives up the
// room they take.
#include "document/ListMarkers.h"
#include "document/Notes.h"
#include "document/pages/PageLayout.h"

#include <QPainter>
#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>

namespace wp {

namespace {

// The space between a page's text and its notes, in twips, with a rule
// a quarter of the text width long in its middle.
constexpr double kNoteGap = 288;

} // namespace

void PageLayout::collectNotes() const {
    m_noteMarks.clear();
    if (!docmodel::hasNotes(m_body)) {
        m_noteDocs.clear();
        return;
    }
    std::map<QByteArray, std::unique_ptr<QTextDocument>> kept;
    QAbstractTextDocumentLayout* layout = m_body->documentLayout();
    for (QTextBlock b = m_body->begin(); b.isValid(); b = b.next()) {
        const QTextLayout* tl = b.layout();
        if (!tl || tl->lineCount() == 0)
            continue;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const QByteArray data = f.charFormat().property(docmodel::NoteData).toByteArray();
            if (data.isEmpty())
                continue;
            auto doc = kept.find(data);
            if (doc == kept.end()) {
                auto old = m_noteDocs.find(data);
                std::unique_ptr<QTextDocument> note =
                    old != m_noteDocs.end() ? std::move(old->second) : docmodel::noteDocument(data);
                if (!note)
                    continue;
                prepare(note.get());
                doc = kept.emplace(data, std::move(note)).first;
            }
            const QTextLine line = tl->lineForTextPosition(f.position() - b.position());
            if (!line.isValid())
                continue;
            const double y = layout->blockBoundingRect(b).top() + line.y() + line.height() / 2;
            m_noteMarks.emplace_back(y, doc->second.get());
        }
    }
    m_noteDocs = std::move(kept);
    std::stable_sort(m_noteMarks.begin(), m_noteMarks.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
}

double PageLayout::notesIn(double top, double bottom) const {
    double height = 0;
    auto it = std::lower_bound(m_noteMarks.begin(), m_noteMarks.end(), top,
                               [](const auto& m, double y) { return m.first < y; });
    for (; it != m_noteMarks.end() && it->first < bottom; ++it)
        height += it->second->documentLayout()->documentSize().height();
    return height;
}

double PageLayout::noteRoom(double notes) {
    return notes > 0 ? notes + kNoteGap : 0;
}

void PageLayout::drawNotes(QPainter* painter, const Page& pg, double bodyBottom) const {
    auto it = std::lower_bound(m_noteMarks.begin(), m_noteMarks.end(), pg.y0,
                               [](const auto& m, double y) { return m.first < y; });
    auto end = it;
    while (end != m_noteMarks.end() && end->first < pg.y1)
        ++end;
    if (it == end)
        return;
    double y = bodyBottom - notesIn(pg.y0, pg.y1);
    const double left = m_format.marginL;
    const double width = std::max(1, m_format.width - m_format.marginL - m_format.marginR);
    painter->save();
    painter->setPen(QPen(Qt::black, 10)); // half a point
    const double ruleY = y - kNoteGap / 2;
    painter->drawLine(QPointF(left, ruleY), QPointF(left + width / 4, ruleY));
    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.palette.setColor(QPalette::Text, Qt::black);
    for (; it != end; ++it) {
        QTextDocument* note = it->second;
        const double h = note->documentLayout()->documentSize().height();
        painter->save();
        painter->translate(left, y);
        ctx.clip = QRectF(0, 0, width, h);
        note->documentLayout()->draw(painter, ctx);
        docmodel::drawListMarkers(painter, note, ctx.clip);
        painter->restore();
        y += h;
    }
    painter->restore();
}

} // namespace wp
