#pragma once
// Merging one job application into the text fields of a cover letter
// template, and the host's date pattern language the merge writes dates in.

#include "wp/KXml.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <functional>

namespace wp {
class TextControl;
}

namespace wp::modWP {

/// Field names filled from the clock instead of the job application.
inline const QString kCurrentDate = QStringLiteral("current_date");
inline const QString kCurrentTime = QStringLiteral("current_time");
inline const QString kFollowUpDate = QStringLiteral("followup_date");
inline const QString kFollowUpTime = QStringLiteral("followup_time");

/// The pattern of the named format "Medium Time": 12-hour clock, no seconds.
inline const QString kMediumTime = QStringLiteral("hh:mm AM/PM");

/// Colour of a field left without a value (a Windows colour value: pure red).
constexpr qint32 kMissingValueColor = 255;

/// Formats a date and time with a pattern of the host's options: d dd ddd
/// dddd (day, weekday names), m mm mmm mmmm (month; minutes right after an
/// hour), y (day of the year) yy yyyy, w (weekday, Sunday 1) ww (week, the
/// week of 1 January is week 1), q, h hh, n nn, s ss, AM/PM am/pm A/P a/p
/// AMPM (12-hour clock), "quoted" and \escaped literals; "/" and ":" become
/// the locale's date and time separators. Letters are not case-sensitive.
QString FormatDateTime(const QDateTime& when, const QString& pattern,
                       const QLocale& locale = QLocale::system());

/// The clock the merge reads "today" and "now" from; tests fix it. An empty
/// function restores the system clock.
void setClock(std::function<QDateTime()> clock);
QDateTime Now();

/// Replaces the visible text of every field of `tx` by the value of the job
/// application `kxmlFields` named by the field's data, or by the reserved
/// date and time values; a field without a value keeps its title, with
/// non-breaking spaces, in red. The date format is option "a08" of the
/// options document. Failures are reported and fail with error 65535.
void LoadJobAppTemplateFields(TextControl* tx, const KXmlRef& kxmlFields);

} // namespace wp::modWP
