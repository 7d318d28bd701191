#include "stepper/StepperBatch.h"

#include "document/PdfSheets.h"

#include "stepper/TemplateMerge.h"
#include "wp/TextControl.h"

#include <QDir>
#include <QScopeGuard>

namespace wp::stepper {

namespace {
// Runs `each` on the letter of every step, merged into a fresh copy of the
// template; stops at the first letter `each` refuses.
template <class Each>
BatchResult forEachLetter(const TextControl& templ, const KXmlRef& steps, const Progress& progress,
                          Each&& each) {
    BatchResult r;
    const QByteArray source = templ.SaveToMemory(fmt::Native, false);
    const qint32 count = steps ? steps->ChildCount() : 0;
    TextControl letter;
    for (qint32 k = 1; k <= count; ++k) {
        if (!letter.LoadFromMemory(source, fmt::Native, false)) {
            r.error = letter.lastError();
            return r;
        }
        modWP::LoadJobAppTemplateFields(&letter, steps->ChildAt(k - 1));
        if (!each(letter, k, r))
            return r;
        ++r.letters;
        if (progress)
            progress(k, count);
    }
    r.ok = true;
    return r;
}
} // namespace

QList<LetterGaps> MissingValues(const TextControl& templ, const KXmlRef& steps) {
    QList<LetterGaps> gaps;
    TextControl copy;
    if (!copy.LoadFromMemory(templ.SaveToMemory(fmt::Native, false), fmt::Native, false))
        return gaps;
    // The fields the job application fills: the clock's are always filled.
    QList<std::pair<QString, QString>> fields; // data name, title
    for (qint16 id = copy.FieldNext(0, 0); id != 0; id = copy.FieldNext(id, 0)) {
        const QString name = copy.FieldData(id);
        if (name == modWP::kCurrentDate || name == modWP::kCurrentTime ||
            name == modWP::kFollowUpDate || name == modWP::kFollowUpTime)
            continue;
        copy.setFieldCurrent(id);
        QString title = copy.FieldText().trimmed();
        fields.append({name, title.isEmpty() ? name : title});
    }
    const qint32 count = steps ? steps->ChildCount() : 0;
    for (qint32 k = 1; k <= count; ++k) {
        const KXmlRef app = steps->ChildAt(k - 1);
        LetterGaps letter{k, {}};
        for (const auto& [name, title] : fields)
            if ((!app || app->ChildValue(name).isEmpty()) && !letter.titles.contains(title))
                letter.titles << title;
        if (!letter.titles.isEmpty())
            gaps << letter;
    }
    return gaps;
}

BatchResult MergeToPdf(const TextControl& templ, const KXmlRef& steps, const QString& pdfPath,
                       const Progress& progress) {
    PdfSheets sheets(pdfPath);
    if (!sheets.begin(sheetLayout(templ.pageFormat()), 1200, QString())) {
        BatchResult r;
        r.error = sheets.error();
        return r;
    }
    BatchResult r = forEachLetter(
        templ, steps, progress, [&](TextControl& letter, qint32, BatchResult& result) {
            // Unset on every way out: a throwing
            // progress callback included.
            const auto unset = qScopeGuard([&letter] { letter.setPrintDevice(nullptr); });
            letter.setPrintDevice(&sheets.painter());
            letter.setPrintZoom(100);
            const qint32 pages = letter.CurrentPages();
            for (qint32 p = 1; p <= pages; ++p) {
                if (result.pages > 0)
                    sheets.newPage();
                letter.PrintPage(p);
                ++result.pages;
            }
            return true;
        });
    if (r.ok && !sheets.finish()) {
        r.ok = false;
        r.error = sheets.error();
    }
    return r;
}

BatchResult MergeToRtf(const TextControl& templ, const KXmlRef& steps, const QString& dir,
                       const Progress& progress) {
    return MergeToFiles(templ, steps, dir, fmt::Rtf, progress);
}

BatchResult MergeToFiles(const TextControl& templ, const KXmlRef& steps, const QString& dir,
                         int format, const Progress& progress) {
    if (!QDir().mkpath(dir)) {
        BatchResult r;
        r.error = QStringLiteral("Cannot create the folder \"%1\".").arg(dir);
        return r;
    }
    const QString extension = format == fmt::Docx ? QStringLiteral("docx") : QStringLiteral("rtf");
    return forEachLetter(
        templ, steps, progress, [&](TextControl& letter, qint32 k, BatchResult& result) {
            const QString file = QDir(dir).filePath(
                QStringLiteral("%1.%2").arg(k, 3, 10, QLatin1Char('0')).arg(extension));
            if (!letter.SaveToFile(file, format)) {
                result.error = letter.lastError();
                return false;
            }
            result.pages += letter.CurrentPages();
            return true;
        });
}

} // namespace wp::stepper
