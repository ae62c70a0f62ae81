#include "core/Names.h"

#include "core/Reasons.h"

namespace Names {

bool isBlank(const QString& text)
{
    for (const QChar c : text) {
        switch (c.category()) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Separator_Space:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            continue;
        default:
            // Hangul fillers and braille blank draw nothing either.
            if (c == QChar(0x3164) || c == QChar(0x115F) || c == QChar(0x1160) ||
                c == QChar(0xFFA0) || c == QChar(0x2800))
                continue;
            return false;
        }
    }
    return true;
}

QString problem(const QString& name)
{
    if (isBlank(name))
        return Reasons::blankName();
    if (name.trimmed().size() > kMaxLength)
        return Reasons::nameTooLong(kMaxLength);
    return {};
}

} // namespace Names
