#include "insight/ArabicWords.h"

#include "core/Money.h"

#include <QStringList>

#include <array>
#include <cstdlib>

namespace {

const std::array<const char*, 20> kUnits{
    "",          "واحد",     "اثنان",   "ثلاثة",    "أربعة",      "خمسة",     "ستة",
    "سبعة",      "ثمانية",   "تسعة",    "عشرة",     "أحد عشر",    "اثنا عشر", "ثلاثة عشر",
    "أربعة عشر", "خمسة عشر", "ستة عشر", "سبعة عشر", "ثمانية عشر", "تسعة عشر"};

const std::array<const char*, 10> kTens{"",      "",     "عشرون", "ثلاثون", "أربعون",
                                        "خمسون", "ستون", "سبعون", "ثمانون", "تسعون"};

const std::array<const char*, 10> kHundreds{"",        "مائة",   "مائتان",  "ثلاثمائة", "أربعمائة",
                                            "خمسمائة", "ستمائة", "سبعمائة", "ثمانمائة", "تسعمائة"};

// The forms of a counted noun: one, two, three to ten, eleven and more.
struct Scale
{
    qint64 size;
    const char* single;
    const char* dual;
    const char* plural;
    const char* counted;
};

const std::array<Scale, 3> kScales{{
    {1000000000LL, "مليار", "ملياران", "مليارات", "ملياراً"},
    {1000000LL, "مليون", "مليونان", "ملايين", "مليوناً"},
    {1000LL, "ألف", "ألفان", "آلاف", "ألفاً"},
}};

QString u(const char* text)
{
    return QString::fromUtf8(text);
}

// 1..999 in words.
QString belowThousand(int n)
{
    QStringList parts;
    if (n >= 100)
        parts << u(kHundreds[static_cast<size_t>(n / 100)]);
    const int rest = n % 100;
    if (rest > 0 && rest < 20) {
        parts << u(kUnits[static_cast<size_t>(rest)]);
    } else if (rest >= 20) {
        const int unit = rest % 10;
        parts << (unit > 0 ? u(kUnits[static_cast<size_t>(unit)]) + QStringLiteral(" و")
                           : QString()) +
                     u(kTens[static_cast<size_t>(rest / 10)]);
    }
    return parts.join(QStringLiteral(" و"));
}

// A count of a thousand, million or billion with the noun's right form.
QString counted(int count, const Scale& scale)
{
    if (count == 1)
        return u(scale.single);
    if (count == 2)
        return u(scale.dual);
    const int rest = count % 100;
    if (rest >= 3 && rest <= 10)
        return belowThousand(count) + QLatin1Char(' ') + u(scale.plural);
    if (rest >= 11)
        return belowThousand(count) + QLatin1Char(' ') + u(scale.counted);
    // Whole hundreds (and a hundred and one or two): the hundred stands
    // before the noun, so "مائتان" loses its last letter.
    QString words = belowThousand(count);
    if (count % 100 == 0 && count / 100 == 2)
        words = QStringLiteral("مائتا");
    return words + QLatin1Char(' ') + u(scale.single);
}

} // namespace

QString ArabicWords::number(qint64 value)
{
    quint64 rest = static_cast<quint64>(value < 0 ? -value : value);
    if (rest == 0)
        return QStringLiteral("صفر");
    QStringList parts;
    for (const Scale& scale : kScales) {
        const quint64 count = rest / static_cast<quint64>(scale.size);
        rest %= static_cast<quint64>(scale.size);
        if (count > 999) // a trillion or more: the largest scale counts on
            parts << number(static_cast<qint64>(count)) + QLatin1Char(' ') + u(scale.counted);
        else if (count > 0)
            parts << counted(static_cast<int>(count), scale);
    }
    if (rest > 0)
        parts << belowThousand(static_cast<int>(rest));
    return parts.join(QStringLiteral(" و"));
}

QString ArabicWords::amount(double value, const QString& currencyName, int decimals)
{
    const int places = Money::clampDecimals(decimals);
    qint64 scale = 1;
    for (int i = 0; i < places; ++i)
        scale *= 10;
    const qint64 minor = std::llabs(Money::toMinor(value, places));
    QString text = QStringLiteral("فقط ") + number(minor / scale);
    if (!currencyName.trimmed().isEmpty())
        text += QLatin1Char(' ') + currencyName.trimmed();
    if (minor % scale != 0)
        text +=
            QStringLiteral(" و%1/%2").arg(minor % scale, places, 10, QLatin1Char('0')).arg(scale);
    return text + QStringLiteral(" لا غير");
}
