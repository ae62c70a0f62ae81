.pragma library

// Totals over rows kept in different currencies. Sums made here are never
// converted, so they are written per currency ("a ₪ + b $"). Totals the back
// end converted carry their breakdown (see detail()).

// A column of the row, or a function of it.
function pick(row, key) {
    return typeof key === "function" ? key(row) : row[key]
}

// Sums kept apart per currency, so a total never adds shekels to dollars.
// `amountKey` and `currencyKey` name the row's amount and currency columns
// (or are functions of the row). Answers [{currency_id, total}] in the order
// the currencies first appear, the shape the back end's totals have too.
function byCurrency(rows, amountKey, currencyKey) {
    var sums = {}
    var order = []
    for (var i = 0; i < (rows ? rows.length : 0); ++i) {
        var value = Number(pick(rows[i], amountKey))
        var currency = pick(rows[i], currencyKey)
        var cid = currency !== undefined && currency !== null ? String(currency) : ""
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
// currency. `money` is the Money singleton; `separator` ("\n": one currency
// per line) stands between the currencies.
function format(sums, money, separator) {
    if (sums.length === 0)
        return money.format(0)
    var parts = []
    for (var i = 0; i < sums.length; ++i)
        parts.push(money.format(sums[i].total, sums[i].currency_id))
    return parts.join(separator === undefined ? " + " : separator)
}

// A converted back-end total as a footer or card shows it: the total in the
// primary currency, then in brackets what detail() gives. Zero when there
// is no total yet.
function converted(total, money) {
    if (!total)
        return money.format(0)
    var more = detail(total, money)
    return money.format(total.total || 0, 0) + (more !== "" ? " (" + more + ")" : "")
}

// What stands beside a converted back-end total ({total, byCurrency,
// missing}): each currency's own amount when any other than the primary went
// in, and the rates it still waits for. Empty for a total in the primary
// currency alone.
function detail(total, money) {
    if (!total)
        return ""
    var parts = []
    var byCurrency = total.byCurrency || []
    if (byCurrency.length > 1
            || (byCurrency.length === 1 && money.shownId(byCurrency[0].currency_id) !== money.primaryId))
        parts.push(format(byCurrency, money))
    var missing = total.missing || []
    if (missing.length > 0)
        parts.push("⚠️ " + missing.join("؛ "))
    return parts.join(" — ")
}
