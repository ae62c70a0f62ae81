.pragma library

// Amounts as the office reads them: the locale's digit grouping, two decimals
// and the symbol of the currency the amount is kept in. A total that adds up
// several currencies says so instead of pretending to be one sum.

var mixedLabel = "مجموع بعملات مختلفة"

function number(amount) {
    var value = Number(amount)
    if (!isFinite(value))
        value = 0
    return value.toLocaleString(Qt.locale(), "f", 2)
}

function format(amount, symbol) {
    var text = number(amount)
    return symbol ? text + " " + symbol : text
}

// `mixed` is the back end's flag for a sum over several currencies.
function total(amount, symbol, mixed) {
    var text = format(amount, symbol)
    return mixed ? text + " (" + mixedLabel + ")" : text
}

// id -> symbol for the rows that carry only a currency id.
function symbolMap(currencies) {
    var map = {}
    for (var i = 0; i < (currencies ? currencies.length : 0); ++i)
        map[currencies[i].id] = currencies[i].symbol || ""
    return map
}

function primarySymbol(currencies) {
    for (var i = 0; i < (currencies ? currencies.length : 0); ++i) {
        if (Number(currencies[i].is_primary) === 1)
            return currencies[i].symbol || ""
    }
    return currencies && currencies.length > 0 ? (currencies[0].symbol || "") : ""
}

// The sum of `rows` per currency, written as "a ₪ + b $" so that amounts in
// different currencies are never added into one figure. `amountOf(row)` gives
// the row's amount and `symbolOf(row)` its currency symbol.
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
        return format(0, fallbackSymbol)
    var parts = []
    for (var i = 0; i < totals.order.length; ++i) {
        var symbol = totals.order[i]
        parts.push(format(totals.sums[symbol], symbol || fallbackSymbol))
    }
    return parts.join(" + ")
}
