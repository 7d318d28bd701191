#include "wp/Recordset.h"

#include "data/AdoError.h"
#include "data/RecordsetImpl.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlRecord>

namespace wp {

using data::raiseRecordset;

Recordset::Recordset() : d(std::make_unique<Impl>()) {}
Recordset::~Recordset() = default;

// --- Impl ---

bool Recordset::Impl::fill(QSqlQuery& query) {
    if (!query.isSelect()) {
        state = ado::adStateClosed;
        return true;
    }
    const QSqlRecord rec = query.record();
    const int n = rec.count();
    fields.clear();
    indexByName.clear();
    for (int i = 0; i < n; ++i) {
        fields << rec.fieldName(i);
        indexByName.insert(rec.fieldName(i).toLower(), i);
    }
    rows.clear();
    while (query.next()) {
        Row row;
        row.values.reserve(size_t(n));
        for (int i = 0; i < n; ++i)
            row.values.push_back(query.isNull(i) ? QVariant() : query.value(i));
        row.original = row.values;
        rows.push_back(std::move(row));
    }
    if (query.lastError().isValid())
        return false;
    state = ado::adStateOpen;
    pos = rows.empty() ? -1 : 0;
    bof = eof = rows.empty();
    return true;
}

void Recordset::Impl::describeTable(const data::DbSession& s) {
    bool quoted = false;
    table = data::baseTable(source, &quoted);
    keyFields.clear();
    if (table.isEmpty())
        return;
    // PostgreSQL keeps an unquoted name in lower case.
    if (!quoted && s.dialect() == data::Dialect::PostgreSQL)
        table = table.toLower();
    QSqlIndex pk = s.db().primaryIndex(table);
    if (pk.isEmpty())
        pk = s.db().primaryIndex(table.toLower());
    for (int i = 0; i < pk.count(); ++i) {
        const QString name = pk.fieldName(i);
        if (!indexByName.contains(name.toLower())) {
            keyFields.clear(); // key not among the columns read: compare everything
            break;
        }
        keyFields << fields.at(indexByName.value(name.toLower()));
    }
}

Recordset::Impl::Generated Recordset::Impl::writeChanges(const data::DbSession& s) const {
    if (lockType == ado::adLockReadOnly || table.isEmpty())
        raiseRecordset(ado::adErrFeatureNotAvailable);
    // Names go out quoted, so that spaces and reserved words survive.
    const QSqlDriver* driver = s.db().driver();
    const QString tableSql = driver->escapeIdentifier(table, QSqlDriver::TableName);
    auto name = [&](const QString& field) {
        return driver->escapeIdentifier(field, QSqlDriver::FieldName);
    };
    const QStringList& keys = keyFields.isEmpty() ? fields : keyFields;
    auto where = [&](const Row& row, QVariantList& values) {
        QStringList parts;
        for (const QString& k : keys) {
            const QVariant& v = row.original[size_t(indexByName.value(k.toLower()))];
            if (v.isValid()) {
                parts << name(k) + QStringLiteral(" = ?");
                values << v;
            } else {
                parts << name(k) + QStringLiteral(" IS NULL");
            }
        }
        return QStringLiteral(" WHERE ") + parts.join(QStringLiteral(" AND "));
    };
    auto expectOne = [](const QSqlQuery& q) {
        if (q.numRowsAffected() != 1)
            data::raiseAdo(ado::DB_E_CONCURRENCYVIOLATION, QStringLiteral("ADODB.Recordset"),
                           QStringLiteral("Row cannot be located for updating. Some values may "
                                          "have been changed since it was last read."));
    };
    // A new row is read back as stored (its generated key above all), so
    // that it can be changed or deleted later through this record set.
    QStringList returned;
    for (const QString& f : fields)
        returned << name(f);
    const data::Dialect dialect = s.dialect();
    const bool returning = dialect == data::Dialect::SQLite || dialect == data::Dialect::PostgreSQL;
    const QString output =
        dialect == data::Dialect::SqlServer
            ? QStringLiteral(" OUTPUT INSERTED.") + returned.join(QStringLiteral(", INSERTED."))
            : QString();
    Generated generated;
    for (size_t r = 0; r < rows.size(); ++r) {
        const Row& row = rows[r];
        QVariantList values;
        switch (row.status) {
        case Status::Unchanged:
            break;
        case Status::Modified: {
            QStringList sets;
            for (size_t i = 0; i < row.values.size(); ++i) {
                const QVariant& now = row.values[i];
                const QVariant& was = row.original[i];
                if (now.isValid() == was.isValid() && now == was)
                    continue;
                sets << name(fields.at(int(i))) + QStringLiteral(" = ?");
                values << now;
            }
            if (sets.isEmpty())
                break;
            const QString sql = QStringLiteral("UPDATE ") + tableSql + QStringLiteral(" SET ") +
                                sets.join(QStringLiteral(", ")) + where(row, values);
            expectOne(s.execRaw(sql, values));
            break;
        }
        case Status::New: {
            QStringList cols, marks;
            for (size_t i = 0; i < row.values.size(); ++i) {
                if (!row.values[i].isValid())
                    continue;
                cols << name(fields.at(int(i)));
                marks << QStringLiteral("?");
                values << row.values[i];
            }
            QString sql = QStringLiteral("INSERT INTO ") + tableSql;
            if (cols.isEmpty())
                sql += output + QStringLiteral(" DEFAULT VALUES");
            else
                sql += QStringLiteral(" (") + cols.join(QStringLiteral(", ")) + u')' + output +
                       QStringLiteral(" VALUES (") + marks.join(QStringLiteral(", ")) + u')';
            if (returning)
                sql += QStringLiteral(" RETURNING ") + returned.join(QStringLiteral(", "));
            QSqlQuery q = s.execRaw(sql, values);
            if ((returning || !output.isEmpty()) && q.next()) {
                std::vector<QVariant> stored(row.values.size());
                for (size_t i = 0; i < stored.size(); ++i)
                    stored[i] = q.isNull(int(i)) ? QVariant() : q.value(int(i));
                generated.emplace_back(r, std::move(stored));
            } else if (keyFields.size() == 1) {
                // Elsewhere the driver's last key is the best there is.
                const QVariant id = q.lastInsertId();
                if (id.isValid()) {
                    std::vector<QVariant> stored = row.values;
                    stored[size_t(indexByName.value(keyFields.first().toLower()))] = id;
                    generated.emplace_back(r, std::move(stored));
                }
            }
            break;
        }
        case Status::Deleted: {
            if (row.original.empty())
                break; // added and deleted before any save
            const QString sql = QStringLiteral("DELETE FROM ") + tableSql + where(row, values);
            expectOne(s.execRaw(sql, values));
            break;
        }
        }
    }
    return generated;
}

void Recordset::Impl::acceptChanges(const Generated& generated) {
    for (const auto& [r, stored] : generated)
        if (r < rows.size() && rows[r].status == Status::New)
            rows[r].values = stored;
    std::vector<Row> kept;
    kept.reserve(rows.size());
    qint64 newPos = -1;
    for (qint64 i = 0; i < qint64(rows.size()); ++i) {
        Row& row = rows[size_t(i)];
        if (row.status == Status::Deleted)
            continue;
        if (i == pos)
            newPos = qint64(kept.size());
        row.original = row.values;
        row.status = Status::Unchanged;
        kept.push_back(std::move(row));
    }
    rows = std::move(kept);
    if (newPos < 0)
        newPos = rows.empty() ? -1 : 0;
    pos = newPos;
    settle();
}

void Recordset::Impl::requireOpen() const {
    if (state != ado::adStateOpen)
        raiseRecordset(ado::adErrObjectClosed);
}

int Recordset::Impl::fieldIndex(const QString& name) const {
    requireOpen();
    const auto it = indexByName.constFind(name.toLower());
    if (it == indexByName.constEnd())
        raiseRecordset(ado::adErrItemNotFound);
    return it.value();
}

Recordset::Impl::Row& Recordset::Impl::currentRow() {
    requireOpen();
    if (bof || eof || pos < 0 || pos >= qint64(rows.size()) || !visible(pos))
        raiseRecordset(ado::adErrNoCurrentRecord);
    return rows[size_t(pos)];
}

const Recordset::Impl::Row& Recordset::Impl::currentRow() const {
    return const_cast<Impl*>(this)->currentRow();
}

void Recordset::Impl::settle() {
    bool any = false;
    for (qint64 i = 0; i < qint64(rows.size()) && !any; ++i)
        any = visible(i);
    if (!any) {
        bof = eof = true;
        return;
    }
    bof = pos < 0;
    eof = pos >= qint64(rows.size());
}

// --- public members ---

qint32 Recordset::State() const {
    return d->state;
}
qint32 Recordset::CursorType() const {
    return d->cursorType;
}
qint32 Recordset::LockType() const {
    return d->lockType;
}
qint32 Recordset::CursorLocation() const {
    return d->cursorLocation;
}
QString Recordset::Source() const {
    return d->source;
}
QString Recordset::ActiveConnection() const {
    return d->session ? d->session->connectionString() : QString();
}

bool Recordset::BOF() const {
    d->requireOpen();
    return d->bof;
}

bool Recordset::EOF_() const {
    d->requireOpen();
    return d->eof;
}

qint32 Recordset::RecordCount() const {
    d->requireOpen();
    qint32 n = 0;
    for (qint64 i = 0; i < qint64(d->rows.size()); ++i)
        n += d->visible(i) ? 1 : 0;
    return n;
}

void Recordset::MoveFirst() {
    d->requireOpen();
    qint64 i = 0;
    while (i < qint64(d->rows.size()) && !d->visible(i))
        ++i;
    d->pos = i < qint64(d->rows.size()) ? i : -1;
    d->settle();
    if (d->pos < 0)
        d->bof = d->eof = true;
}

void Recordset::MoveLast() {
    d->requireOpen();
    qint64 i = qint64(d->rows.size()) - 1;
    while (i >= 0 && !d->visible(i))
        --i;
    d->pos = i;
    d->settle();
    if (d->pos < 0)
        d->bof = d->eof = true;
}

void Recordset::MoveNext() {
    d->requireOpen();
    if (d->eof)
        raiseRecordset(ado::adErrNoCurrentRecord);
    qint64 i = d->pos + 1;
    while (i < qint64(d->rows.size()) && !d->visible(i))
        ++i;
    d->pos = i;
    d->settle();
}

void Recordset::MovePrevious() {
    d->requireOpen();
    if (d->bof)
        raiseRecordset(ado::adErrNoCurrentRecord);
    qint64 i = d->pos - 1;
    while (i >= 0 && !d->visible(i))
        --i;
    d->pos = i;
    d->settle();
}

qint32 Recordset::FieldCount() const {
    d->requireOpen();
    return qint32(d->fields.size());
}

QString Recordset::FieldName(qint32 index) const {
    d->requireOpen();
    if (index < 0 || index >= d->fields.size())
        raiseRecordset(ado::adErrItemNotFound);
    return d->fields.at(index);
}

bool Recordset::HasField(const QString& name) const {
    return d->state == ado::adStateOpen && d->indexByName.contains(name.toLower());
}

QVariant Recordset::Value(const QString& name) const {
    const int i = d->fieldIndex(name);
    return d->currentRow().values[size_t(i)];
}

bool Recordset::IsNull(const QString& name) const {
    return !Value(name).isValid();
}

QString Recordset::Text(const QString& name) const {
    return Value(name).toString();
}

void Recordset::setValue(const QString& name, const QVariant& value) {
    const int i = d->fieldIndex(name);
    if (d->lockType == ado::adLockReadOnly)
        raiseRecordset(ado::adErrFeatureNotAvailable);
    Impl::Row& row = d->currentRow();
    // A typed null (QVariant(QMetaType)) is a database NULL too; an empty
    // text is not.
    if (value.isNull())
        row.values[size_t(i)] = QVariant();
    else if (value.metaType().id() == QMetaType::QString && value.toString().isNull())
        row.values[size_t(i)] = QVariant(QStringLiteral("")); // drivers bind a null QString as NULL
    else
        row.values[size_t(i)] = value;
    if (row.status == Impl::Status::Unchanged)
        row.status = Impl::Status::Modified;
}

void Recordset::AddNew() {
    d->requireOpen();
    if (d->lockType == ado::adLockReadOnly)
        raiseRecordset(ado::adErrFeatureNotAvailable);
    Impl::Row row;
    row.values.resize(size_t(d->fields.size()));
    row.status = Impl::Status::New;
    d->rows.push_back(std::move(row));
    d->pos = qint64(d->rows.size()) - 1;
    d->settle();
}

void Recordset::Delete() {
    if (d->lockType == ado::adLockReadOnly && d->state == ado::adStateOpen)
        raiseRecordset(ado::adErrFeatureNotAvailable);
    d->currentRow().status = Impl::Status::Deleted;
}

qint32 Recordset::PendingCount() const {
    qint32 n = 0;
    for (const Impl::Row& row : d->rows)
        n += row.status != Impl::Status::Unchanged ? 1 : 0;
    return n;
}

void Recordset::CancelBatch() {
    std::vector<Impl::Row> kept;
    for (Impl::Row& row : d->rows) {
        if (row.status == Impl::Status::New)
            continue;
        row.values = row.original;
        row.status = Impl::Status::Unchanged;
        kept.push_back(std::move(row));
    }
    d->rows = std::move(kept);
    d->pos = d->rows.empty() ? -1 : std::min<qint64>(d->pos, qint64(d->rows.size()) - 1);
    d->settle();
}

void Recordset::Close() {
    d->requireOpen();
    d->session.reset();
    d->rows.clear();
    d->fields.clear();
    d->indexByName.clear();
    d->state = ado::adStateClosed;
    d->pos = -1;
    d->bof = d->eof = true;
}

} // namespace wp
