#include "admin/ExportTables.h"

#include "core/Money.h"

#include <QSqlQuery>

namespace ExportTables {

namespace {

using K = Kind;

const Words propertyTypes{{QStringLiteral("residential"), QStringLiteral("سكني")},
                          {QStringLiteral("commercial"), QStringLiteral("تجاري")},
                          {QStringLiteral("mixed"), QStringLiteral("مختلط")}};
const Words propertyStatuses{{QStringLiteral("active"), QStringLiteral("نشط")},
                             {QStringLiteral("inactive"), QStringLiteral("غير نشط")}};
const Words unitStatuses{{QStringLiteral("available"), QStringLiteral("متاحة")},
                         {QStringLiteral("rented"), QStringLiteral("مؤجرة")},
                         {QStringLiteral("sold"), QStringLiteral("مباعة")}};
const Words contractStatuses{{QStringLiteral("active"), QStringLiteral("نشط")},
                             {QStringLiteral("terminated"), QStringLiteral("منتهي")}};
const Words frequencies{{QStringLiteral("monthly"), QStringLiteral("شهري")},
                        {QStringLiteral("quarterly"), QStringLiteral("ربع سنوي")},
                        {QStringLiteral("yearly"), QStringLiteral("سنوي")}};
const Words invoiceStatuses{{QStringLiteral("pending"), QStringLiteral("معلقة")},
                            {QStringLiteral("partial"), QStringLiteral("جزئي")},
                            {QStringLiteral("paid"), QStringLiteral("مدفوعة")},
                            {QStringLiteral("void"), QStringLiteral("ملغاة")}};
const Words itemTypes{{QStringLiteral("rent"), QStringLiteral("إيجار")},
                      {QStringLiteral("service"), QStringLiteral("خدمة")}};
const Words installmentStatuses{{QStringLiteral("pending"), QStringLiteral("معلق")},
                                {QStringLiteral("partial"), QStringLiteral("مدفوع جزئياً")},
                                {QStringLiteral("paid"), QStringLiteral("مدفوع")}};
const Words chequeStatuses{{QStringLiteral("pending"), QStringLiteral("معلق")},
                           {QStringLiteral("paid"), QStringLiteral("تم الصرف")},
                           {QStringLiteral("bounced"), QStringLiteral("مرتجع")}};
const Words chequeTypes{{QStringLiteral("received"), QStringLiteral("وارد")},
                        {QStringLiteral("issued"), QStringLiteral("صادر")}};
const Words requestStatuses{{QStringLiteral("new"), QStringLiteral("جديد")},
                            {QStringLiteral("in_progress"), QStringLiteral("قيد التنفيذ")},
                            {QStringLiteral("completed"), QStringLiteral("مكتمل")}};
const Words priorities{{QStringLiteral("low"), QStringLiteral("منخفضة")},
                       {QStringLiteral("medium"), QStringLiteral("متوسطة")},
                       {QStringLiteral("high"), QStringLiteral("عالية")}};
const Words methods{{QStringLiteral("cash"), QStringLiteral("نقدي")},
                    {QStringLiteral("bank"), QStringLiteral("تحويل بنكي")},
                    {QStringLiteral("cheque"), QStringLiteral("شيك")}};
const Words centreTypes{{QStringLiteral("project"), QStringLiteral("مشروع")},
                        {QStringLiteral("floor"), QStringLiteral("طابق")},
                        {QStringLiteral("unit"), QStringLiteral("وحدة")}};
const Words accountTypes{{QStringLiteral("asset"), QStringLiteral("أصول")},
                         {QStringLiteral("liability"), QStringLiteral("خصوم")},
                         {QStringLiteral("equity"), QStringLiteral("حقوق ملكية")},
                         {QStringLiteral("revenue"), QStringLiteral("إيرادات")},
                         {QStringLiteral("expense"), QStringLiteral("مصروفات")}};

Column col(const char* name, const char* heading, Kind kind, const Words* words = nullptr)
{
    return {QString::fromUtf8(name), QString::fromUtf8(heading), kind, words, QString()};
}

Column id()
{
    return col("id", "الرقم", K::Key);
}

Column created()
{
    return col("created_at", "تاريخ الإنشاء", K::Timestamp);
}

Column currency()
{
    return col("currency_id", "رقم العملة", K::Key);
}

// A table whose amounts are in the currency named by its "currency_id".
Table inOwnCurrency(const char* name, const char* title, const QList<Column>& columns)
{
    Table table{QString::fromUtf8(name), QString::fromUtf8(title), columns, -1};
    for (int i = 0; i < columns.size(); ++i) {
        if (columns.at(i).name == QLatin1String("currency_id"))
            table.currencyColumn = i;
    }
    return table;
}

QList<Table> build()
{
    Column unitCount = col("total_units", "عدد الوحدات", K::Integer);
    // The stored count is not kept up to date; the export counts the units.
    unitCount.expression =
        QStringLiteral("(SELECT COUNT(*) FROM units u WHERE u.property_id = properties.id)");
    Column itemCurrency = currency();
    itemCurrency.expression = QStringLiteral(
        "(SELECT i.currency_id FROM invoices i WHERE i.id = invoice_items.invoice_id)");

    const auto person = [](const char* name, const char* title) {
        return inOwnCurrency(
            name, title,
            {id(), col("full_name", "الاسم", K::Text), col("id_number", "رقم الهوية", K::Code),
             col("phone", "الهاتف", K::Code), col("email", "البريد الإلكتروني", K::Text),
             col("address", "العنوان", K::Text), col("notes", "ملاحظات", K::Text),
             col("balance", "الرصيد", K::Amount), created()});
    };

    return {
        inOwnCurrency("properties", "العقارات",
                      {id(), col("name", "اسم العقار", K::Text),
                       col("type", "النوع", K::Label, &propertyTypes),
                       col("address", "العنوان", K::Text), col("city", "المدينة", K::Text),
                       col("description", "الوصف", K::Text), unitCount,
                       col("status", "الحالة", K::Label, &propertyStatuses), created(),
                       col("updated_at", "آخر تعديل", K::Timestamp)}),
        inOwnCurrency("units", "الوحدات",
                      {id(), col("property_id", "رقم العقار", K::Key),
                       col("unit_number", "رقم الوحدة", K::Code),
                       col("floor", "الطابق", K::Integer), col("area", "المساحة", K::Real),
                       col("rooms", "عدد الغرف", K::Integer),
                       col("rent_monthly", "الإيجار الشهري", K::Amount),
                       col("rent_yearly", "الإيجار السنوي", K::Amount),
                       col("sale_price", "سعر البيع", K::Amount),
                       col("status", "الحالة", K::Label, &unitStatuses),
                       col("buyer_id", "رقم المشتري", K::Key),
                       col("sale_price_actual", "سعر البيع الفعلي", K::Amount),
                       col("sale_date", "تاريخ البيع", K::Date), currency(),
                       col("description", "الوصف", K::Text), created()}),
        person("tenants", "المستأجرون"),
        inOwnCurrency(
            "contracts", "العقود",
            {id(), col("unit_id", "رقم الوحدة", K::Key), col("tenant_id", "رقم المستأجر", K::Key),
             col("start_date", "تاريخ البداية", K::Date), col("end_date", "تاريخ النهاية", K::Date),
             col("rent_amount", "قيمة الإيجار", K::Amount),
             col("payment_frequency", "دورية الدفع", K::Label, &frequencies),
             col("deposit", "التأمين", K::Amount),
             col("status", "الحالة", K::Label, &contractStatuses), col("notes", "ملاحظات", K::Text),
             currency(), created()}),
        inOwnCurrency(
            "payments", "الدفعات",
            {id(), col("invoice_id", "رقم الفاتورة", K::Key),
             col("tenant_id", "رقم المستأجر", K::Key), col("buyer_id", "رقم المشتري", K::Key),
             col("unit_id", "رقم الوحدة", K::Key), col("amount", "المبلغ", K::Amount),
             col("payment_method", "طريقة الدفع", K::Label, &methods),
             col("payment_date", "تاريخ الدفع", K::Date), col("reference", "المرجع", K::Code),
             currency(), col("cost_center_id", "مركز التكلفة", K::Key),
             col("notes", "ملاحظات", K::Text), created()}),
        inOwnCurrency(
            "invoices", "الفواتير",
            {id(), col("invoice_number", "رقم الفاتورة", K::Code),
             col("tenant_id", "رقم المستأجر", K::Key), col("unit_id", "رقم الوحدة", K::Key),
             col("contract_id", "رقم العقد", K::Key), col("period", "الفترة", K::Text),
             col("total_amount", "الإجمالي", K::Amount), col("paid_amount", "المدفوع", K::Amount),
             col("balance", "المتبقي", K::Amount),
             col("status", "الحالة", K::Label, &invoiceStatuses), currency(),
             col("due_date", "تاريخ الاستحقاق", K::Date), col("notes", "ملاحظات", K::Text),
             created()}),
        inOwnCurrency(
            "invoice_items", "بنود الفواتير",
            {id(), col("invoice_id", "رقم الفاتورة", K::Key), col("description", "البيان", K::Text),
             col("type", "النوع", K::Label, &itemTypes), col("quantity", "الكمية", K::Real),
             col("unit_price", "سعر الوحدة", K::Amount), col("total", "الإجمالي", K::Amount),
             itemCurrency}),
        inOwnCurrency(
            "maintenance_requests", "طلبات الصيانة",
            {id(), col("unit_id", "رقم الوحدة", K::Key), col("property_id", "رقم العقار", K::Key),
             col("title", "العنوان", K::Text), col("description", "الوصف", K::Text),
             col("priority", "الأولوية", K::Label, &priorities),
             col("status", "الحالة", K::Label, &requestStatuses), col("cost", "التكلفة", K::Amount),
             col("assigned_to", "المكلف", K::Text), col("request_date", "تاريخ الطلب", K::Date),
             col("completed_date", "تاريخ الإنجاز", K::Date), created()}),
        inOwnCurrency(
            "journal_entries", "القيود",
            {id(), col("entry_date", "تاريخ القيد", K::Date), col("description", "البيان", K::Text),
             col("reference_type", "نوع المرجع", K::Text),
             col("reference_id", "رقم المرجع", K::Key), created(),
             col("project_id", "رقم المشروع", K::Key),
             col("cost_center_id", "مركز التكلفة", K::Key),
             col("contractor_id", "رقم المقاول", K::Key), col("reference", "المرجع", K::Code)}),
        inOwnCurrency("journal_lines", "سطور القيود",
                      {id(), col("entry_id", "رقم القيد", K::Key),
                       col("account_id", "رقم الحساب", K::Key), col("debit", "مدين", K::Amount),
                       col("credit", "دائن", K::Amount), col("description", "البيان", K::Text),
                       col("cost_center_id", "مركز التكلفة", K::Key)}),
        inOwnCurrency("accounts", "الحسابات",
                      {id(), col("code", "رمز الحساب", K::Code),
                       col("name_ar", "اسم الحساب", K::Text),
                       col("type", "النوع", K::Label, &accountTypes),
                       col("parent_id", "الحساب الأب", K::Key), col("balance", "الرصيد", K::Amount),
                       col("is_system", "حساب نظام", K::Integer), created()}),
        person("buyers", "المشترون"),
        inOwnCurrency(
            "installments", "الأقساط",
            {id(), col("buyer_id", "رقم المشتري", K::Key), col("unit_id", "رقم الوحدة", K::Key),
             col("total_price", "السعر الإجمالي", K::Amount),
             col("down_payment", "الدفعة الأولى", K::Amount),
             col("installment_amount", "قيمة القسط", K::Amount),
             col("due_date", "تاريخ الاستحقاق", K::Date), col("paid_amount", "المدفوع", K::Amount),
             col("status", "الحالة", K::Label, &installmentStatuses),
             col("cheque_number", "رقم الشيك", K::Code), col("bank_name", "البنك", K::Text),
             currency(), col("notes", "ملاحظات", K::Text), created()}),
        inOwnCurrency(
            "cheques", "الشيكات",
            {id(), col("cheque_number", "رقم الشيك", K::Code),
             col("type", "النوع", K::Label, &chequeTypes), col("amount", "المبلغ", K::Amount),
             col("bank_name", "البنك", K::Text), col("issue_date", "تاريخ الإصدار", K::Date),
             col("due_date", "تاريخ الاستحقاق", K::Date), col("payer_name", "الدافع", K::Text),
             col("payee_name", "المستفيد", K::Text),
             col("status", "الحالة", K::Label, &chequeStatuses),
             col("tenant_id", "رقم المستأجر", K::Key), col("buyer_id", "رقم المشتري", K::Key),
             currency(), col("notes", "ملاحظات", K::Text), created()}),
        inOwnCurrency(
            "expenses", "المصروفات",
            {id(), col("property_id", "رقم العقار", K::Key), col("unit_id", "رقم الوحدة", K::Key),
             col("category", "البند", K::Text), col("description", "الوصف", K::Text),
             col("amount", "المبلغ", K::Amount), col("expense_date", "تاريخ المصروف", K::Date),
             col("vendor", "المورد", K::Text), col("maintenance_id", "رقم طلب الصيانة", K::Key),
             currency(), created(), col("project_id", "رقم المشروع", K::Key),
             col("contractor_id", "رقم المقاول", K::Key),
             col("cost_center_id", "مركز التكلفة", K::Key),
             col("work_category", "نوع العمل", K::Text), col("reference", "المرجع", K::Code),
             col("is_owed", "آجل للمقاول", K::Integer)}),
        inOwnCurrency("contractors", "المقاولون",
                      {id(), col("name", "الاسم", K::Text), col("phone", "الهاتف", K::Code),
                       col("email", "البريد الإلكتروني", K::Text), col("trade", "المهنة", K::Text),
                       col("balance", "الرصيد", K::Amount), created()}),
        inOwnCurrency(
            "contractor_payments", "دفعات المقاولين",
            {id(), col("contractor_id", "رقم المقاول", K::Key), col("amount", "المبلغ", K::Amount),
             currency(), col("payment_date", "تاريخ الدفع", K::Date),
             col("method", "طريقة الدفع", K::Label, &methods), col("reference", "المرجع", K::Code),
             col("notes", "ملاحظات", K::Text), created(), col("created_by", "المستخدم", K::Key)}),
        inOwnCurrency(
            "cost_centers", "مراكز التكلفة",
            {id(), col("name", "الاسم", K::Text), col("type", "النوع", K::Label, &centreTypes),
             col("property_id", "رقم العقار", K::Key), col("unit_id", "رقم الوحدة", K::Key),
             col("parent_id", "المركز الأب", K::Key)}),
        inOwnCurrency("currencies", "العملات",
                      {id(), col("code", "الرمز", K::Code), col("name_ar", "الاسم", K::Text),
                       col("symbol", "العلامة", K::Text),
                       col("is_primary", "العملة الأساسية", K::Integer), created()}),
    };
}

} // namespace

const QList<Table>& tables()
{
    static const QList<Table> all = build();
    return all;
}

const Table* find(const QString& name)
{
    for (const Table& table : tables()) {
        if (table.name == name)
            return &table;
    }
    return nullptr;
}

QString selectSql(const Table& table)
{
    QStringList parts;
    for (const Column& column : table.columns)
        parts << (column.expression.isEmpty()
                      ? column.name
                      : column.expression + QStringLiteral(" AS ") + column.name);
    return QStringLiteral("SELECT ") + parts.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") +
           table.name + QStringLiteral(" ORDER BY id");
}

QString label(const Column& column, const QString& value)
{
    return column.words ? column.words->value(value, value) : value;
}

QString Currencies::symbolFor(const QVariant& currencyId) const
{
    const auto found = symbols.constFind(currencyId.isNull() ? primary : currencyId.toInt());
    if (found != symbols.constEnd())
        return *found;
    return symbols.value(primary);
}

int Currencies::decimalsFor(const QVariant& currencyId) const
{
    const auto found = decimals.constFind(currencyId.isNull() ? primary : currencyId.toInt());
    if (found != decimals.constEnd())
        return *found;
    return decimals.value(primary, 2);
}

Currencies readCurrencies(const QSqlDatabase& db)
{
    Currencies currencies;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT id, symbol, is_primary, decimals FROM currencies")))
        return currencies;
    while (query.next()) {
        const int id = query.value(0).toInt();
        currencies.symbols.insert(id, query.value(1).toString());
        currencies.decimals.insert(id, Money::clampDecimals(query.value(3).toInt()));
        if (query.value(2).toInt() == 1)
            currencies.primary = id;
    }
    return currencies;
}

} // namespace ExportTables
