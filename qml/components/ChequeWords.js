.pragma library

// The one set of words for a cheque's status and kind, used by the cheques
// page, the reports, the instalments and the alerts alike.

function statusText(status, replaced) {
    if (status === "paid")
        return "تم الصرف"
    if (status === "bounced")
        return replaced ? "مرتجع - مستبدل" : "مرتجع"
    return "معلق"
}

function statusColor(status, replaced) {
    if (status === "paid")
        return "#22c55e"
    if (status === "bounced")
        return replaced ? "#94a3b8" : "#ef4444"
    return "#f59e0b"
}

function kindText(type) {
    return type === "issued" ? "صادر" : "وارد"
}
