#include "finance/FinanceLists.h"

#include "core/ListSql.h"
#include "core/ListTotals.h"
#include "core/SqlDialect.h"

using Definition = SqlListModel::Definition;
using namespace ListSql;

Definition FinanceLists::expenses()
{
    Definition d;
    d.columns = QStringLiteral("e.*, ") +
                nameOf(QStringLiteral("e.property_id"), QStringLiteral("properties"),
                       QStringLiteral("name"), QStringLiteral("property_name")) +
                QStringLiteral(", ") +
                nameOf(QStringLiteral("e.unit_id"), QStringLiteral("units"),
                       QStringLiteral("unit_number"), QStringLiteral("unit_number")) +
                QStringLiteral(", ") +
                nameOf(QStringLiteral("e.contractor_id"), QStringLiteral("contractors"),
                       QStringLiteral("name"), QStringLiteral("contractor_name"));
    d.from = QStringLiteral("FROM expenses e");
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
    d.convertedTotal = QStringLiteral("amount");
    d.convertedDay = QStringLiteral("e.expense_date");
    d.keptTotals = ListTotals::kExpenses;
    return d;
}

Definition FinanceLists::cheques()
{
    Definition d;
    d.columns = QStringLiteral("c.*, cur.symbol as currency_symbol, cur.code as currency_code");
    d.from = QStringLiteral("FROM cheques c LEFT JOIN currencies cur ON c.currency_id=cur.id");
    d.baseTable = QStringLiteral("cheques c");
    d.key = QStringLiteral("c.id");
    d.textSearches = {SqlListModel::indexedText(
        QStringLiteral("cheques_search"), QStringLiteral("cheques"), QStringLiteral("c.id"),
        {QStringLiteral("c.cheque_number"), QStringLiteral("c.bank_name"),
         QStringLiteral("c.payer_name"), QStringLiteral("c.payee_name")})};
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
    d.keptTotals = ListTotals::kCheques;
    return d;
}

Definition FinanceLists::installments()
{
    Definition d;
    // cheque_status: the cheque that pays the instalment now, as getByBuyer.
    d.columns = QStringLiteral("i.*, ") +
                nameOf(QStringLiteral("i.buyer_id"), QStringLiteral("buyers"),
                       QStringLiteral("full_name"), QStringLiteral("buyer_name")) +
                QStringLiteral(", ") + unitNames(QStringLiteral("i.unit_id")) +
                QStringLiteral(", (SELECT c.status FROM cheques c WHERE c.installment_id=i.id AND "
                               "c.replaced_by_payment_id IS NULL ORDER BY c.id DESC LIMIT 1) as "
                               "cheque_status");
    d.from = QStringLiteral("FROM installments i");
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

Definition FinanceLists::journal(DatabaseSettings::Engine engine)
{
    Definition d;
    // One sub-select per shown entry instead of grouping the whole journal.
    // Each line's account is looked up by its key: joined, the server built
    // a hash of the whole chart of accounts again for every entry shown.
    d.columns = QStringLiteral("je.*, (SELECT ") +
                SqlDialect::stringAgg(engine,
                                      QStringLiteral("(SELECT a.name_ar FROM accounts a WHERE "
                                                     "a.id=jl.account_id) || ':' || jl.debit || "
                                                     "':' || jl.credit"),
                                      QStringLiteral(",")) +
                QStringLiteral(" FROM journal_lines jl WHERE jl.entry_id=je.id) as lines");
    d.from = QStringLiteral("FROM journal_entries je");
    d.baseTable = QStringLiteral("journal_entries je");
    d.key = QStringLiteral("je.id");
    // An entry without lines is not listed, as in the journal's list call.
    d.baseWhere = QStringLiteral("EXISTS (SELECT 1 FROM journal_lines WHERE entry_id=je.id)");
    d.textSearches = {SqlListModel::indexedText(
        QStringLiteral("journal_search"), QStringLiteral("journal_entries"),
        QStringLiteral("je.id"),
        {QStringLiteral("je.description"), QStringLiteral("je.reference_type"),
         QStringLiteral("je.reference")})};
    d.filterColumns = {{QStringLiteral("reference_type"), QStringLiteral("je.reference_type")},
                       {QStringLiteral("reference_id"), QStringLiteral("je.reference_id")},
                       {QStringLiteral("cost_center_id"), QStringLiteral("je.cost_center_id")},
                       {QStringLiteral("contractor_id"), QStringLiteral("je.contractor_id")}};
    d.dateColumn = QStringLiteral("je.entry_date");
    d.sortColumns = {{QStringLiteral("entry_date"), QStringLiteral("je.entry_date")},
                     {QStringLiteral("created_at"), QStringLiteral("je.created_at")}};
    d.defaultSort = QStringLiteral("entry_date");
    d.keptTotals = ListTotals::kJournal;
    return d;
}

Definition FinanceLists::buyers()
{
    Definition d;
    d.columns = QStringLiteral("b.*, (SELECT COUNT(*) FROM installments WHERE buyer_id=b.id) as "
                               "installment_count");
    d.from = QStringLiteral("FROM buyers b");
    d.baseTable = QStringLiteral("buyers b");
    d.key = QStringLiteral("b.id");
    d.searchConditions = {SqlListModel::like(QStringLiteral("b.full_name")),
                          SqlListModel::like(QStringLiteral("b.phone")),
                          SqlListModel::like(QStringLiteral("b.id_number"))};
    d.sortColumns = {{QStringLiteral("full_name"), QStringLiteral("b.full_name")}};
    d.defaultSort = QStringLiteral("full_name");
    d.defaultDescending = false;
    return d;
}
