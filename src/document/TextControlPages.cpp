// The control's pages: its page layout, the editing view inside it, and
// drawing a page on a device for the preview, printing and PDF.
#include "document/PdfSheets.h"
#include "document/pages/PageLayout.h"
#include "document/pages/PageView.h"
#include "wp/Error.h"
#include "wp/TextControl.h"

#include <QFile>
#include <QPainter>
#include <QScopeGuard>
#include <QVBoxLayout>

namespace wp {

class TextControl::Pages {
public:
    explicit Pages(TextControl* control) : tc(control), view(&layout, control) {
        auto* box = new QVBoxLayout(control);
        box->setContentsMargins(0, 0, 0, 0);
        box->addWidget(&view);
        control->setFocusProxy(&view);
        attachDocuments();
        layout.setPageFormat(tc->pageFormat());

        tc->pageLineLocator = [this](int pos) { return layout.pageAndLine(pos); };
        tc->positionLocator = [this](int page, int line, int column) {
            return layout.positionAt(page, line, column);
        };
        view.fieldAt = [this](int pos) { return int(tc->fieldAt(pos)); };
        view.fieldPointer = [this](int id) { return tc->fieldMousePointer(qint16(id)); };
        // Typing goes through the control, whose rules keep typed text out
        // of a field it only touches.
        view.insertText = [this](QTextCursor& cursor, const QString& text) {
            if (cursor.document() != tc->textCursor().document()) {
                cursor.insertText(text); // the view shows another part than the control edits
                return;
            }
            syncing = true;
            tc->setTextCursor(cursor);
            tc->setSelText(text);
            cursor = tc->textCursor();
            syncing = false;
        };

        QObject::connect(tc, &TextControl::documentReplaced, &view, [this] {
            attachDocuments();
            view.setTextCursor(tc->textCursor());
        });
        QObject::connect(tc, &TextControl::pageFormatChanged, &view,
                         [this] { layout.setPageFormat(tc->pageFormat()); });
        // One edited part: a header or footer entered in the view or
        // through the control is edited in both.
        QObject::connect(tc, &TextControl::headerFooterEditingChanged, &view, [this](int flag) {
            if (syncing || view.editedArea() == flag)
                return;
            syncing = true;
            view.editArea(flag);
            syncing = false;
        });
        QObject::connect(&view, &PageView::editedAreaChanged, &view, [this](int flag) {
            if (syncing || tc->editedHeaderFooter() == flag)
                return;
            syncing = true;
            tc->editHeaderFooter(flag);
            syncing = false;
        });
        // One caret: the view's and the control's move together.
        QObject::connect(tc, &TextControl::cursorPositionChanged, &view, [this] {
            if (!syncing && view.textCursor() != tc->textCursor()) {
                syncing = true;
                view.setTextCursor(tc->textCursor());
                syncing = false;
            }
        });
        auto fromView = [this] {
            if (!syncing && view.textCursor() != tc->textCursor() && !view.textCursor().isNull() &&
                view.textCursor().document() == tc->textCursor().document()) {
                syncing = true;
                tc->setTextCursor(view.textCursor());
                syncing = false;
            }
        };
        QObject::connect(&view, &PageView::cursorPositionChanged, &view, fromView);
        QObject::connect(&view, &PageView::selectionChanged, &view, fromView);
    }

    void attachDocuments() {
        layout.setDocument(tc->document());
        for (int flag : {hf::Header, hf::FirstPageHeader, hf::Footer, hf::FirstPageFooter})
            layout.setHeaderFooterDocument(flag, tc->headerFooterDocument(flag));
    }

    TextControl* tc;
    PageLayout layout;
    PageView view;
    QPainter* device = nullptr;
    qint16 viewMode = 2;
    qint16 printZoom = 100;
    bool syncing = false;
    QString lastPdfError;
};

TextControl::PagesHolder::PagesHolder(TextControl* control) : p(new Pages(control)) {}

TextControl::PagesHolder::~PagesHolder() {
    // The documents went with the control's body; only the view and layout
    // remain to be dropped.
    p->tc->pageLineLocator = nullptr;
    p->tc->positionLocator = nullptr;
    delete p;
}

qint16 TextControl::ViewMode() const {
    return m_pages.p->viewMode;
}

void TextControl::setViewMode(qint16 mode) {
    if (mode < 0 || mode > 2)
        wp::raise(err::InvalidProcedureCall, QStringLiteral("TextControl"));
    m_pages.p->viewMode = mode;
    m_pages.p->view.setDraft(mode != 2);
}

qint16 TextControl::PrintZoom() const {
    return m_pages.p->printZoom;
}

void TextControl::setPrintZoom(qint16 percent) {
    if (percent < 1 || percent > 1000)
        wp::raise(err::InvalidProcedureCall, QStringLiteral("TextControl"));
    m_pages.p->printZoom = percent;
}

QPainter* TextControl::PrintDevice() const {
    return m_pages.p->device;
}

void TextControl::setPrintDevice(QPainter* painter) {
    m_pages.p->device = painter;
}

void TextControl::PrintPage(qint32 page) {
    Pages& pg = *m_pages.p;
    if (!pg.device || !pg.device->isActive())
        wp::raise(err::ObjectNotSet, QStringLiteral("TextControl"),
                  QStringLiteral("PrintPage needs an active drawing device (PrintDevice)."));
    pg.layout.drawPage(pg.device, page, pg.printZoom);
}

qint32 TextControl::CurrentPages() const {
    return m_pages.p->layout.pageCount();
}

bool TextControl::exportPdf(const QString& fileName,
                            const std::function<void(qint32, qint32)>& progress) {
    Pages& pg = *m_pages.p;
    PdfSheets sheets(fileName);
    // Each page on its own paper: a section may have its own.
    if (!sheets.begin(sheetLayout(pageFormatOf(1)), 1200, documentProperty(info::Title))) {
        pg.lastPdfError = sheets.error();
        return false;
    }
    // A progress callback may throw (a cancel): the control keeps its own
    // device and zoom, and the sheets end their painter before the writer
    // goes.
    const auto restore = qScopeGuard([&pg, oldDevice = pg.device, oldZoom = pg.printZoom] {
        pg.device = oldDevice;
        pg.printZoom = oldZoom;
    });
    pg.device = &sheets.painter();
    pg.printZoom = 100;
    const int pages = CurrentPages();
    for (int page = 1; page <= pages; ++page) {
        if (page > 1)
            sheets.newPage(sheetLayout(pageFormatOf(page)));
        PrintPage(page);
        if (progress)
            progress(page, pages);
    }
    if (!sheets.finish()) {
        pg.lastPdfError = sheets.error();
        return false;
    }
    pg.lastPdfError.clear();
    return true;
}

PageFormat TextControl::pageFormatOf(qint32 page) const {
    return m_pages.p->layout.pageFormatOf(page);
}

QString TextControl::lastPdfError() const {
    return m_pages.p->lastPdfError;
}

double TextControl::viewZoom() const {
    return m_pages.p->view.zoom();
}

void TextControl::setViewZoom(double percent) {
    m_pages.p->view.setZoom(percent);
}

QWidget* TextControl::editView() const {
    return &m_pages.p->view;
}

} // namespace wp
