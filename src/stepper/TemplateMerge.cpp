#include "stepper/TemplateMerge.h"

#include "core/modWP.h"
#include "errors/modvbCodeShieldSupport.h"
#include "wp/TextControl.h"

#include <QScopeGuard>
#include <QTextCursor>

namespace wp::modWP {

namespace {

std::function<QDateTime()>& clockHook() {
    static std::function<QDateTime()> clock;
    return clock;
}

// The locale's separator in its own short format: the first character that
// is neither a pattern letter nor a quote.
QChar separatorOf(const QString& format, QChar fallback) {
    for (const QChar c : format)
        if (!c.isLetter() && c != u'\'' && !c.isSpace())
            return c;
    return fallback;
}

int runLength(const QString& p, qsizetype i) {
    const QChar c = p.at(i).toLower();
    int n = 0;
    while (i + n < p.size() && p.at(i + n).toLower() == c)
        ++n;
    return n;
}

QString twoDigits(int v) {
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

// The AM/PM designators a pattern may hold, longest first.
struct Designator {
    const char* token;
    bool localeText; // AMPM: the locale's own texts
};
constexpr Designator kDesignators[] = {{"am/pm", false}, {"ampm", true}, {"a/p", false}};

const Designator* designatorAt(const QString& p, qsizetype i, qsizetype* length) {
    for (const Designator& d : kDesignators) {
        const QString t = QString::fromLatin1(d.token);
        if (p.mid(i, t.size()).compare(t, Qt::CaseInsensitive) == 0) {
            *length = t.size();
            return &d;
        }
    }
    return nullptr;
}

bool hasDesignator(const QString& p) {
    for (qsizetype i = 0; i < p.size(); ++i) {
        const QChar c = p.at(i);
        if (c == u'"') {
            const qsizetype end = p.indexOf(u'"', i + 1);
            i = end < 0 ? p.size() : end;
        } else if (c == u'\\') {
            ++i;
        } else {
            qsizetype len = 0;
            if (designatorAt(p, i, &len))
                return true;
        }
    }
    return false;
}

} // namespace

void setClock(std::function<QDateTime()> clock) {
    clockHook() = std::move(clock);
}

QDateTime Now() {
    return clockHook() ? clockHook()() : QDateTime::currentDateTime();
}

QString FormatDateTime(const QDateTime& when, const QString& p, const QLocale& locale) {
    const QDate date = when.date();
    const QTime time = when.time();
    const bool twelveHour = hasDesignator(p);
    const QChar dateSep = separatorOf(locale.dateFormat(QLocale::ShortFormat), u'/');
    const QChar timeSep = separatorOf(locale.timeFormat(QLocale::ShortFormat), u':');
    const int weekday0 = date.dayOfWeek() % 7; // Sunday 0
    QString out;
    bool afterHour = false; // "m" right after an hour is the minute
    for (qsizetype i = 0; i < p.size();) {
        const QChar c = p.at(i);
        const QChar lc = c.toLower();
        if (c == u'"') {
            const qsizetype end = p.indexOf(u'"', i + 1);
            out += p.mid(i + 1, (end < 0 ? p.size() : end) - i - 1);
            i = end < 0 ? p.size() : end + 1;
            continue;
        }
        if (c == u'\\') {
            if (i + 1 < p.size())
                out += p.at(i + 1);
            i += 2;
            continue;
        }
        if (c == u'/') {
            out += dateSep;
            ++i;
            continue;
        }
        if (c == u':') {
            out += timeSep;
            ++i;
            continue;
        }
        qsizetype designatorLength = 0;
        if (const Designator* d = designatorAt(p, i, &designatorLength)) {
            const bool pm = time.hour() >= 12;
            if (d->localeText) {
                out += pm ? locale.pmText() : locale.amText();
            } else {
                // The pattern's own letters, in its own case: "AM/PM", "am/pm", "A/P".
                const QString token = p.mid(i, designatorLength);
                const qsizetype slash = token.indexOf(u'/');
                out += pm ? token.mid(slash + 1) : token.left(slash);
            }
            i += designatorLength;
            afterHour = false;
            continue;
        }
        const int n = runLength(p, i);
        bool token = true;
        bool hourToken = false;
        if (lc == u'd') {
            if (n == 1)
                out += QString::number(date.day());
            else if (n == 2)
                out += twoDigits(date.day());
            else if (n == 3)
                out += locale.dayName(date.dayOfWeek(), QLocale::ShortFormat);
            else if (n == 4)
                out += locale.dayName(date.dayOfWeek(), QLocale::LongFormat);
            else if (n == 5)
                out += locale.toString(date, QLocale::ShortFormat);
            else
                out += locale.toString(date, QLocale::LongFormat);
        } else if (lc == u'm') {
            if (afterHour && n <= 2)
                out += n == 1 ? QString::number(time.minute()) : twoDigits(time.minute());
            else if (n == 1)
                out += QString::number(date.month());
            else if (n == 2)
                out += twoDigits(date.month());
            else if (n == 3)
                out += locale.monthName(date.month(), QLocale::ShortFormat);
            else
                out += locale.monthName(date.month(), QLocale::LongFormat);
        } else if (lc == u'y') {
            if (n == 1)
                out += QString::number(date.dayOfYear());
            else if (n < 4)
                out += twoDigits(date.year() % 100);
            else
                out += QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'));
        } else if (lc == u'w') {
            if (n == 1) {
                out += QString::number(weekday0 + 1);
            } else {
                // Week 1 is the week (Sunday to Saturday) that holds 1 January.
                const int jan1 = QDate(date.year(), 1, 1).dayOfWeek() % 7;
                out += QString::number((date.dayOfYear() - 1 + jan1) / 7 + 1);
            }
        } else if (lc == u'q') {
            out += QString::number((date.month() - 1) / 3 + 1);
        } else if (lc == u'h') {
            int hour = time.hour();
            if (twelveHour) {
                hour %= 12;
                if (hour == 0)
                    hour = 12;
            }
            out += n == 1 ? QString::number(hour) : twoDigits(hour);
            hourToken = true;
        } else if (lc == u'n') {
            out += n == 1 ? QString::number(time.minute()) : twoDigits(time.minute());
        } else if (lc == u's') {
            out += n == 1 ? QString::number(time.second()) : twoDigits(time.second());
        } else if (lc == u't' && n >= 5) {
            out += locale.toString(time, QLocale::LongFormat);
        } else if (lc == u'c' && n == 1) {
            out += locale.toString(date, QLocale::ShortFormat);
            if (time != QTime(0, 0))
                out += u' ' + locale.toString(time, QLocale::LongFormat);
        } else {
            token = false;
        }
        if (token) {
            afterHour = hourToken;
            i += n;
        } else {
            out += c; // anything else stands for itself
            ++i;
        }
    }
    return out;
}

void LoadJobAppTemplateFields(TextControl* tx, const KXmlRef& kxmlFields) {
    QString sDateFormat;
    QString sFieldName;
    QString sFieldTitle;
    QString sFieldText;
    QVariant dtmFollowUpDate;
    qint32 lngFieldID = 0;
    modvbCodeShieldSupport::Guard g("modWP", "LoadJobAppTemplateFields");
    g.local(QStringLiteral("sDateFormat"), sDateFormat)
        .local(QStringLiteral("sFieldName"), sFieldName)
        .local(QStringLiteral("sFieldTitle"), sFieldTitle)
        .local(QStringLiteral("sFieldText"), sFieldText)
        .local(QStringLiteral("dtmFollowUpDate"), dtmFollowUpDate)
        .local(QStringLiteral("lngFieldID"), lngFieldID)
        .param(QStringLiteral("tx"), tx)
        .param(QStringLiteral("kxmlFields"), kxmlFields);
    g.run([&] {
        if (!g_kxmlOptions)
            raise(err::ObjectNotSet);
        const KXmlRef option = g_kxmlOptions->FindByAttribute(
            nullptr, QStringLiteral("option"), QStringLiteral("sort"), QStringLiteral("a08"));
        if (!option)
            raise(err::ObjectNotSet, QStringLiteral("wp"),
                  QStringLiteral("The options hold no date format (option \"a08\")."));
        sDateFormat = option->Text();
        if (!tx)
            raise(err::ObjectNotSet);

        // One edit block around the walk: the document is laid out once at
        // its end, not once for every field.
        QTextCursor block(tx->document());
        block.beginEditBlock();
        auto endBlock = qScopeGuard([&block] { block.endEditBlock(); });

        lngFieldID = tx->FieldNext(0, 0);
        while (lngFieldID != 0) {
            sFieldText.clear();
            tx->setFieldCurrent(qint16(lngFieldID));
            sFieldName = tx->FieldData(qint16(lngFieldID));
            sFieldTitle = tx->FieldText();
            if (sFieldName == kCurrentDate) {
                tx->setFieldText(FormatDateTime(Now(), sDateFormat));
            } else if (sFieldName == kCurrentTime || sFieldName == kFollowUpTime) {
                tx->setFieldText(FormatDateTime(Now(), kMediumTime));
            } else if (sFieldName == kFollowUpDate) {
                const QDateTime followUp = Now().addDays(7);
                dtmFollowUpDate = followUp;
                tx->setFieldText(FormatDateTime(followUp, sDateFormat));
            } else {
                if (!kxmlFields)
                    raise(err::ObjectNotSet);
                sFieldText = kxmlFields->ChildValue(sFieldName);
                if (!sFieldText.isEmpty()) {
                    tx->setFieldText(sFieldText);
                } else {
                    // The gap stays visible: its title, kept on one line, in red.
                    sFieldTitle.replace(QChar(32), QChar(160));
                    tx->setFormatSelection(true);
                    tx->setFieldText(sFieldTitle);
                    tx->setSelStart(tx->FieldStart() - 1);
                    tx->setSelLength(qint32(sFieldTitle.size()));
                    tx->setForeColor(kMissingValueColor);
                    tx->setSelLength(0);
                }
            }
            lngFieldID = tx->FieldNext(tx->FieldCurrent(), 0);
        }
    });
}

} // namespace wp::modWP
