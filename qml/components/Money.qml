pragma Singleton
import QtQuick

// Amounts as the office reads them: locale digit grouping, the currency's
// own decimals (two, or three for the dinar) and the symbol of the amount's
// own currency (the primary one when a row names none). The currency table is small, so it is kept here and re-read when
// the currencies change.
QtObject {
    id: money

    property var currencies: currencyModel.getAll()

    readonly property var primary: {
        for (var i = 0; i < currencies.length; ++i)
            if (Number(currencies[i].is_primary) === 1)
                return currencies[i]
        return currencies.length > 0 ? currencies[0] : ({})
    }
    readonly property int primaryId: primary.id !== undefined ? Number(primary.id) : 0
    readonly property string primarySymbol: primary.symbol !== undefined ? String(primary.symbol) : ""

    function currency(id) {
        var wanted = Number(id)
        for (var i = 0; i < currencies.length; ++i)
            if (Number(currencies[i].id) === wanted)
                return currencies[i]
        return primary
    }

    // The currency an amount kept in `id` is shown in: a missing or unknown
    // one is the primary, so totals put such rows with the primary's.
    function shownId(id) {
        var c = currency(id)
        return c.id !== undefined ? Number(c.id) : 0
    }

    function symbol(id) {
        if (id === undefined || id === null || id === "" || Number(id) <= 0)
            return primarySymbol
        var c = currency(id)
        return c.symbol !== undefined ? String(c.symbol) : ""
    }

    // How many decimals the currency's money is kept in: two for most,
    // three for the dinar. A missing or unknown currency is the primary.
    function decimals(id) {
        var c = (id === undefined || id === null || id === "" || Number(id) <= 0)
                ? primary : currency(id)
        var d = c.decimals !== undefined ? Number(c.decimals) : 2
        return d >= 0 && d <= 3 ? d : 2
    }

    // Rounded to the currency's minor unit first, so a balance left at
    // -0.001 by binary rounding reads 0.00, never -0.00. Without a currency
    // the primary one's decimals are used.
    function plain(amount, currencyId) {
        var places = decimals(currencyId)
        var scale = Math.pow(10, places)
        var n = Number(amount)
        var units = isFinite(n) ? Math.round(Math.abs(n) * scale) : 0
        var value = units === 0 ? 0 : (n < 0 ? -units : units) / scale
        return value.toLocaleString(Qt.locale(), "f", places)
    }

    function format(amount, currencyId) {
        var s = symbol(currencyId)
        return s !== "" ? plain(amount, currencyId) + " " + s : plain(amount, currencyId)
    }

    property Connections watcher: Connections {
        target: currencyModel
        function onDataChanged() { money.currencies = currencyModel.getAll() }
    }
    // The primary currency is chosen in the settings.
    property Connections settingsWatcher: Connections {
        target: settingsManager
        function onSettingsChanged() { money.currencies = currencyModel.getAll() }
    }
}
