#include "core/PgSchema.h"

// The running money totals on the server: the same rows the SQLite file's
// triggers keep (see MoneyTotals), kept by PL/pgSQL triggers. An amount is
// split into whole cents and the rest, and a total that holds no rows goes
// back to exactly 0.
const QStringList& PgSchema::totalsStatements()
{
    static const QStringList statements = {
        QStringLiteral(
            "CREATE FUNCTION money_totals_add(k TEXT, owner BIGINT, cur BIGINT, n BIGINT, "
            "amount NUMERIC) RETURNS void LANGUAGE plpgsql AS $$ "
            "DECLARE c BIGINT := round(amount * 100); "
            "BEGIN "
            "INSERT INTO money_totals AS t (kind, owner_id, currency_id, row_count, cents, rest) "
            "VALUES (k, owner, COALESCE(cur, -1), n, n * c, n * (amount - c / 100.0)) "
            "ON CONFLICT (kind, owner_id, currency_id) DO UPDATE SET "
            "row_count = t.row_count + excluded.row_count, cents = t.cents + excluded.cents, "
            "rest = CASE WHEN t.row_count + excluded.row_count = 0 THEN 0 "
            "ELSE t.rest + excluded.rest END; "
            "END $$"),
        // The day a payment counts on, as yyyymmdd; none for a malformed date.
        QStringLiteral(
            "CREATE FUNCTION money_totals_day(d TEXT) RETURNS BIGINT LANGUAGE plpgsql "
            "IMMUTABLE AS $$ BEGIN "
            "IF d IS NULL OR d !~ '^[0-9]{4}-[0-9]{2}-[0-9]{2}' THEN RETURN NULL; END IF; "
            "RETURN CAST(to_char(CAST(substr(d, 1, 10) AS date), 'YYYYMMDD') AS BIGINT); "
            "EXCEPTION WHEN others THEN RETURN NULL; "
            "END $$"),
        // One payment, counted (n = 1) or taken away (n = -1): everywhere, on
        // its day, and for the property of its invoice's unit.
        QStringLiteral(
            "CREATE FUNCTION money_totals_payment(p payments, n BIGINT) RETURNS void "
            "LANGUAGE plpgsql AS $$ DECLARE day BIGINT := money_totals_day(p.payment_date); "
            "property BIGINT; BEGIN "
            "PERFORM money_totals_add('payments', 0, p.currency_id, n, p.amount); "
            "IF day IS NOT NULL THEN "
            "PERFORM money_totals_add('day_payments', day, p.currency_id, n, p.amount); END IF; "
            "SELECT u.property_id INTO property FROM invoices i JOIN units u ON u.id = i.unit_id "
            "WHERE i.id = p.invoice_id; "
            "IF property IS NOT NULL THEN "
            "PERFORM money_totals_add('property_payments', property, p.currency_id, n, p.amount); "
            "END IF; END $$"),
        // Every payment of an invoice, for the property of the unit it names.
        QStringLiteral(
            "CREATE FUNCTION money_totals_invoice(invoice BIGINT, unit BIGINT, n BIGINT) RETURNS "
            "void LANGUAGE plpgsql AS $$ DECLARE property BIGINT; p RECORD; BEGIN "
            "SELECT property_id INTO property FROM units WHERE id = unit; "
            "IF property IS NULL THEN RETURN; END IF; "
            "FOR p IN SELECT amount, currency_id FROM payments WHERE invoice_id = invoice LOOP "
            "PERFORM money_totals_add('property_payments', property, p.currency_id, n, p.amount); "
            "END LOOP; END $$"),
        QStringLiteral(
            "CREATE FUNCTION money_totals_unit(unit BIGINT, property BIGINT, n BIGINT) RETURNS "
            "void LANGUAGE plpgsql AS $$ DECLARE p RECORD; BEGIN "
            "IF property IS NULL THEN RETURN; END IF; "
            "FOR p IN SELECT pay.amount, pay.currency_id FROM invoices i JOIN payments pay ON "
            "pay.invoice_id = i.id WHERE i.unit_id = unit LOOP "
            "PERFORM money_totals_add('property_payments', property, p.currency_id, n, p.amount); "
            "END LOOP; END $$"),
        QStringLiteral(
            "CREATE FUNCTION money_totals_expense(e expenses, n BIGINT) RETURNS void "
            "LANGUAGE plpgsql AS $$ BEGIN "
            "PERFORM money_totals_add('expenses', 0, e.currency_id, n, e.amount); "
            "IF e.property_id IS NOT NULL THEN "
            "PERFORM money_totals_add('property_expenses', e.property_id, e.currency_id, n, "
            "e.amount); END IF; END $$"),
        QStringLiteral(
            "CREATE FUNCTION money_totals_track() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
            "IF TG_TABLE_NAME = 'payments' THEN "
            "IF TG_OP <> 'INSERT' THEN PERFORM money_totals_payment(OLD, -1); END IF; "
            "IF TG_OP <> 'DELETE' THEN PERFORM money_totals_payment(NEW, 1); END IF; "
            "ELSIF TG_TABLE_NAME = 'invoices' THEN "
            "IF TG_OP <> 'INSERT' THEN PERFORM money_totals_invoice(OLD.id, OLD.unit_id, -1); "
            "END IF; "
            "IF TG_OP <> 'DELETE' THEN PERFORM money_totals_invoice(NEW.id, NEW.unit_id, 1); "
            "END IF; "
            "ELSIF TG_TABLE_NAME = 'units' THEN "
            "IF TG_OP <> 'INSERT' THEN PERFORM money_totals_unit(OLD.id, OLD.property_id, -1); "
            "END IF; "
            "IF TG_OP <> 'DELETE' THEN PERFORM money_totals_unit(NEW.id, NEW.property_id, 1); "
            "END IF; "
            "ELSE "
            "IF TG_OP <> 'INSERT' THEN PERFORM money_totals_expense(OLD, -1); END IF; "
            "IF TG_OP <> 'DELETE' THEN PERFORM money_totals_expense(NEW, 1); END IF; "
            "END IF; RETURN NULL; END $$"),
        // An update touches the totals only when a column they read changed.
        QStringLiteral("CREATE TRIGGER money_totals_payments AFTER INSERT OR DELETE ON payments "
                       "FOR EACH ROW EXECUTE FUNCTION money_totals_track()"),
        QStringLiteral(
            "CREATE TRIGGER money_totals_payment_changed AFTER UPDATE OF amount, currency_id, "
            "invoice_id, payment_date ON payments FOR EACH ROW WHEN (OLD.amount IS DISTINCT FROM "
            "NEW.amount OR OLD.currency_id IS DISTINCT FROM NEW.currency_id OR OLD.invoice_id IS "
            "DISTINCT FROM NEW.invoice_id OR OLD.payment_date IS DISTINCT FROM NEW.payment_date) "
            "EXECUTE FUNCTION money_totals_track()"),
        QStringLiteral("CREATE TRIGGER money_totals_invoices AFTER INSERT OR DELETE ON invoices "
                       "FOR EACH ROW EXECUTE FUNCTION money_totals_track()"),
        QStringLiteral("CREATE TRIGGER money_totals_invoice_moved AFTER UPDATE OF id, unit_id ON "
                       "invoices FOR EACH ROW WHEN (OLD.id IS DISTINCT FROM NEW.id OR "
                       "OLD.unit_id IS DISTINCT FROM NEW.unit_id) "
                       "EXECUTE FUNCTION money_totals_track()"),
        QStringLiteral("CREATE TRIGGER money_totals_units AFTER INSERT OR DELETE ON units "
                       "FOR EACH ROW EXECUTE FUNCTION money_totals_track()"),
        QStringLiteral("CREATE TRIGGER money_totals_unit_moved AFTER UPDATE OF id, property_id ON "
                       "units FOR EACH ROW WHEN (OLD.id IS DISTINCT FROM NEW.id OR "
                       "OLD.property_id IS DISTINCT FROM NEW.property_id) "
                       "EXECUTE FUNCTION money_totals_track()"),
        QStringLiteral("CREATE TRIGGER money_totals_expenses AFTER INSERT OR DELETE ON expenses "
                       "FOR EACH ROW EXECUTE FUNCTION money_totals_track()"),
        QStringLiteral("CREATE TRIGGER money_totals_expense_changed AFTER UPDATE OF amount, "
                       "currency_id, property_id ON expenses FOR EACH ROW WHEN (OLD.amount IS "
                       "DISTINCT FROM NEW.amount OR OLD.currency_id IS DISTINCT FROM "
                       "NEW.currency_id OR OLD.property_id IS DISTINCT FROM NEW.property_id) "
                       "EXECUTE FUNCTION money_totals_track()"),
    };
    return statements;
}

// Payments per property and day as well (the comparison of properties): the
// payment, invoice and unit functions count them too, and the days of the
// payments already stored are counted once.
const QStringList& PgSchema::propertyDayStatements()
{
    static const QStringList statements = {
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS money_totals_currency ON money_totals (kind, currency_id)"),
        QStringLiteral(
            "CREATE OR REPLACE FUNCTION money_totals_payment(p payments, n BIGINT) RETURNS void "
            "LANGUAGE plpgsql AS $$ DECLARE day BIGINT := money_totals_day(p.payment_date); "
            "property BIGINT; BEGIN "
            "PERFORM money_totals_add('payments', 0, p.currency_id, n, p.amount); "
            "IF day IS NOT NULL THEN "
            "PERFORM money_totals_add('day_payments', day, p.currency_id, n, p.amount); END IF; "
            "SELECT u.property_id INTO property FROM invoices i JOIN units u ON u.id = i.unit_id "
            "WHERE i.id = p.invoice_id; "
            "IF property IS NOT NULL THEN "
            "PERFORM money_totals_add('property_payments', property, p.currency_id, n, p.amount); "
            "IF day IS NOT NULL THEN PERFORM money_totals_add('property_day_payments', "
            "property * 100000000 + day, p.currency_id, n, p.amount); END IF; "
            "END IF; END $$"),
        QStringLiteral(
            "CREATE OR REPLACE FUNCTION money_totals_invoice(invoice BIGINT, unit BIGINT, n "
            "BIGINT) "
            "RETURNS void LANGUAGE plpgsql AS $$ DECLARE property BIGINT; day BIGINT; p RECORD; "
            "BEGIN "
            "SELECT property_id INTO property FROM units WHERE id = unit; "
            "IF property IS NULL THEN RETURN; END IF; "
            "FOR p IN SELECT amount, currency_id, payment_date FROM payments WHERE invoice_id = "
            "invoice LOOP "
            "PERFORM money_totals_add('property_payments', property, p.currency_id, n, p.amount); "
            "day := money_totals_day(p.payment_date); "
            "IF day IS NOT NULL THEN PERFORM money_totals_add('property_day_payments', "
            "property * 100000000 + day, p.currency_id, n, p.amount); END IF; "
            "END LOOP; END $$"),
        QStringLiteral(
            "CREATE OR REPLACE FUNCTION money_totals_unit(unit BIGINT, property BIGINT, n BIGINT) "
            "RETURNS void LANGUAGE plpgsql AS $$ DECLARE day BIGINT; p RECORD; BEGIN "
            "IF property IS NULL THEN RETURN; END IF; "
            "FOR p IN SELECT pay.amount, pay.currency_id, pay.payment_date FROM invoices i JOIN "
            "payments pay ON pay.invoice_id = i.id WHERE i.unit_id = unit LOOP "
            "PERFORM money_totals_add('property_payments', property, p.currency_id, n, p.amount); "
            "day := money_totals_day(p.payment_date); "
            "IF day IS NOT NULL THEN PERFORM money_totals_add('property_day_payments', "
            "property * 100000000 + day, p.currency_id, n, p.amount); END IF; "
            "END LOOP; END $$"),
        QStringLiteral("DELETE FROM money_totals WHERE kind = 'property_day_payments'"),
        QStringLiteral(
            "INSERT INTO money_totals (kind, owner_id, currency_id, row_count, cents, rest) "
            "SELECT 'property_day_payments', k, cur, SUM(n), SUM(c), SUM(r) FROM (SELECT "
            "u.property_id * 100000000 + money_totals_day(p.payment_date) AS k, "
            "COALESCE(p.currency_id, -1) AS cur, COUNT(*) AS n, SUM(CAST(round(p.amount*100) AS "
            "BIGINT)) AS c, SUM(p.amount-CAST(round(p.amount*100) AS BIGINT)/100.0) AS r FROM "
            "payments p JOIN invoices i ON i.id = p.invoice_id JOIN units u ON u.id = i.unit_id "
            "WHERE u.property_id IS NOT NULL GROUP BY u.property_id, p.payment_date, "
            "COALESCE(p.currency_id, -1)) AS days WHERE k IS NOT NULL GROUP BY k, cur"),
    };
    return statements;
}
