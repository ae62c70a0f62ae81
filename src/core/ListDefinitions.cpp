#include "core/ListDefinitions.h"

namespace {

using Definition = SqlListModel::Definition;

// "<column> IN (SELECT id FROM <table> WHERE <name> LIKE ?)"
QString nameSearch(const QString& column, const QString& table, const QString& name)
{
    return column + QStringLiteral(" IN (SELECT id FROM ") + table + QStringLiteral(" WHERE ") +
           SqlListModel::like(name) + QLatin1Char(')');
}

QString propertyNameSearch(const QString& unitColumn)
{
    return unitColumn +
           QStringLiteral(" IN (SELECT u.id FROM units u JOIN properties p ON "
                          "u.property_id=p.id WHERE ") +
           SqlListModel::like(QStringLiteral("p.name")) + QLatin1Char(')');
}

// "<column> IN (SELECT id FROM invoices WHERE invoice_number LIKE ?)", read
// through the invoices' text index: half a million invoice numbers are no
// small table to scan.
SqlListModel::TextSearch invoiceNumberSearch(const QString& column)
{
    const SqlListModel::TextSearch number =
        SqlListModel::indexedText(QStringLiteral("invoices_search"), QStringLiteral("invoices"),
                                  QStringLiteral("id"), {QStringLiteral("invoice_number")});
    const QString within = column + QStringLiteral(" IN (SELECT id FROM invoices WHERE %1)");
    return {number.index, within.arg(number.indexed), within.arg(number.scan)};
}

QString unitsOfProperty(const QString& unitColumn)
{
    return unitColumn + QStringLiteral(" IN (SELECT id FROM units WHERE property_id = ?)");
}

} // namespace

Definition ListDefinitions::invoices()
{
    Definition d;
    d.columns =
        QStringLiteral("i.*, t.full_name as tenant_name, u.unit_number, p.name as property_name");
    d.from = QStringLiteral(
        "FROM invoices i LEFT JOIN tenants t ON i.tenant_id=t.id "
        "LEFT JOIN units u ON i.unit_id=u.id LEFT JOIN properties p ON u.property_id=p.id");
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
    return d;
}

Definition ListDefinitions::payments()
{
    Definition d;
    // A payment's unit is its own (buyer payments) or else its invoice's.
    d.columns = QStringLiteral(
        "p.*, t.full_name as tenant_name, b.full_name as buyer_name, i.invoice_number, "
        "COALESCE(payUnit.unit_number, invUnit.unit_number) as unit_number, "
        "COALESCE(payProperty.name, invProperty.name) as property_name");
    d.from = QStringLiteral(
        "FROM payments p LEFT JOIN tenants t ON p.tenant_id=t.id "
        "LEFT JOIN buyers b ON p.buyer_id=b.id LEFT JOIN invoices i ON p.invoice_id=i.id "
        "LEFT JOIN units invUnit ON i.unit_id=invUnit.id "
        "LEFT JOIN properties invProperty ON invUnit.property_id=invProperty.id "
        "LEFT JOIN units payUnit ON p.unit_id=payUnit.id "
        "LEFT JOIN properties payProperty ON payUnit.property_id=payProperty.id");
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
                       {QStringLiteral("currency_id"), QStringLiteral("p.currency_id")}};
    d.dateColumn = QStringLiteral("p.payment_date");
    d.sortColumns = {{QStringLiteral("payment_date"), QStringLiteral("p.payment_date")},
                     {QStringLiteral("amount"), QStringLiteral("p.amount")},
                     {QStringLiteral("created_at"), QStringLiteral("p.created_at")}};
    d.defaultSort = QStringLiteral("payment_date");
    d.totalColumns = {{QStringLiteral("amount"), QStringLiteral("p.amount")}};
    d.currencyColumn = QStringLiteral("p.currency_id");
    return d;
}

Definition ListDefinitions::expenses()
{
    Definition d;
    d.columns =
        QStringLiteral("e.*, p.name as property_name, u.unit_number, c.name as contractor_name");
    d.from = QStringLiteral(
        "FROM expenses e LEFT JOIN properties p ON e.property_id=p.id "
        "LEFT JOIN units u ON e.unit_id=u.id LEFT JOIN contractors c ON e.contractor_id=c.id");
    d.baseTable = QStringLiteral("expenses e");
    d.key = QStringLiteral("e.id");
    d.searchConditions = {SqlListModel::like(QStringLiteral("e.description")),
                          SqlListModel::like(QStringLiteral("e.vendor")),
                          SqlListModel::like(QStringLiteral("e.category")),
                          nameSearch(QStringLiteral("e.property_id"), QStringLiteral("properties"),
                                     QStringLiteral("name")),
                          nameSearch(QStringLiteral("e.contractor_id"),
                                     QStringLiteral("contractors"), QStringLiteral("name"))};
    d.filterColumns = {{QStringLiteral("property_id"), QStringLiteral("e.property_id")},
                       {QStringLiteral("unit_id"), QStringLiteral("e.unit_id")},
                       {QStringLiteral("category"), QStringLiteral("e.category")},
                       {QStringLiteral("contractor_id"), QStringLiteral("e.contractor_id")},
                       {QStringLiteral("currency_id"), QStringLiteral("e.currency_id")}};
    d.dateColumn = QStringLiteral("e.expense_date");
    d.sortColumns = {{QStringLiteral("expense_date"), QStringLiteral("e.expense_date")},
                     {QStringLiteral("amount"), QStringLiteral("e.amount")},
                     {QStringLiteral("category"), QStringLiteral("e.category")}};
    d.defaultSort = QStringLiteral("expense_date");
    d.totalColumns = {{QStringLiteral("amount"), QStringLiteral("e.amount")}};
    d.currencyColumn = QStringLiteral("e.currency_id");
    return d;
}

Definition ListDefinitions::cheques()
{
    Definition d;
    d.columns = QStringLiteral("c.*, cur.symbol as currency_symbol, cur.code as currency_code");
    d.from = QStringLiteral("FROM cheques c LEFT JOIN currencies cur ON c.currency_id=cur.id");
    d.baseTable = QStringLiteral("cheques c");
    d.key = QStringLiteral("c.id");
    d.searchConditions = {SqlListModel::like(QStringLiteral("c.cheque_number")),
                          SqlListModel::like(QStringLiteral("c.bank_name")),
                          SqlListModel::like(QStringLiteral("c.payer_name")),
                          SqlListModel::like(QStringLiteral("c.payee_name"))};
    d.filterColumns = {{QStringLiteral("status"), QStringLiteral("c.status")},
                       {QStringLiteral("type"), QStringLiteral("c.type")},
                       {QStringLiteral("tenant_id"), QStringLiteral("c.tenant_id")},
                       {QStringLiteral("buyer_id"), QStringLiteral("c.buyer_id")},
                       {QStringLiteral("currency_id"), QStringLiteral("c.currency_id")}};
    d.dateColumn = QStringLiteral("c.due_date");
    d.sortColumns = {{QStringLiteral("due_date"), QStringLiteral("c.due_date")},
                     {QStringLiteral("amount"), QStringLiteral("c.amount")},
                     {QStringLiteral("issue_date"), QStringLiteral("c.issue_date")},
                     {QStringLiteral("status"), QStringLiteral("c.status")}};
    d.defaultSort = QStringLiteral("due_date");
    d.totalColumns = {{QStringLiteral("amount"), QStringLiteral("c.amount")}};
    d.currencyColumn = QStringLiteral("c.currency_id");
    return d;
}

Definition ListDefinitions::maintenance()
{
    Definition d;
    d.columns = QStringLiteral("m.*, u.unit_number, p.name as property_name");
    d.from = QStringLiteral("FROM maintenance_requests m JOIN units u ON m.unit_id=u.id "
                            "JOIN properties p ON u.property_id=p.id");
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

Definition ListDefinitions::contracts()
{
    Definition d;
    d.columns =
        QStringLiteral("c.*, t.full_name as tenant_name, u.unit_number, p.name as property_name");
    d.from = QStringLiteral("FROM contracts c JOIN tenants t ON c.tenant_id=t.id JOIN units u ON "
                            "c.unit_id=u.id JOIN properties p ON u.property_id=p.id");
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

Definition ListDefinitions::installments()
{
    Definition d;
    d.columns =
        QStringLiteral("i.*, b.full_name as buyer_name, u.unit_number, p.name as property_name");
    d.from = QStringLiteral("FROM installments i JOIN buyers b ON i.buyer_id=b.id JOIN units u ON "
                            "i.unit_id=u.id JOIN properties p ON u.property_id=p.id");
    d.baseTable = QStringLiteral("installments i");
    d.key = QStringLiteral("i.id");
    d.searchConditions = {nameSearch(QStringLiteral("i.buyer_id"), QStringLiteral("buyers"),
                                     QStringLiteral("full_name")),
                          nameSearch(QStringLiteral("i.unit_id"), QStringLiteral("units"),
                                     QStringLiteral("unit_number")),
                          propertyNameSearch(QStringLiteral("i.unit_id")),
                          SqlListModel::like(QStringLiteral("i.cheque_number")),
                          SqlListModel::like(QStringLiteral("i.bank_name"))};
    d.filterColumns = {
        {QStringLiteral("status"), QStringLiteral("i.status")},
        {QStringLiteral("buyer_id"), QStringLiteral("i.buyer_id")},
        {QStringLiteral("unit_id"), QStringLiteral("i.unit_id")},
        {QStringLiteral("currency_id"), QStringLiteral("i.currency_id")},
        {QStringLiteral("property_id"), unitsOfProperty(QStringLiteral("i.unit_id"))}};
    d.dateColumn = QStringLiteral("i.due_date");
    d.sortColumns = {{QStringLiteral("due_date"), QStringLiteral("i.due_date")},
                     {QStringLiteral("installment_amount"), QStringLiteral("i.installment_amount")},
                     {QStringLiteral("paid_amount"), QStringLiteral("i.paid_amount")},
                     {QStringLiteral("status"), QStringLiteral("i.status")}};
    d.defaultSort = QStringLiteral("due_date");
    d.defaultDescending = false;
    d.totalColumns = {
        {QStringLiteral("installment_amount"), QStringLiteral("i.installment_amount")},
        {QStringLiteral("paid_amount"), QStringLiteral("i.paid_amount")}};
    d.currencyColumn = QStringLiteral("i.currency_id");
    return d;
}

Definition ListDefinitions::journal()
{
    Definition d;
    // One sub-select per shown entry instead of grouping the whole journal.
    d.columns = QStringLiteral(
        "je.*, (SELECT GROUP_CONCAT(a.name_ar || ':' || jl.debit || ':' || jl.credit) FROM "
        "journal_lines jl JOIN accounts a ON jl.account_id=a.id WHERE jl.entry_id=je.id) as lines");
    d.from = QStringLiteral("FROM journal_entries je");
    d.baseTable = QStringLiteral("journal_entries je");
    d.key = QStringLiteral("je.id");
    // An entry without lines is not listed, as in the journal's list call.
    d.baseWhere = QStringLiteral("EXISTS (SELECT 1 FROM journal_lines WHERE entry_id=je.id)");
    d.searchConditions = {SqlListModel::like(QStringLiteral("je.description")),
                          SqlListModel::like(QStringLiteral("je.reference_type")),
                          SqlListModel::like(QStringLiteral("je.reference"))};
    d.filterColumns = {{QStringLiteral("reference_type"), QStringLiteral("je.reference_type")},
                       {QStringLiteral("reference_id"), QStringLiteral("je.reference_id")},
                       {QStringLiteral("cost_center_id"), QStringLiteral("je.cost_center_id")},
                       {QStringLiteral("contractor_id"), QStringLiteral("je.contractor_id")}};
    d.dateColumn = QStringLiteral("je.entry_date");
    d.sortColumns = {{QStringLiteral("entry_date"), QStringLiteral("je.entry_date")},
                     {QStringLiteral("created_at"), QStringLiteral("je.created_at")}};
    d.defaultSort = QStringLiteral("entry_date");
    return d;
}

Definition ListDefinitions::audit()
{
    Definition d;
    d.columns = QStringLiteral("a.*, u.username");
    d.from = QStringLiteral("FROM audit_logs a LEFT JOIN users u ON a.user_id = u.id");
    d.baseTable = QStringLiteral("audit_logs a");
    d.key = QStringLiteral("a.id");
    d.textSearches = {SqlListModel::indexedText(
        QStringLiteral("audit_logs_search"), QStringLiteral("audit_logs"), QStringLiteral("a.id"),
        {QStringLiteral("a.action"), QStringLiteral("a.table_name"), QStringLiteral("a.details")})};
    d.searchConditions = {nameSearch(QStringLiteral("a.user_id"), QStringLiteral("users"),
                                     QStringLiteral("username"))};
    d.filterColumns = {{QStringLiteral("user_id"), QStringLiteral("a.user_id")},
                       {QStringLiteral("action"), QStringLiteral("a.action")},
                       {QStringLiteral("table_name"), QStringLiteral("a.table_name")},
                       {QStringLiteral("record_id"), QStringLiteral("a.record_id")}};
    d.dateColumn = QStringLiteral("a.created_at");
    d.sortColumns = {{QStringLiteral("created_at"), QStringLiteral("a.created_at")}};
    d.defaultSort = QStringLiteral("created_at");
    return d;
}
