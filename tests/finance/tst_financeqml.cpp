#include "QmlBackend.h"

#include <QDate>
#include <QTest>

// The sales and finance objects as the buyers, cheques, accounting and
// settings pages call them: through the context properties, with QML's own
// conversion of omitted arguments, numbers and arrays of objects.
class TestFinanceQml : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_qml = std::make_unique<QmlBackend>(); }
    void cleanup()
    {
        const QStringList errors = m_qml->takeErrors();
        m_qml.reset();
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n'))));
    }

    void buyerPageSellsAndCollects()
    {
        const int property =
            eval("propertyModel.add('برج القمر', 'residential', '', 'جنين', '')").toInt();
        const int unit =
            eval(QString("unitModel.add(%1, '7', 2, 120, 3, 0, 0, 250000, 1)").arg(property))
                .toInt();
        const int buyer = eval("buyerModel.add('ريم سعادة', '8080', '0597', '', 'جنين')").toInt();
        QVERIFY(unit > 0 && buyer > 0);
        // The cash sale omits the cheque and the bank.
        QCOMPARE(eval(QString("installmentModel.sellUnit(%1, %2, 250000, 50000, 0, '%3', 1)")
                          .arg(buyer)
                          .arg(unit)
                          .arg(QDate::currentDate().toString(Qt::ISODate)))
                     .toInt(),
                 1);
        QCOMPARE(eval(QString("installmentModel.getByBuyer(%1).length").arg(buyer)).toInt(), 1);
        QVERIFY(eval(QString("var i = installmentModel.getByBuyer(%1)[0]; "
                             "installmentModel.payInstallment(i.id, i.installment_amount)")
                         .arg(buyer))
                    .toBool());
        QCOMPARE(eval("buyerModel.getAll()[0].balance").toDouble(), 0.0);
        // The sale's payments carry the cost centre the unit was given when it was added.
        QCOMPARE(m_qml->database()
                     .value("SELECT COUNT(*) FROM payments WHERE cost_center_id=(SELECT MIN(id) "
                            "FROM cost_centers WHERE unit_id=?)",
                            {unit})
                     .toInt(),
                 2);
        QVERIFY(eval(QString("chequeModel.add('3301', 'received', 900, 'بنك الأردن', '2099-01-01', "
                             "'ريم سعادة', 1, 1.0, %1, 0)")
                         .arg(buyer))
                    .toInt() > 0);
        QVERIFY(eval("chequeModel.add('3302', 'issued', 400, 'بنك الأردن', '2099-02-01', 'مقاول', "
                     "2, 3.65)")
                    .toInt() > 0);
        QCOMPARE(eval("chequeModel.getPostDated().length").toInt(), 2);
    }

    void accountingPagePostsTwoLines()
    {
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        const int id =
            eval(QString("accountModel.createJournalEntry('%1', 'تحصيل إيجار', 'manual', 0, "
                         "[{account_id: 2, debit: 250, credit: 0, description: 'نقد'}, "
                         "{account_id: 8, debit: 0, credit: 250, description: 'إيجار'}])")
                     .arg(today))
                .toInt();
        QVERIFY(id > 0);
        // "account:debit:credit" per line; the figures as numbers, whatever
        // text the engine gives them.
        QCOMPARE(eval("accountModel.getJournalEntries()[0].lines.split(',').map(function(l) { "
                      "var p = l.split(':'); return p[0] + ':' + Number(p[1]).toFixed(2) + ':' "
                      "+ Number(p[2]).toFixed(2) }).join(',')")
                     .toString(),
                 "النقدية:250.00:0.00,إيرادات الإيجار:0.00:250.00");
        QCOMPARE(eval("accountModel.getBalanceSheet().assets").toDouble(), 250.0);
        QVERIFY(eval("currencyModel.setRate(2, 1, Number('3.70'))").toBool());
        QCOMPARE(eval("settingsManager.getExchangeRate(2, 1)").toDouble(), 3.7);
    }

private:
    QVariant eval(const QString& script) { return m_qml->evaluate(script); }

    std::unique_ptr<QmlBackend> m_qml;
};

QTEST_MAIN(TestFinanceQml)
#include "tst_financeqml.moc"
