#include "finance/LedgerSources.h"

#include "core/Database.h"

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
        const QString number =
            lookup(QStringLiteral("SELECT invoice_number FROM invoices WHERE id=?"), id);
        return number.isEmpty() ? numbered(QStringLiteral("فاتورة"), id)
                                : QStringLiteral("فاتورة ") + number;
    }

    if (kind == QLatin1String("payment") || kind == QLatin1String("tenant_payment") ||
        kind == QLatin1String("buyer_payment")) {
        const QString invoice = lookup(QStringLiteral("SELECT i.invoice_number FROM payments p "
                                                      "JOIN invoices i ON p.invoice_id=i.id "
                                                      "WHERE p.id=?"),
                                       id);
        if (!invoice.isEmpty())
            return QStringLiteral("دفعة على فاتورة ") + invoice;
        const QString buyer = lookup(QStringLiteral("SELECT b.full_name FROM payments p JOIN "
                                                    "buyers b ON p.buyer_id=b.id WHERE p.id=?"),
                                     id);
        if (!buyer.isEmpty())
            return QStringLiteral("دفعة من المشتري ") + buyer;
        return numbered(QStringLiteral("دفعة"), id);
    }

    if (kind == QLatin1String("down_payment")) {
        const QString unit = lookup(QStringLiteral("SELECT u.unit_number FROM payments p JOIN "
                                                   "units u ON p.unit_id=u.id WHERE p.id=?"),
                                    id);
        return unit.isEmpty() ? numbered(QStringLiteral("دفعة مقدمة"), id)
                              : QStringLiteral("دفعة مقدمة - بيع وحدة ") + unit;
    }

    if (kind == QLatin1String("sale") || kind == QLatin1String("unit_sale") ||
        kind == QLatin1String("unit")) {
        const QString unit = lookup(QStringLiteral("SELECT unit_number FROM units WHERE id=?"), id);
        return unit.isEmpty() ? numbered(QStringLiteral("بيع وحدة"), id)
                              : QStringLiteral("بيع وحدة ") + unit;
    }

    if (kind == QLatin1String("installment") || kind == QLatin1String("installment_payment")) {
        const QString unit = lookup(QStringLiteral("SELECT u.unit_number || ' (' || i.due_date || "
                                                   "')' FROM installments i JOIN units u ON "
                                                   "i.unit_id=u.id WHERE i.id=?"),
                                    id);
        return unit.isEmpty() ? numbered(QStringLiteral("قسط"), id)
                              : QStringLiteral("قسط وحدة ") + unit;
    }

    if (kind == QLatin1String("expense") || kind == QLatin1String("maintenance_expense")) {
        const QString what =
            lookup(QStringLiteral("SELECT COALESCE(NULLIF(description,''), category) FROM expenses "
                                  "WHERE id=?"),
                   id);
        return what.isEmpty() ? numbered(QStringLiteral("مصروف"), id)
                              : QStringLiteral("مصروف: ") + what;
    }

    if (kind == QLatin1String("maintenance")) {
        const QString title =
            lookup(QStringLiteral("SELECT title FROM maintenance_requests WHERE id=?"), id);
        return title.isEmpty() ? numbered(QStringLiteral("صيانة"), id)
                               : QStringLiteral("صيانة: ") + title;
    }

    if (kind == QLatin1String("cheque") || kind == QLatin1String("received_cheque") ||
        kind == QLatin1String("issued_cheque")) {
        const QString number =
            lookup(QStringLiteral("SELECT cheque_number FROM cheques WHERE id=?"), id);
        return number.isEmpty() ? numbered(QStringLiteral("شيك"), id)
                                : QStringLiteral("شيك رقم ") + number;
    }

    if (kind == QLatin1String("contractor_payment")) {
        const QString name =
            lookup(QStringLiteral("SELECT c.name FROM contractor_payments p JOIN contractors c ON "
                                  "p.contractor_id=c.id WHERE p.id=?"),
                   id);
        return name.isEmpty() ? numbered(QStringLiteral("دفعة لمقاول"), id)
                              : QStringLiteral("دفعة للمقاول ") + name;
    }
    return QString();
}

QString LedgerSources::lookup(const QString& sql, int id) const
{
    if (id <= 0)
        return QString();
    return m_db->scalar(sql, {id}).toString().trimmed();
}
