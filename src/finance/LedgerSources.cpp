#include "finance/LedgerSources.h"

#include "core/Database.h"
#include "core/SqlDialect.h"

#include <QStringList>

namespace {

// Words that mark an entry undoing another event, before or after its kind
// ("invoice_void", "reversal_payment"), with how the undoing reads.
struct Undo
{
    const char* word;
    const char* text;
};
const Undo kUndos[] = {
    {"void", "إلغاء "},   {"voided", "إلغاء "}, {"reversal", "عكس "},  {"reverse", "عكس "},
    {"reversed", "عكس "}, {"undo", "عكس "},     {"bounce", "ارتجاع "}, {"bounced", "ارتجاع "},
    {"clear", "صرف "},    {"cleared", "صرف "},  {"cashed", "صرف "},    {"paid", "صرف "},
};

// "invoices" and "invoice" name the same event.
QString singular(const QString& kind)
{
    if (kind.endsWith(QLatin1Char('s')) && kind.size() > 3)
        return kind.chopped(1);
    return kind;
}

QString numbered(const QString& text, int id)
{
    return id > 0 ? text + QStringLiteral(" رقم ") + QString::number(id) : text;
}

} // namespace

QString LedgerSources::describe(const QString& referenceType, int referenceId) const
{
    const QString type = referenceType.trimmed().toLower();
    if (type.isEmpty() || type == QLatin1String("manual"))
        return QStringLiteral("قيد يدوي");

    QString kind = type;
    QString undo;
    QStringList parts = type.split(QLatin1Char('_'), Qt::SkipEmptyParts);
    if (parts.size() > 1) {
        for (const Undo& u : kUndos) {
            const QString word = QString::fromLatin1(u.word);
            if (parts.last() == word || parts.first() == word) {
                if (parts.last() == word)
                    parts.removeLast();
                else
                    parts.removeFirst();
                undo = QString::fromUtf8(u.text);
                kind = parts.join(QLatin1Char('_'));
                break;
            }
        }
    }

    const QString text = eventText(singular(kind), referenceId);
    if (!text.isEmpty())
        return undo + text;
    return numbered(QStringLiteral("مرجع ") + referenceType.trimmed(), referenceId);
}

QString LedgerSources::eventText(const QString& kind, int id) const
{
    if (kind == QLatin1String("opening") || kind == QLatin1String("opening_balance"))
        return QStringLiteral("قيد افتتاحي");

    if (kind == QLatin1String("invoice") || kind == QLatin1String("service_invoice") ||
        kind == QLatin1String("custom_invoice") || kind == QLatin1String("rent_invoice")) {
        const QString number = lookup(QStringLiteral("invoice_number"), QStringLiteral("invoices"),
                                      QStringLiteral("id"), id);
        return number.isEmpty() ? numbered(QStringLiteral("فاتورة"), id)
                                : QStringLiteral("فاتورة ") + number;
    }

    if (kind == QLatin1String("payment") || kind == QLatin1String("tenant_payment") ||
        kind == QLatin1String("buyer_payment")) {
        const QString invoice =
            lookup(QStringLiteral("i.invoice_number"),
                   QStringLiteral("payments p JOIN invoices i ON p.invoice_id=i.id"),
                   QStringLiteral("p.id"), id);
        if (!invoice.isEmpty())
            return QStringLiteral("دفعة على فاتورة ") + invoice;
        const QString buyer = lookup(QStringLiteral("b.full_name"),
                                     QStringLiteral("payments p JOIN buyers b ON p.buyer_id=b.id"),
                                     QStringLiteral("p.id"), id);
        if (!buyer.isEmpty())
            return QStringLiteral("دفعة من المشتري ") + buyer;
        return numbered(QStringLiteral("دفعة"), id);
    }

    if (kind == QLatin1String("down_payment")) {
        const QString unit = lookup(QStringLiteral("u.unit_number"),
                                    QStringLiteral("payments p JOIN units u ON p.unit_id=u.id"),
                                    QStringLiteral("p.id"), id);
        return unit.isEmpty() ? numbered(QStringLiteral("دفعة مقدمة"), id)
                              : QStringLiteral("دفعة مقدمة - بيع وحدة ") + unit;
    }

    if (kind == QLatin1String("sale") || kind == QLatin1String("unit_sale") ||
        kind == QLatin1String("unit")) {
        const QString unit = lookup(QStringLiteral("unit_number"), QStringLiteral("units"),
                                    QStringLiteral("id"), id);
        return unit.isEmpty() ? numbered(QStringLiteral("بيع وحدة"), id)
                              : QStringLiteral("بيع وحدة ") + unit;
    }

    if (kind == QLatin1String("installment") || kind == QLatin1String("installment_payment")) {
        const QString unit = lookup(QStringLiteral("u.unit_number || ' (' || i.due_date || ')'"),
                                    QStringLiteral("installments i JOIN units u ON i.unit_id=u.id"),
                                    QStringLiteral("i.id"), id);
        return unit.isEmpty() ? numbered(QStringLiteral("قسط"), id)
                              : QStringLiteral("قسط وحدة ") + unit;
    }

    if (kind == QLatin1String("expense") || kind == QLatin1String("maintenance_expense")) {
        const QString what = lookup(QStringLiteral("COALESCE(NULLIF(description,''), category)"),
                                    QStringLiteral("expenses"), QStringLiteral("id"), id);
        return what.isEmpty() ? numbered(QStringLiteral("مصروف"), id)
                              : QStringLiteral("مصروف: ") + what;
    }

    if (kind == QLatin1String("maintenance")) {
        const QString title =
            lookup(QStringLiteral("title"), QStringLiteral("maintenance_requests"),
                   QStringLiteral("id"), id);
        return title.isEmpty() ? numbered(QStringLiteral("صيانة"), id)
                               : QStringLiteral("صيانة: ") + title;
    }

    if (kind == QLatin1String("cheque") || kind == QLatin1String("received_cheque") ||
        kind == QLatin1String("issued_cheque")) {
        const QString number = lookup(QStringLiteral("cheque_number"), QStringLiteral("cheques"),
                                      QStringLiteral("id"), id);
        return number.isEmpty() ? numbered(QStringLiteral("شيك"), id)
                                : QStringLiteral("شيك رقم ") + number;
    }

    if (kind == QLatin1String("contractor_payment")) {
        const QString name = lookup(QStringLiteral("c.name"),
                                    QStringLiteral("contractor_payments p JOIN contractors c ON "
                                                   "p.contractor_id=c.id"),
                                    QStringLiteral("p.id"), id);
        return name.isEmpty() ? numbered(QStringLiteral("دفعة لمقاول"), id)
                              : QStringLiteral("دفعة للمقاول ") + name;
    }
    return QString();
}

void LedgerSources::prepare(const QList<QPair<QString, int>>& events)
{
    // Each event is described once with every look-up only noted; then
    // each look-up reads all its ids in one statement. A payment's invoice
    // and its buyer are both noted, as either may be missing.
    QHash<QString, QSet<int>> wanted;
    m_wanted = &wanted;
    for (const auto& [type, id] : events)
        describe(type, id);
    m_wanted = nullptr;
    const SqlDialect::Engine engine = m_db->engine();
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
        const QStringList parts = it.key().split(QLatin1Char('\n'));
        QHash<int, QString>& read = m_read[it.key()];
        const QList<int> ids(it.value().cbegin(), it.value().cend());
        for (int id : ids)
            read.insert(id, QString());
        const QVariantList rows =
            m_db->execQuery(QStringLiteral("SELECT ") + parts.at(2) + QStringLiteral(" AS k, ") +
                                parts.at(0) + QStringLiteral(" AS v FROM ") + parts.at(1) +
                                QStringLiteral(" WHERE ") + SqlDialect::inIds(engine, parts.at(2)),
                            {SqlDialect::idList(engine, ids)});
        for (const QVariant& row : rows) {
            const QVariantMap map = row.toMap();
            read.insert(map.value(QStringLiteral("k")).toInt(),
                        map.value(QStringLiteral("v")).toString().trimmed());
        }
    }
}

QString LedgerSources::lookup(const QString& column, const QString& from, const QString& key,
                              int id) const
{
    if (id <= 0)
        return QString();
    const QString name = column + QLatin1Char('\n') + from + QLatin1Char('\n') + key;
    if (m_wanted) {
        (*m_wanted)[name].insert(id);
        return QString();
    }
    const auto read = m_read.constFind(name);
    if (read != m_read.cend() && read->contains(id))
        return read->value(id);
    return m_db
        ->scalar(QStringLiteral("SELECT ") + column + QStringLiteral(" FROM ") + from +
                     QStringLiteral(" WHERE ") + key + QStringLiteral("=?"),
                 {id})
        .toString()
        .trimmed();
}
