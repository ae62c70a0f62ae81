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
