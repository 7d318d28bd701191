#include "data/SqlText.h"

#include <QRegularExpression>

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

QString translateTop(const QString& sql, Dialect dialect) {
    if (dialect == Dialect::SqlServer || dialect == Dialect::Other)
        return sql;
    static const QRegularExpression top(
        QStringLiteral(R"(^(\s*SELECT\s+(?:DISTINCT\s+)?)TOP\s+(\d+)\s+)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = top.match(sql);
    if (!m.hasMatch())
        return sql;
    QString rest = sql.mid(m.capturedEnd(0));
    // Keep the statement's own ending (blanks and ';') after the limit.
    qsizetype end = rest.size();
    while (end > 0 && (rest.at(end - 1).isSpace() || rest.at(end - 1) == u';'))
        --end;
    QString body = rest.left(end);
    const QString tail = rest.mid(end);
    const QString sep = body.isEmpty() || body.back().isSpace() ? QString() : QStringLiteral(" ");
    return m.captured(1) + body + sep + QStringLiteral("LIMIT ") + m.captured(2) + tail;
}

QString baseTable(const QString& sql) {
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
    if ((table.startsWith(u'[') && table.endsWith(u']')) ||
        (table.startsWith(u'"') && table.endsWith(u'"')))
        table = table.mid(1, table.size() - 2);
    return table;
}

} // namespace wp::data
