.pragma library

// Checks for typed dates "yyyy-MM-dd". Arabic-Indic and Eastern Arabic-Indic
// digits are read as the Latin ones, so "٢٠٢٥-٠١-٣١" is a date too.

function latinDigits(text) {
    var out = ""
    var s = String(text === undefined || text === null ? "" : text)
    for (var i = 0; i < s.length; ++i) {
        var c = s.charCodeAt(i)
        if (c >= 0x0660 && c <= 0x0669)
            out += String.fromCharCode(48 + c - 0x0660)
        else if (c >= 0x06F0 && c <= 0x06F9)
            out += String.fromCharCode(48 + c - 0x06F0)
        else
            out += s.charAt(i)
    }
    return out.trim()
}

// The date in stored form, or "" when `text` is not a real calendar date.
function normalized(text) {
    var s = latinDigits(text)
    var m = /^(\d{4})-(\d{1,2})-(\d{1,2})$/.exec(s)
    if (!m)
        return ""
    var y = Number(m[1]), mo = Number(m[2]), d = Number(m[3])
    if (y < 1900 || mo < 1 || mo > 12 || d < 1)
        return ""
    var daysInMonth = new Date(y, mo, 0).getDate()
    if (d > daysInMonth)
        return ""
    return m[1] + "-" + (mo < 10 ? "0" : "") + mo + "-" + (d < 10 ? "0" : "") + d
}

// Why `text` is not a usable date, or "" when it is.
function problem(text) {
    var s = latinDigits(text)
    if (s === "")
        return "أدخل التاريخ"
    if (!/^\d{4}-\d{1,2}-\d{1,2}$/.test(s))
        return "الصيغة yyyy-MM-dd"
    if (normalized(s) === "")
        return "تاريخ غير موجود"
    return ""
}

function today() {
    return Qt.formatDate(new Date(), "yyyy-MM-dd")
}
