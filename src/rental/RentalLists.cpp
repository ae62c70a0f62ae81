#include "rental/RentalLists.h"

#include "core/ListSql.h"
#include "core/ListTotals.h"

using Definition = SqlListModel::Definition;
using namespace ListSql;

Definition RentalLists::invoices()
{
    Definition d;
    d.columns = QStringLiteral("i.*, ") +
                nameOf(QStringLiteral("i.tenant_id"), QStringLiteral("tenants"),
                       QStringLiteral("full_name"), QStringLiteral("tenant_name")) +
                QStringLiteral(", ") + unitNames(QStringLiteral("i.unit_id"));
    d.from = QStringLiteral("FROM invoices i");
    d.baseTable = QStringLiteral("invoices i");
    d.key = QStringLiteral("i.id");
    d.textSearches = {SqlListModel::indexedText(
        QStringLiteral("invoices_search"), QStringLiteral("invoices"), QStringLiteral("i.id"),
        {QStringLiteral("i.invoice_number"), QStringLiteral("i.period")})};
    d.searchConditions = {nameSearch(QStringLiteral("i.tenant_id"), QStringLiteral("tenants"),
                                     QStringLiteral("full_name")),
                          nameSearch(QStringLiteral("i.unit_id"), QStringLiteral("units"),
                                     QStringLiteral("unit_number")),
                          propertyNameSearch(QStringLiteral("i.unit_id"))};
    d.filterColumns = {
        {QStringLiteral("status"), QStringLiteral("i.status")},
        {QStringLiteral("tenant_id"), QStringLiteral("i.tenant_id")},
        {QStringLiteral("unit_id"), QStringLiteral("i.unit_id")},
        {QStringLiteral("contract_id"), QStringLiteral("i.contract_id")},
        {QStringLiteral("period"), QStringLiteral("i.period")},
        {QStringLiteral("currency_id"), QStringLiteral("i.currency_id")},
        {QStringLiteral("property_id"), unitsOfProperty(QStringLiteral("i.unit_id"))}};
    d.dateColumn = QStringLiteral("i.created_at");
    d.sortColumns = {{QStringLiteral("created_at"), QStringLiteral("i.created_at")},
                     {QStringLiteral("invoice_number"), QStringLiteral("i.invoice_number")},
                     {QStringLiteral("period"), QStringLiteral("i.period")},
                     {QStringLiteral("due_date"), QStringLiteral("i.due_date")},
                     {QStringLiteral("total_amount"), QStringLiteral("i.total_amount")},
                     {QStringLiteral("balance"), QStringLiteral("i.balance")},
                     {QStringLiteral("status"), QStringLiteral("i.status")}};
    d.defaultSort = QStringLiteral("created_at");
    d.totalColumns = {{QStringLiteral("total_amount"), QStringLiteral("i.total_amount")},
                      {QStringLiteral("paid_amount"), QStringLiteral("i.paid_amount")},
                      {QStringLiteral("balance"), QStringLiteral("i.balance")}};
    d.currencyColumn = QStringLiteral("i.currency_id");
    // At the rate of the day the invoice was written, as the balance sheet does.
    d.convertedTotal = QStringLiteral("total_amount");
    d.convertedDay = QStringLiteral("date(i.created_at,'localtime')");
    // The UTC time read as such and its day told in the session's time zone.
    d.serverConvertedDay =
        QStringLiteral("to_char(CAST(i.created_at AS timestamp) AT TIME ZONE 'UTC', 'YYYY-MM-DD')");
    d.keptTotals = ListTotals::kInvoices;
    return d;
}

Definition RentalLists::payments()
{
    Definition d;
    // A payment's unit is its own (buyer payments) or else its invoice's.
    // The names are looked up for the page's rows alone: seven joins cost
    // the server far more to plan than the page costs to read.
    d.columns = QStringLiteral(
        "p.*, (SELECT t.full_name FROM tenants t WHERE t.id=p.tenant_id) as tenant_name, "
        "(SELECT b.full_name FROM buyers b WHERE b.id=p.buyer_id) as buyer_name, "
        "(SELECT i.invoice_number FROM invoices i WHERE i.id=p.invoice_id) as invoice_number, "
        "(SELECT u.unit_number FROM units u WHERE u.id=COALESCE(p.unit_id, (SELECT i.unit_id "
        "FROM invoices i WHERE i.id=p.invoice_id))) as unit_number, "
        "(SELECT pr.name FROM properties pr WHERE pr.id=(SELECT u.property_id FROM units u WHERE "
        "u.id=COALESCE(p.unit_id, (SELECT i.unit_id FROM invoices i WHERE i.id=p.invoice_id)))) "
        "as property_name");
    d.from = QStringLiteral("FROM payments p");
    d.baseTable = QStringLiteral("payments p");
    d.key = QStringLiteral("p.id");
    d.textSearches = {
        SqlListModel::indexedText(QStringLiteral("payments_search"), QStringLiteral("payments"),
                                  QStringLiteral("p.id"),
                                  {QStringLiteral("p.reference"), QStringLiteral("p.notes")}),
        invoiceNumberSearch(QStringLiteral("p.invoice_id"))};
    d.searchConditions = {nameSearch(QStringLiteral("p.tenant_id"), QStringLiteral("tenants"),
                                     QStringLiteral("full_name")),
                          nameSearch(QStringLiteral("p.buyer_id"), QStringLiteral("buyers"),
                                     QStringLiteral("full_name"))};
    d.filterColumns = {{QStringLiteral("tenant_id"), QStringLiteral("p.tenant_id")},
                       {QStringLiteral("buyer_id"), QStringLiteral("p.buyer_id")},
                       {QStringLiteral("invoice_id"), QStringLiteral("p.invoice_id")},
                       {QStringLiteral("unit_id"), QStringLiteral("p.unit_id")},
                       {QStringLiteral("payment_method"), QStringLiteral("p.payment_method")},
                       {QStringLiteral("currency_id"), QStringLiteral("p.currency_id")},
                       // "tenant" or "buyer": whose payments the page shows.
                       {QStringLiteral("payer"),
                        QStringLiteral("(CASE WHEN p.buyer_id IS NULL THEN 'tenant' ELSE 'buyer' "
                                       "END) = ?")}};
    d.dateColumn = QStringLiteral("p.payment_date");
    d.sortColumns = {{QStringLiteral("payment_date"), QStringLiteral("p.payment_date")},
                     {QStringLiteral("amount"), QStringLiteral("p.amount")},
                     {QStringLiteral("created_at"), QStringLiteral("p.created_at")}};
    d.defaultSort = QStringLiteral("payment_date");
    d.totalColumns = {{QStringLiteral("amount"), QStringLiteral("p.amount")}};
    d.currencyColumn = QStringLiteral("p.currency_id");
    d.convertedTotal = QStringLiteral("amount");
    d.convertedDay = QStringLiteral("p.payment_date");
    d.keptTotals = ListTotals::kPayments;
    // A family name is held by hundreds of tenants; their payments' footer
    // columns are read from idx_payments_tenant_sums.
    d.sumsIndexedBy = {QStringLiteral("p.tenant_id")};
    return d;
}

Definition RentalLists::maintenance()
{
    Definition d;
    d.columns = QStringLiteral("m.*, ") + unitNames(QStringLiteral("m.unit_id"));
    d.from = QStringLiteral("FROM maintenance_requests m");
    d.baseTable = QStringLiteral("maintenance_requests m");
    d.key = QStringLiteral("m.id");
    d.searchConditions = {SqlListModel::like(QStringLiteral("m.title")),
                          SqlListModel::like(QStringLiteral("m.description")),
                          SqlListModel::like(QStringLiteral("m.assigned_to")),
                          nameSearch(QStringLiteral("m.unit_id"), QStringLiteral("units"),
                                     QStringLiteral("unit_number")),
                          propertyNameSearch(QStringLiteral("m.unit_id"))};
    d.filterColumns = {
        {QStringLiteral("status"), QStringLiteral("m.status")},
        {QStringLiteral("priority"), QStringLiteral("m.priority")},
        {QStringLiteral("unit_id"), QStringLiteral("m.unit_id")},
        {QStringLiteral("property_id"), unitsOfProperty(QStringLiteral("m.unit_id"))}};
    d.dateColumn = QStringLiteral("m.request_date");
    d.sortColumns = {{QStringLiteral("created_at"), QStringLiteral("m.created_at")},
                     {QStringLiteral("request_date"), QStringLiteral("m.request_date")},
                     {QStringLiteral("priority"), QStringLiteral("m.priority")},
                     {QStringLiteral("status"), QStringLiteral("m.status")},
                     {QStringLiteral("cost"), QStringLiteral("m.cost")}};
    d.defaultSort = QStringLiteral("created_at");
    d.totalColumns = {{QStringLiteral("cost"), QStringLiteral("m.cost")}};
    return d;
}

Definition RentalLists::contracts()
{
    Definition d;
    d.columns = QStringLiteral("c.*, ") +
                nameOf(QStringLiteral("c.tenant_id"), QStringLiteral("tenants"),
                       QStringLiteral("full_name"), QStringLiteral("tenant_name")) +
                QStringLiteral(", ") + unitNames(QStringLiteral("c.unit_id"));
    d.from = QStringLiteral("FROM contracts c");
    d.baseTable = QStringLiteral("contracts c");
    d.key = QStringLiteral("c.id");
    d.searchConditions = {nameSearch(QStringLiteral("c.tenant_id"), QStringLiteral("tenants"),
                                     QStringLiteral("full_name")),
                          nameSearch(QStringLiteral("c.unit_id"), QStringLiteral("units"),
                                     QStringLiteral("unit_number")),
                          propertyNameSearch(QStringLiteral("c.unit_id")),
                          SqlListModel::like(QStringLiteral("c.notes"))};
    d.filterColumns = {
        {QStringLiteral("status"), QStringLiteral("c.status")},
        {QStringLiteral("tenant_id"), QStringLiteral("c.tenant_id")},
        {QStringLiteral("unit_id"), QStringLiteral("c.unit_id")},
        {QStringLiteral("currency_id"), QStringLiteral("c.currency_id")},
        {QStringLiteral("property_id"), unitsOfProperty(QStringLiteral("c.unit_id"))}};
    d.dateColumn = QStringLiteral("c.start_date");
    d.sortColumns = {{QStringLiteral("created_at"), QStringLiteral("c.created_at")},
                     {QStringLiteral("start_date"), QStringLiteral("c.start_date")},
                     {QStringLiteral("end_date"), QStringLiteral("c.end_date")},
                     {QStringLiteral("rent_amount"), QStringLiteral("c.rent_amount")},
                     {QStringLiteral("status"), QStringLiteral("c.status")}};
    d.defaultSort = QStringLiteral("created_at");
    d.totalColumns = {{QStringLiteral("rent_amount"), QStringLiteral("c.rent_amount")}};
    d.currencyColumn = QStringLiteral("c.currency_id");
    return d;
}

Definition RentalLists::tenants()
{
    Definition d;
    d.columns = QStringLiteral("t.*, (SELECT COUNT(*) FROM contracts c WHERE c.tenant_id=t.id AND "
                               "c.status='active') as active_contracts");
    d.from = QStringLiteral("FROM tenants t");
    d.baseTable = QStringLiteral("tenants t");
    d.key = QStringLiteral("t.id");
    d.searchConditions = {SqlListModel::like(QStringLiteral("t.full_name")),
                          SqlListModel::like(QStringLiteral("t.phone")),
                          SqlListModel::like(QStringLiteral("t.id_number"))};
    d.sortColumns = {{QStringLiteral("full_name"), QStringLiteral("t.full_name")}};
    d.defaultSort = QStringLiteral("full_name");
    d.defaultDescending = false;
    return d;
}
