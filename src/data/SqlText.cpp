#include "data/SqlText.h"

#include "wp/Error.h"
#include "wp/Recordset.h"

#include <QRegularExpression>
#include <QStringList>

namespace wp::data {

QMap<QString, QString> parseConnectionString(const QString& connectionString) {
    QMap<QString, QString> out;
    // Values are inserted unescaped, so a ';' always ends a piece.
    const QStringList pieces = connectionString.split(u';', Qt::SkipEmptyParts);
    for (const QString& piece : pieces) {
        const qsizetype eq = piece.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = piece.left(eq).trimmed().toLower();
        QString value = piece.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(u'\'') && value.endsWith(u'\''))
            value = value.mid(1, value.size() - 2);
        out.insert(key, value);
    }
    return out;
}

QString withoutPassword(const QString& connectionString) {
    QStringList pieces = connectionString.split(u';');
    for (QString& piece : pieces) {
        const qsizetype eq = piece.indexOf(u'=');
        if (eq < 0 ||
            piece.left(eq).trimmed().compare(QLatin1String("password"), Qt::CaseInsensitive) != 0)
            continue;
        const QString rest = piece.mid(eq + 1);
        qsizetype k = 0;
        while (k < rest.size() && rest.at(k).isSpace())
            ++k;
        piece = piece.left(eq + 1) + rest.left(k) +
                (rest.mid(k).startsWith(u'\'') ? QStringLiteral("''") : QString());
    }
    return pieces.join(u';');
}

namespace {

[[noreturn]] void refuse(const QString& why, const QString& sql) {
    throw wp::Error(ado::DB_E_ERRORSINCOMMAND, QStringLiteral("wp.cADO"),
                    QStringLiteral("%1 cannot be translated for this database: %2").arg(why, sql));
}

// Positions in `sql` outside literals, quoted names and comments: where the
// statement's own text ends (before trailing blanks, ';' and comments), the
// first ';' that ends a statement, and where the leading comments end.
struct Extent {
    qsizetype start = 0;      // first character of the statement proper
    qsizetype end = 0;        // one past its last significant character
    qsizetype semicolon = -1; // first ';' outside literals and comments
};

Extent scan(const QString& sql) {
    Extent e;
    bool seen = false;
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = sql.at(i);
        if (c.isSpace()) {
            ++i;
        } else if (c == u'-' && i + 1 < n && sql.at(i + 1) == u'-') {
            while (i < n && sql.at(i) != u'\n')
                ++i;
        } else if (c == u'/' && i + 1 < n && sql.at(i + 1) == u'*') {
            const qsizetype close = sql.indexOf(QStringLiteral("*/"), i + 2);
            i = close < 0 ? n : close + 2;
        } else if (c == u';') {
            if (e.semicolon < 0)
                e.semicolon = i;
            ++i;
        } else {
            if (!seen)
                e.start = i;
            seen = true;
            if (c == u'\'' || c == u'"' || c == u'[') {
                const QChar close = c == u'[' ? QChar(u']') : c;
                qsizetype j = i + 1;
                while (j < n) {
                    if (sql.at(j) == close) {
                        if (close != u']' && j + 1 < n && sql.at(j + 1) == close) {
                            j += 2; // a doubled quote inside
                            continue;
                        }
                        break;
                    }
                    ++j;
                }
                i = std::min(n, j + 1);
            } else {
                ++i;
            }
            e.end = i;
        }
    }
    return e;
}

} // namespace

QString translateTop(const QString& sql, Dialect dialect) {
    if (dialect == Dialect::SqlServer || dialect == Dialect::Other)
        return sql;
    const Extent e = scan(sql);
    static const QRegularExpression select(
        QStringLiteral(R"(\G(SELECT\s+(?:(?:DISTINCT|ALL)\s+)?)TOP\b\s*)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = select.match(sql, e.start, QRegularExpression::NormalMatch,
                                                   QRegularExpression::AnchorAtOffsetMatchOption);
    if (!m.hasMatch())
        return sql;
    static const QRegularExpression count(
        QStringLiteral(R"(\G(?:\(\s*(\d+)\s*\)|(\d+)\b)\s*(PERCENT\b)?\s*(WITH\s+TIES\b)?\s*)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch n =
        count.match(sql, m.capturedEnd(0), QRegularExpression::NormalMatch,
                    QRegularExpression::AnchorAtOffsetMatchOption);
    if (!n.hasMatch())
        refuse(QStringLiteral("A TOP that is not a whole number"), sql);
    if (n.capturedLength(3) > 0)
        refuse(QStringLiteral("TOP n PERCENT"), sql);
    if (n.capturedLength(4) > 0)
        refuse(QStringLiteral("TOP n WITH TIES"), sql);
    if (e.semicolon >= 0 && e.semicolon < e.end)
        refuse(QStringLiteral("TOP in front of several statements"), sql);
    const QString limit = n.capturedLength(1) > 0 ? n.captured(1) : n.captured(2);
    return sql.left(e.start) + m.captured(1) + sql.mid(n.capturedEnd(0), e.end - n.capturedEnd(0)) +
           QStringLiteral(" LIMIT ") + limit + sql.mid(e.end);
}

QString baseTable(const QString& sql, bool* quoted) {
    static const QRegularExpression from(
        QStringLiteral(
            R"(^\s*SELECT\s.*?\sFROM\s+([A-Za-z_][A-Za-z0-9_.]*|\[[^\]]+\]|"[^"]+")\s*(.*)$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = from.match(sql);
    if (!m.hasMatch())
        return QString();
    const QString rest = m.captured(2).trimmed();
    static const QRegularExpression single(
        QStringLiteral(R"(^(;|$|(WHERE|ORDER|GROUP|HAVING|LIMIT)\b))"),
        QRegularExpression::CaseInsensitiveOption);
    if (!single.match(rest).hasMatch())
        return QString(); // an alias, a join or a second table: not updatable
    QString table = m.captured(1);
    const bool isQuoted = (table.startsWith(u'[') && table.endsWith(u']')) ||
                          (table.startsWith(u'"') && table.endsWith(u'"'));
    if (isQuoted)
        table = table.mid(1, table.size() - 2);
    if (quoted)
        *quoted = isQuoted;
    return table;
}

} // namespace wp::data
