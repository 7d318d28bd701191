// Recordset: the cursor, field values and change tracking of the rows a
// query hands out, read from a real embedded database.
#include "test_cADO_support.h"

using wp::cADO;
using wp::RecordsetRef;
namespace ado = wp::ado;
using namespace wptest;

namespace {

class RecordsetTest : public ::testing::Test {
protected:
    void SetUp() override {
        DirectConnection db(dir.mdb());
        ASSERT_EQ(db.exec({QStringLiteral(
                      "INSERT INTO tblJobApplications (strCompany, strPosition, strStatus, "
                      "dtmCreated, memDraftCoverLetter) VALUES "
                      "('Northwind Traders', 'Accountant', NULL, '2024-01-01 09:00:00', ''),"
                      "('Fabrikam', 'Engineer', 'Sent', '2024-01-02 09:00:00', NULL),"
                      "('Coho Winery', 'Manager', 'Draft', '2024-01-03 09:00:00', "
                      "'<job_app/>')")}),
                  QString());
        ado.setDbname(dir.mdb());
    }
    RecordsetRef all(qint32 lock = ado::adLockBatchOptimistic) {
        return ado.GetRS(QStringLiteral("SELECT * FROM tblJobApplications ORDER BY "
                                        "lngJobApplicationID"),
                         ado::adOpenStatic, lock, ado::adUseClient);
    }
    DataDir dir;
    cADO ado;
};

} // namespace

TEST_F(RecordsetTest, cursorWalksFromBofToEofAndNullIsNotEmptyText) {
    RecordsetRef rs = all(ado::adLockReadOnly);
    EXPECT_EQ(rs->State(), ado::adStateOpen);
    EXPECT_FALSE(rs->BOF());
    EXPECT_EQ(rs->RecordCount(), 3);
    QStringList seen;
    for (rs->MoveFirst(); !rs->EOF_(); rs->MoveNext())
        seen << rs->Text(QStringLiteral("strCompany"));
    EXPECT_EQ(seen, (QStringList{QStringLiteral("Northwind Traders"), QStringLiteral("Fabrikam"),
                                 QStringLiteral("Coho Winery")}));
    EXPECT_EQ(errorOf([&] { rs->MoveNext(); }).number, ado::adErrNoCurrentRecord);
    EXPECT_EQ(errorOf([&] { rs->Value(QStringLiteral("strCompany")); }).number,
              ado::adErrNoCurrentRecord);
    rs->MoveLast();
    rs->MovePrevious();
    EXPECT_EQ(rs->Text(QStringLiteral("STRCOMPANY")), QStringLiteral("Fabrikam")); // no case
    rs->MovePrevious();
    rs->MovePrevious();
    EXPECT_TRUE(rs->BOF());
    EXPECT_EQ(errorOf([&] { rs->MovePrevious(); }).number, ado::adErrNoCurrentRecord);

    RecordsetRef none = ado.GetRS(QStringLiteral("SELECT * FROM tblJobApplications WHERE 1 = 0"), 0,
                                  ado::adLockReadOnly, ado::adUseClient);
    EXPECT_TRUE(none->BOF() && none->EOF_());
    EXPECT_EQ(none->FieldCount(), 6); // the columns are known without rows
    none->MoveFirst();
    EXPECT_TRUE(none->EOF_());

    // Null is not empty text.
    rs->MoveFirst();
    EXPECT_TRUE(rs->IsNull(QStringLiteral("strStatus")));
    EXPECT_FALSE(rs->Value(QStringLiteral("strStatus")).isValid());
    EXPECT_EQ(rs->Text(QStringLiteral("strStatus")), QString()); // reads as empty text
    EXPECT_FALSE(rs->IsNull(QStringLiteral("memDraftCoverLetter")));
    EXPECT_EQ(rs->Text(QStringLiteral("memDraftCoverLetter")), QString());
    rs->MoveNext();
    EXPECT_TRUE(rs->IsNull(QStringLiteral("memDraftCoverLetter")));
    EXPECT_EQ(errorOf([&] { rs->Value(QStringLiteral("nosuch")); }).number, ado::adErrItemNotFound);
    EXPECT_EQ(errorOf([&] { rs->FieldName(6); }).number, ado::adErrItemNotFound);
    EXPECT_FALSE(rs->HasField(QStringLiteral("nosuch")));
    EXPECT_TRUE(rs->HasField(QStringLiteral("dtmcreated")));

    rs->Close();
    EXPECT_EQ(rs->State(), ado::adStateClosed);
    EXPECT_EQ(errorOf([&] { rs->BOF(); }).number, ado::adErrObjectClosed);
    // A statement without rows gives a closed record set.
    RecordsetRef closed = ado.GetRS(QStringLiteral("DELETE FROM tblVersion WHERE 1 = 0"), 0,
                                    ado::adLockOptimistic, ado::adUseClient);
    EXPECT_EQ(closed->State(), ado::adStateClosed);
    EXPECT_EQ(errorOf([&] { closed->MoveFirst(); }).number, ado::adErrObjectClosed);
}

TEST_F(RecordsetTest, changesArePendingUntilSavedOrCancelled) {
    RecordsetRef rs = all();
    rs->MoveFirst();
    rs->setValue(QStringLiteral("strStatus"), QStringLiteral("Offer"));
    rs->setValue(QStringLiteral("memDraftCoverLetter"), QVariant()); // '' becomes NULL
    rs->MoveNext();
    rs->Delete();
    EXPECT_EQ(rs->RecordCount(), 2);
    rs->MoveNext(); // past the deleted row
    EXPECT_EQ(rs->Text(QStringLiteral("strCompany")), QStringLiteral("Coho Winery"));
    rs->AddNew();
    EXPECT_TRUE(rs->IsNull(QStringLiteral("strCompany")));
    rs->setValue(QStringLiteral("strCompany"), QStringLiteral("Litware"));
    EXPECT_EQ(rs->PendingCount(), 3);

    rs->CancelBatch();
    EXPECT_EQ(rs->PendingCount(), 0);
    EXPECT_EQ(rs->RecordCount(), 3);
    rs->MoveFirst();
    EXPECT_TRUE(rs->IsNull(QStringLiteral("strStatus")));

    // Saved, empty text stays text.
    rs->setValue(QStringLiteral("strStatus"), QStringLiteral("Offer"));
    rs->setValue(QStringLiteral("strPosition"), QString());
    EXPECT_TRUE(ado.SaveBatchRecord(rs));
    DirectConnection db(dir.mdb());
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT strStatus || '|' || strPosition || '|' || "
                                       "typeof(strPosition) FROM tblJobApplications WHERE "
                                       "lngJobApplicationID = 1"))
                  .toString(),
              QStringLiteral("Offer||text"));
}
