.pragma library

// Totals over rows kept in different currencies. Amounts are never converted,
// so a sum over several currencies is written per currency ("a ₪ + b $"), and
// a back-end total flagged as mixing currencies carries a note saying so.

var mixedLabel = "مجموع بعملات مختلفة"

function withMixedNote(text, mixed) {
    return mixed ? text + " (" + mixedLabel + ")" : text
}

function plain(amount) {
    var value = Number(amount)
    return (isFinite(value) ? value : 0).toLocaleString(Qt.locale(), "f", 2)
}

// Sums `amountOf(row)` per `symbolOf(row)`, in the order the symbols first appear.
function sumsBySymbol(rows, amountOf, symbolOf) {
    var order = []
    var sums = {}
    for (var i = 0; i < (rows ? rows.length : 0); ++i) {
        var symbol = symbolOf(rows[i]) || ""
        if (!(symbol in sums)) {
            sums[symbol] = 0
            order.push(symbol)
        }
        sums[symbol] += Number(amountOf(rows[i])) || 0
    }
    return { order: order, sums: sums }
}

function sumsText(totals, fallbackSymbol) {
    if (totals.order.length === 0)
        return plain(0) + (fallbackSymbol ? " " + fallbackSymbol : "")
    var parts = []
    for (var i = 0; i < totals.order.length; ++i) {
        var symbol = totals.order[i] || fallbackSymbol
        parts.push(plain(totals.sums[totals.order[i]]) + (symbol ? " " + symbol : ""))
    }
    return parts.join(" + ")
}

// Sums kept apart per currency, so a total never adds shekels to dollars.
// `rows` is a row list; `key` the amount column (or a function of the row);
// `currencyKey` the row's currency column. Answers [{currency_id, total}].
function byCurrency(rows, key, currencyKey) {
    var sums = {}
    var order = []
    for (var i = 0; i < rows.length; ++i) {
        var row = rows[i]
        var value = typeof key === "function" ? key(row) : Number(row[key])
        var cid = row[currencyKey] !== undefined && row[currencyKey] !== null ? String(row[currencyKey]) : ""
        if (!(cid in sums)) {
            sums[cid] = 0
            order.push(cid)
        }
        sums[cid] += isFinite(value) ? value : 0
    }
    var out = []
    for (var j = 0; j < order.length; ++j)
        out.push({ "currency_id": order[j] === "" ? 0 : Number(order[j]), "total": sums[order[j]] })
    return out
}

// "1,200.00 ₪ + 300.00 $"; a list without rows gives zero in the primary
// currency. `money` is the Money singleton.
function format(sums, money) {
    if (sums.length === 0)
        return money.format(0)
    var parts = []
    for (var i = 0; i < sums.length; ++i)
        parts.push(money.format(sums[i].total, sums[i].currency_id))
    return parts.join(" + ")
}
