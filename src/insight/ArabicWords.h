#pragma once

#include <QString>

// Amounts written out in Arabic words, as a receipt states what was paid:
// "ألفان وخمسمائة". Whole numbers from zero up to just below a trillion; the
// counted noun (thousand, million, billion) takes the form Arabic gives it
// after each count (ألف، ألفان، ثلاثة آلاف، أحد عشر ألفاً).
class ArabicWords
{
public:
    // The whole number in words; "صفر" for zero. Negative numbers are
    // written as their size.
    static QString number(qint64 value);
    // An amount with its currency's name, the way it is written on a paper
    // that is handed out: "فقط ألفان وخمسمائة شيكل و50/100 لا غير". The
    // minor unit is given as a fraction of a hundred (of a thousand for a
    // currency kept in three decimals: a dinar's fils), and left out when
    // zero.
    static QString amount(double value, const QString& currencyName, int decimals = 2);
};
