#include "TestDatabase.h"

#include "admin/AuditManager.h"
#include "admin/AuthController.h"
#include "core/PasswordHash.h"
#include "core/Reasons.h"
#include "core/Schema.h"
#include "core/TransactionGuard.h"
#include "finance/AccountModel.h"
#include "finance/ContractorModel.h"
#include "rental/TenantModel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <memory>

// The trail of what signed-in users write: one row per insert, update and
// delete, with the user, the record and the change, kept or dropped with the
// write itself; and the lock on writes while the default password is in use.
class TestAuditTrail : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<TestDatabase>();
        QVERIFY(m_fixture->isOpen());
        static const QString clerkHash = PasswordHash::hash(QStringLiteral("موظفة-الاستقبال"));
        m_clerkId = db()->execInsert(QStringLiteral("INSERT INTO users (username, password_hash, "
                                                    "full_name, role) VALUES (?, ?, ?, 'user')"),
                                     {QStringLiteral("سارة"), clerkHash, QStringLiteral("سارة")});
        QVERIFY(m_clerkId > 0);
        m_auth = std::make_unique<AuthController>(db());
    }
    void cleanup()
    {
        m_auth.reset();
        m_fixture.reset();
    }

    void writesBeforeAnySignInAreNotAudited()
    {
        TenantModel tenants(db());
        QVERIFY(tenants.add(QStringLiteral("خالد العمري"), {}, {}, {}, {}) > 0);
        QCOMPARE(m_fixture->count(QStringLiteral("audit_logs")), 0);
    }

    void tenantLifeLeavesOneRowPerWrite()
    {
        QVERIFY(m_auth->login(QStringLiteral("سارة"), QStringLiteral("موظفة-الاستقبال")));
        TenantModel tenants(db());
        const int id = tenants.add(QStringLiteral("خالد العمري"), QStringLiteral("9981"),
                                   QStringLiteral("0599000111"), {}, QStringLiteral("رام الله"));
        QVERIFY(id > 0);
        QVERIFY(tenants.update(id, QStringLiteral("خالد العمري"), QStringLiteral("9981"),
                               QStringLiteral("0599000222"), {}, QStringLiteral("رام الله")));
        QVERIFY(tenants.remove(id));

        const QVariantList rows = db()->execQuery(
            QStringLiteral("SELECT user_id, action, record_id, details FROM audit_logs "
                           "WHERE table_name='tenants' ORDER BY id"));
        QCOMPARE(rows.size(), 3);
        const QStringList actions = {QStringLiteral("insert"), QStringLiteral("update"),
                                     QStringLiteral("delete")};
        for (int i = 0; i < 3; ++i) {
            const QVariantMap row = rows.at(i).toMap();
            QCOMPARE(row.value(QStringLiteral("action")).toString(), actions.at(i));
            QCOMPARE(row.value(QStringLiteral("user_id")).toInt(), m_clerkId);
            QCOMPARE(row.value(QStringLiteral("record_id")).toInt(), id);
        }
        const QJsonObject inserted = json(rows.at(0));
        QCOMPARE(inserted.value(QStringLiteral("full_name")).toString(),
                 QStringLiteral("خالد العمري"));
        // The update names only what changed, old then new.
        const QJsonObject changed = json(rows.at(1));
        QCOMPARE(changed.keys(), QStringList{QStringLiteral("phone")});
        QCOMPARE(changed.value(QStringLiteral("phone")).toArray().at(0).toString(),
                 QStringLiteral("0599000111"));
        QCOMPARE(changed.value(QStringLiteral("phone")).toArray().at(1).toString(),
                 QStringLiteral("0599000222"));
        // The removal keeps what was removed.
        QCOMPARE(json(rows.at(2)).value(QStringLiteral("address")).toString(),
                 QStringLiteral("رام الله"));

        AuditManager audit(db());
        const QVariantList readable =
            audit.changes(QStringLiteral("update"), rows.at(1).toMap().value("details").toString());
        QCOMPARE(readable.size(), 1);
        QCOMPARE(readable.first().toMap().value(QStringLiteral("before")).toString(),
                 QStringLiteral("0599000111"));
        QCOMPARE(readable.first().toMap().value(QStringLiteral("after")).toString(),
                 QStringLiteral("0599000222"));
        QCOMPARE(audit.summary(QStringLiteral("delete"), QStringLiteral("tenants"), id),
                 QStringLiteral("حذف · مستأجر #%1").arg(id));
    }

    void updateThatChangesNothingIsNotAudited()
    {
        QVERIFY(m_auth->login(QStringLiteral("سارة"), QStringLiteral("موظفة-الاستقبال")));
        TenantModel tenants(db());
        const int id = tenants.add(QStringLiteral("منى حداد"), {}, {}, {}, {});
        QVERIFY(tenants.update(id, QStringLiteral("منى حداد"), {}, {}, {}, {}));
        QCOMPARE(m_fixture
                     ->value(QStringLiteral("SELECT COUNT(*) FROM audit_logs WHERE "
                                            "action='update'"))
                     .toInt(),
                 0);
    }

    void rolledBackWriteLeavesNoAuditRow()
    {
        QVERIFY(m_auth->login(QStringLiteral("سارة"), QStringLiteral("موظفة-الاستقبال")));
        {
            TransactionGuard tx(db());
            QVERIFY(db()->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"),
                                     {QStringLiteral("سجل يُلغى")}) > 0);
        }
        QCOMPARE(m_fixture->count(QStringLiteral("audit_logs")), 0);
    }

    void postingsAreAuditedOnTheirEventManualEntriesOnTheirOwn()
    {
        QVERIFY(m_auth->login(QStringLiteral("سارة"), QStringLiteral("موظفة-الاستقبال")));
        AccountModel accounts(db());
        const int cash =
            m_fixture->value(QStringLiteral("SELECT id FROM accounts WHERE code='1100'")).toInt();
        const int revenue =
            m_fixture->value(QStringLiteral("SELECT id FROM accounts WHERE code='4100'")).toInt();
        const int entry = accounts.createJournalEntry(
            QStringLiteral("2026-03-01"), QStringLiteral("إيراد نقدي"), QStringLiteral("manual"), 0,
            {QVariantMap{{"account_id", cash}, {"debit", 150.0}, {"credit", 0.0}},
             QVariantMap{{"account_id", revenue}, {"debit", 0.0}, {"credit", 150.0}}});
        QVERIFY2(entry > 0, qPrintable(accounts.lastError()));
        QCOMPARE(m_fixture
                     ->value(QStringLiteral("SELECT COUNT(*) FROM audit_logs WHERE "
                                            "table_name='journal_entries' AND record_id=?"),
                             {entry})
                     .toInt(),
                 1);
        // Lines and the accounts' running balances are the entry's own workings.
        QCOMPARE(m_fixture
                     ->value(QStringLiteral("SELECT COUNT(*) FROM audit_logs WHERE "
                                            "table_name IN ('journal_lines', 'accounts')"))
                     .toInt(),
                 0);
    }

    void contractorPaymentNamesWhoPaid()
    {
        const int contractor =
            db()->execInsert(QStringLiteral("INSERT INTO contractors (name) VALUES (?)"),
                             {QStringLiteral("نجار الحي")});
        QVERIFY(
            db()->execInsert(QStringLiteral("INSERT INTO expenses (category, amount, "
                                            "expense_date, contractor_id, currency_id, is_owed) "
                                            "VALUES ('maintenance', 800, '2026-02-01', ?, 1, 1)"),
                             {contractor}) > 0);
        QVERIFY(m_auth->login(QStringLiteral("سارة"), QStringLiteral("موظفة-الاستقبال")));
        ContractorModel contractors(db());
        const int paid = contractors.pay(contractor, 300, 1, QStringLiteral("2026-02-10"),
                                         QStringLiteral("cash"), {}, {});
        QVERIFY2(paid > 0, qPrintable(contractors.lastError()));
        QCOMPARE(m_fixture
                     ->value(QStringLiteral("SELECT created_by FROM contractor_payments "
                                            "WHERE id=?"),
                             {paid})
                     .toInt(),
                 m_clerkId);
        QCOMPARE(m_fixture
                     ->value(QStringLiteral("SELECT user_id FROM audit_logs WHERE "
                                            "table_name='contractor_payments' AND record_id=?"),
                             {paid})
                     .toInt(),
                 m_clerkId);
    }

    void passwordChangeIsNamedButNeverCopied()
    {
        QVERIFY(m_auth->login(QStringLiteral("سارة"), QStringLiteral("موظفة-الاستقبال")));
        QVERIFY(m_auth->changePassword(QStringLiteral("موظفة-الاستقبال"),
                                       QStringLiteral("كلمة-جديدة-طويلة")));
        const QVariantList rows = db()->execQuery(
            QStringLiteral("SELECT details FROM audit_logs WHERE table_name='users'"));
        QCOMPARE(rows.size(), 1);
        const QString details = rows.first().toMap().value(QStringLiteral("details")).toString();
        QCOMPARE(json(rows.first()).value(QStringLiteral("password_hash")).toString(),
                 QStringLiteral("changed"));
        QVERIFY(!details.contains(QStringLiteral("argon2")));
    }

    void defaultPasswordLocksWritesUntilChanged()
    {
        QVERIFY(m_auth->login(QStringLiteral("admin"), Schema::defaultAdminPassword()));
        QVERIFY(m_auth->mustChangePassword());
        TenantModel tenants(db());
        QCOMPARE(tenants.add(QStringLiteral("محاولة قبل التغيير"), {}, {}, {}, {}), -1);
        QCOMPARE(tenants.lastError(), Reasons::passwordChangeFirst());
        QCOMPARE(m_fixture->count(QStringLiteral("tenants")), 0);
        // Nor can a second administrator be made to step around the lock.
        const int users = m_fixture->count(QStringLiteral("users"));
        QVERIFY(!m_auth->registerUser(QStringLiteral("عمر"), QStringLiteral("كلمة-مرور-عمر"),
                                      QStringLiteral("admin")));
        QCOMPARE(m_fixture->count(QStringLiteral("users")), users);

        QVERIFY(m_auth->changePassword(Schema::defaultAdminPassword(),
                                       QStringLiteral("Nakheel-Office-2024")));
        QVERIFY(tenants.add(QStringLiteral("بعد التغيير"), {}, {}, {}, {}) > 0);
        QCOMPARE(m_fixture
                     ->value(QStringLiteral("SELECT u.username FROM audit_logs a JOIN users u "
                                            "ON u.id = a.user_id WHERE a.table_name='tenants'"))
                     .toString(),
                 QStringLiteral("admin"));
    }

    void signingOutStopsNamingTheUser()
    {
        QVERIFY(m_auth->login(QStringLiteral("سارة"), QStringLiteral("موظفة-الاستقبال")));
        m_auth->logout();
        QVERIFY(db()->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"),
                                 {QStringLiteral("بعد الخروج")}) > 0);
        QVERIFY(m_fixture
                    ->value(QStringLiteral("SELECT user_id FROM audit_logs WHERE "
                                           "table_name='tenants'"))
                    .isNull());
    }

private:
    Database* db() const { return m_fixture->db(); }
    static QJsonObject json(const QVariant& row)
    {
        return QJsonDocument::fromJson(
                   row.toMap().value(QStringLiteral("details")).toString().toUtf8())
            .object();
    }

    std::unique_ptr<TestDatabase> m_fixture;
    std::unique_ptr<AuthController> m_auth;
    int m_clerkId = 0;
};

QTEST_MAIN(TestAuditTrail)
#include "tst_audittrail.moc"
