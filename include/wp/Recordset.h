#pragma once
// A record set as the database class hands it out: the rows of one query,
// held on the client, with a current-row cursor and change tracking so that
// edits can be written back later through cADO.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QtGlobal>
#include <memory>
#include <vector>

namespace wp {

/// The data-access constants and error numbers, under their documented names.
namespace ado {
// Cursor location.
constexpr qint32 adUseServer = 2;
constexpr qint32 adUseClient = 3;
// Cursor type.
constexpr qint32 adOpenUnspecified = -1;
constexpr qint32 adOpenForwardOnly = 0;
constexpr qint32 adOpenKeyset = 1;
constexpr qint32 adOpenDynamic = 2;
constexpr qint32 adOpenStatic = 3;
// Lock type.
constexpr qint32 adLockUnspecified = -1;
constexpr qint32 adLockReadOnly = 1;
constexpr qint32 adLockPessimistic = 2;
constexpr qint32 adLockOptimistic = 3;
constexpr qint32 adLockBatchOptimistic = 4;
// Command type, batch scope, object state, connection mode.
constexpr qint32 adCmdStoredProc = 4;
constexpr qint32 adAffectAll = 3;
constexpr qint32 adStateClosed = 0;
constexpr qint32 adStateOpen = 1;
constexpr qint32 adModeShareDenyNone = 16;

// Provider failures, as signed 32-bit numbers.
/// Unspecified failure: a busy or locked database, a lost connection.
constexpr qint32 E_FAIL = -2147467259; // 0x80004005
/// The login was refused.
constexpr qint32 DB_SEC_E_AUTH_FAILED = -2147217843; // 0x80040E4D
/// The account may not do this (a write through the read-only account).
constexpr qint32 DB_SEC_E_PERMISSIONDENIED = -2147217911; // 0x80040E09
/// A constraint was violated.
constexpr qint32 DB_E_INTEGRITYVIOLATION = -2147217873; // 0x80040E2F
/// The statement failed (syntax, missing table or column, ...).
constexpr qint32 DB_E_ERRORSINCOMMAND = -2147217900; // 0x80040E14
/// The statement outlasted the command time-out.
constexpr qint32 DB_E_ABORTLIMITREACHED = -2147217871; // 0x80040E31
/// A changed row is no longer in the database as it was read.
constexpr qint32 DB_E_CONCURRENCYVIOLATION = -2147217864; // 0x80040E38
/// The database or workgroup file does not exist.
constexpr qint32 STG_E_FILENOTFOUND = -2147287038; // 0x80030002
/// The file is not a database.
constexpr qint32 STG_E_INVALIDHEADER = -2147286789; // 0x800300FB

// Record set failures (the runtime's numbers).
/// No current record (BOF or EOF, or the row was deleted).
constexpr qint32 adErrNoCurrentRecord = 3021;
/// No field of that name or position.
constexpr qint32 adErrItemNotFound = 3265;
/// The record set cannot be changed (read-only lock, no base table).
constexpr qint32 adErrFeatureNotAvailable = 3251;
/// The record set is closed.
constexpr qint32 adErrObjectClosed = 3704;
} // namespace ado

class Recordset;
/// A record set handle; a null pointer is "Nothing".
using RecordsetRef = std::shared_ptr<Recordset>;

class Recordset {
public:
    /// A closed record set without rows.
    Recordset();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    /// ado::adStateOpen once rows were read, else ado::adStateClosed (a
    /// statement that returns no rows leaves the record set closed).
    qint32 State() const;
    qint32 CursorType() const;
    qint32 LockType() const;
    qint32 CursorLocation() const;
    /// The query the rows came from.
    QString Source() const;
    /// The connection string while the record set holds a connection, with
    /// its password left out; empty once it is detached.
    QString ActiveConnection() const;

    /// Before the first row (also true when there are no rows).
    bool BOF() const;
    /// After the last row (ADO's EOF; that name is a C macro).
    bool EOF_() const;
    /// Number of rows, deleted ones not counted.
    qint32 RecordCount() const;
    void MoveFirst();
    void MoveNext();
    void MovePrevious();
    void MoveLast();

    qint32 FieldCount() const;
    /// Name of field `index` (from 0), as the database reported it.
    QString FieldName(qint32 index) const;
    /// Whether a field of that name exists (names compare without case).
    bool HasField(const QString& name) const;
    /// Value of a field of the current row; a NULL is an invalid QVariant.
    QVariant Value(const QString& name) const;
    /// Whether the field of the current row is NULL.
    bool IsNull(const QString& name) const;
    /// The field as text; NULL reads as empty text.
    QString Text(const QString& name) const;

    /// Changes a field of the current row (pending until saved).
    void setValue(const QString& name, const QVariant& value);
    /// Appends a new row and makes it current.
    void AddNew();
    /// Marks the current row deleted (pending until saved).
    void Delete();
    /// Number of rows with changes not yet saved.
    qint32 PendingCount() const;
    /// Drops every pending change.
    void CancelBatch();
    /// Releases the rows and any connection.
    void Close();

    struct Impl;
    Impl& impl() { return *d; }
    const Impl& impl() const { return *d; }

private:
    std::unique_ptr<Impl> d;
};

} // namespace wp
