.pragma library

// Reading what office staff type. Digits may come as Arabic-Indic (٠١٢…) or
// Eastern Arabic-Indic (۰۱۲…), the decimal point as "." or "٫", and thousands
// may be grouped with ",", "٬" or spaces. Every check answers with the Arabic
// sentence to show under the field, or "" when the text is acceptable.

function normalize(text) {
    var s = (text === undefined || text === null) ? "" : String(text).trim()
    var out = ""
    for (var i = 0; i < s.length; ++i) {
        var c = s.charCodeAt(i)
        if (c >= 0x0660 && c <= 0x0669)
            out += String.fromCharCode(48 + c - 0x0660)
        else if (c >= 0x06F0 && c <= 0x06F9)
            out += String.fromCharCode(48 + c - 0x06F0)
        else if (c === 0x066B) // ٫ Arabic decimal separator
            out += "."
        else if (c === 0x066C || c === 0x00A0 || c === 0x202F || c === 0x20) // ٬ and spaces
            out += ","
        else
            out += s[i]
    }
    return out
}

// The number typed, or NaN. Separators must group whole thousands, so that
// "1,5" (a decimal comma) is not silently read as fifteen.
function number(text) {
    var s = normalize(text)
    if (!/^[+-]?(\d{1,3}(,\d{3})+|\d+)(\.\d+)?$/.test(s) && !/^[+-]?\.\d+$/.test(s))
        return NaN
    return Number(s.replace(/,/g, ""))
}

function integer(text) {
    var n = number(text)
    return Number.isInteger(n) ? n : NaN
}

function pad(n, width) {
    var s = String(n)
    while (s.length < width)
        s = "0" + s
    return s
}

// The text as a real calendar date "yyyy-MM-dd", or "" when it is not one.
function date(text) {
    var m = /^(\d{4})-(\d{1,2})-(\d{1,2})$/.exec(normalize(text))
    if (!m)
        return ""
    var y = Number(m[1]), mo = Number(m[2]), d = Number(m[3])
    var probe = new Date(y, mo - 1, d)
    if (probe.getFullYear() !== y || probe.getMonth() !== mo - 1 || probe.getDate() !== d)
        return ""
    return pad(y, 4) + "-" + pad(mo, 2) + "-" + pad(d, 2)
}

// The text as a period "yyyy-MM", or "".
function period(text) {
    var m = /^(\d{4})-(\d{1,2})$/.exec(normalize(text))
    if (!m || Number(m[2]) < 1 || Number(m[2]) > 12)
        return ""
    return m[1] + "-" + pad(Number(m[2]), 2)
}

function today() {
    var d = new Date()
    return pad(d.getFullYear(), 4) + "-" + pad(d.getMonth() + 1, 2) + "-" + pad(d.getDate(), 2)
}

// The day `days` after today (before, when negative), "yyyy-MM-dd".
function dayFromToday(days) {
    var d = new Date()
    d.setDate(d.getDate() + days)
    return pad(d.getFullYear(), 4) + "-" + pad(d.getMonth() + 1, 2) + "-" + pad(d.getDate(), 2)
}

function thisMonth() {
    return today().substring(0, 7)
}

function requiredError(text) {
    return String(text === undefined || text === null ? "" : text).trim() === ""
            ? "هذا الحقل مطلوب" : ""
}

// An amount above zero (or zero too when allowZero is set).
function amountError(text, allowZero) {
    if (normalize(text) === "")
        return "أدخل المبلغ"
    var n = number(text)
    if (isNaN(n))
        return "أدخل رقماً صحيحاً، مثل 1,250.50"
    if (allowZero ? n < 0 : n <= 0)
        return allowZero ? "لا يقبل مبلغ سالب" : "يجب أن يكون المبلغ أكبر من صفر"
    return ""
}

// A whole number; an empty text is accepted when optional.
function integerError(text, optional) {
    if (normalize(text) === "")
        return optional ? "" : "هذا الحقل مطلوب"
    return isNaN(integer(text)) ? "أدخل عدداً صحيحاً" : ""
}

// A number that may be left empty (an area, say), never negative.
function optionalNumberError(text) {
    if (normalize(text) === "")
        return ""
    var n = number(text)
    return isNaN(n) || n < 0 ? "أدخل رقماً صحيحاً" : ""
}

function dateError(text) {
    if (normalize(text) === "")
        return "أدخل التاريخ"
    return date(text) === "" ? "أدخل تاريخاً صحيحاً بالشكل yyyy-MM-dd" : ""
}

function periodError(text) {
    if (normalize(text) === "")
        return "أدخل الفترة"
    return period(text) === "" ? "أدخل فترة صحيحة بالشكل yyyy-MM" : ""
}

// What to tell the user after a refused write: the model's own reason, or a
// general sentence when it gave none.
function refusal(model) {
    var reason = model && model.lastError ? String(model.lastError) : ""
    return reason !== "" ? reason : "تعذر إتمام العملية، لم يتم حفظ أي تغيير"
}

// A date, number or Latin word set inside an Arabic sentence keeps its own
// order ("2026-12-01 إلى 2027-11-30", not "30-11-2027"): the text is wrapped
// in a first-strong isolate.
function isolate(text) {
    return "\u2068" + (text === null || text === undefined ? "" : String(text)) + "\u2069"
}
