#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// Pieces of the printed papers' HTML. Every value that came from the user or
// the database passes through esc() or one of the helpers built on it, so
// nothing typed can change the markup. Numbers, dates, codes and amounts are
// wrapped in a bidi isolate: inside an Arabic line they keep their own order
// ("2026-01-05" never prints as "05-01-2026"), and an amount is bound to its
// currency symbol by a no-break space, so the two never part at a line end.
namespace PrintHtml {

// A row's value under `key`, as text and as an amount.
inline QString value(const QVariantMap& row, const char* key)
{
    return row.value(QLatin1String(key)).toString();
}
inline double amountOf(const QVariantMap& row, const char* key)
{
    return row.value(QLatin1String(key)).toDouble();
}

// U+2068 FIRST STRONG ISOLATE and U+2069 POP DIRECTIONAL ISOLATE.
inline constexpr char16_t kIsolateStart = 0x2068;
inline constexpr char16_t kIsolateEnd = 0x2069;

QString esc(const QString& text);
// `text` escaped and isolated from the line around it; empty stays empty.
QString isolate(const QString& text);
// Free text (names, descriptions) escaped, with every run of digits and
// Latin letters in it isolated, so a date or a code in a sentence reads as
// typed.
QString text(const QString& value);
// "12,500.00": grouped, the currency's decimals (two unless told
// otherwise; three for the dinar), whatever the machine's locale.
QString grouped(double amount, int decimals = 2);
// An isolated, unbreakable "12,500.00 ₪"; the bare number when there is no
// symbol.
QString money(double amount, const QString& symbol, int decimals = 2);

// One table row whose first cell stands on the right: the rich-text layout
// places the cells of a row left to right whatever the direction, so they
// are written last first.
QString row(const QStringList& cells);
// A heading cell and a body cell. A kept cell never wraps (amounts, dates,
// numbers); the others wrap at word boundaries.
QString th(const QString& escaped);
QString td(const QString& escaped, bool keep = false);
// A body cell of free text (a name, a description). A short text is kept on
// one line, so its row cannot be split over two pages; a long one wraps.
QString cell(const QString& value);

// A table with its heading row repeated at the top of every page.
QString table(const QStringList& headings, const QList<QStringList>& rows,
              const QString& cssClass = QStringLiteral("grid"));

// Label and value pairs as a two-column box, label on the right.
QString figures(const QList<QPair<QString, QString>>& labelled);

// The style sheet and the opening of the body.
QString head();
QString end();

struct Company
{
    QString name;
    QString address;
    QString phone;
    QString email;
    bool logo = false;
};

// The company's name, logo and contact lines: only what is set, nothing at
// all when nothing is. `title` and `meta` (already escaped lines: number,
// dates) stand on the other side.
QString letterhead(const Company& company, const QString& title, const QStringList& meta);
// "طبع بواسطة نظام ساكانوفا", with the company's name when it has one.
QString footer(const Company& company);
// The accountant's signature line and the circle of the official stamp.
QString signatures(const QString& left = QStringLiteral("توقيع المحاسب"));

// Names of the images the renderer attaches to every document.
inline const char* const kStampImage = "sakanova:stamp";
inline const char* const kLogoImage = "sakanova:logo";

} // namespace PrintHtml
