#pragma once
// The inside of wp::Recordset, for cADO: filling it from a query and
// writing its pending changes back.

#include "data/DbSession.h"
#include "wp/Recordset.h"

#include <QHash>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace wp {

struct Recordset::Impl {
    enum class Status { Unchanged, Modified, New, Deleted };
    struct Row {
        std::vector<QVariant> values;
        std::vector<QVariant> original; // as read; empty for a new row
        Status status = Status::Unchanged;
    };

    qint32 state = ado::adStateClosed;
    qint32 cursorType = ado::adOpenForwardOnly;
    qint32 lockType = ado::adLockReadOnly;
    qint32 cursorLocation = ado::adUseServer;
    QString source;
    QStringList fields;
    QHash<QString, int> indexByName; // lower-cased names
    std::vector<Row> rows;
    qint64 pos = -1; // current row; -1 BOF, rows.size() EOF
    bool bof = true;
    bool eof = true;

    // Where changes go: the base table (its name as the database knows it)
    // and its key columns (all columns when the table has no primary key).
    QString table;
    QStringList keyFields;
    data::DbSessionPtr session; // held while the record set is connected

    /// Reads every row of an executed query; a statement without rows
    /// leaves the record set closed. False when reading failed midway.
    bool fill(QSqlQuery& query);
    /// Looks up the base table and its key for later writes.
    void describeTable(const data::DbSession& session);
    /// Values the database gave new rows (generated keys, defaults), by row.
    using Generated = std::vector<std::pair<size_t, std::vector<QVariant>>>;
    /// Writes every pending change through `session` (inside the caller's
    /// transaction); throws the classified failure. Returns the rows that
    /// new rows became in the database.
    Generated writeChanges(const data::DbSession& session) const;
    /// After a successful write: the pending changes (with what the
    /// database generated for new rows) become the rows as read.
    void acceptChanges(const Generated& generated = {});

    int fieldIndex(const QString& name) const; // throws adErrItemNotFound
    void requireOpen() const;
    Row& currentRow();
    const Row& currentRow() const;
    void settle(); // recompute bof/eof from pos
    bool visible(qint64 i) const { return rows[size_t(i)].status != Status::Deleted; }
};

} // namespace wp
