#include "insight/PasteReader.h"

namespace {

bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

// The separator of the row starting at `from`: a tab when its first line
// has one.
QChar separatorAt(const QString& text, qsizetype from)
{
    for (qsizetype i = from; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\t'))
            return c;
        if (isLineEnd(c))
            break;
    }
    return QLatin1Char(',');
}

// Past the end of the line at `i` (LF, CR LF or CR).
qsizetype afterLineEnd(const QString& text, qsizetype i)
{
    if (text.at(i) == QLatin1Char('\r') && i + 1 < text.size() &&
        text.at(i + 1) == QLatin1Char('\n'))
        return i + 2;
    return i + 1;
}

} // namespace

PasteReader::PasteReader(const QString& text)
    : m_text(text)
{}

bool PasteReader::next(Row* row)
{
    if (m_pos >= m_text.size())
        return false;
    const qsizetype start = m_pos;
    if (!readRow(row, true)) {
        // A quote that never closes would swallow the rest of the paste;
        // such a row is read again with its quotes as ordinary characters.
        m_pos = start;
        readRow(row, false);
    }
    row->number = ++m_number;
    return true;
}

bool PasteReader::readRow(Row* row, bool quoting)
{
    const QChar separator = separatorAt(m_text, m_pos);
    row->fields.clear();
    row->tabSeparated = separator == QLatin1Char('\t');
    row->blank = true;
    row->cellTooLong = false;

    QString field;
    bool quoted = false;
    bool fieldHasText = false; // anything but white space before a quote
    const auto keep = [&](QChar c) {
        if (field.size() < cellLimit)
            field += c;
        else
            row->cellTooLong = true;
        if (!c.isSpace())
            row->blank = false;
    };
    const qsizetype size = m_text.size();
    qsizetype i = m_pos;
    while (i < size) {
        const QChar c = m_text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < size && m_text.at(i + 1) == QLatin1Char('"')) {
                    keep(c);
                    i += 2;
                    continue;
                }
                quoted = false;
            } else if (c == QLatin1Char('\r') && i + 1 < size &&
                       m_text.at(i + 1) == QLatin1Char('\n')) {
                // A line break inside a cell is kept as one LF.
                keep(QLatin1Char('\n'));
                ++i;
            } else {
                keep(c);
            }
            ++i;
            continue;
        }
        if (isLineEnd(c)) {
            i = afterLineEnd(m_text, i);
            break;
        }
        if (c == separator) {
            row->fields << field;
            field.clear();
            fieldHasText = false;
        } else if (quoting && c == QLatin1Char('"') && !fieldHasText) {
            // A quote opens a quoted cell only at its start (after blanks);
            // elsewhere it is an ordinary character (5" pipe).
            field.clear();
            quoted = true;
            row->blank = false;
        } else {
            keep(c);
            if (!c.isSpace())
                fieldHasText = true;
        }
        ++i;
    }
    if (quoted)
        return false;
    row->fields << field;
    m_pos = i;
    return true;
}

int PasteReader::countRows(const QString& text)
{
    // The same rules as next(), without building any field; written over the
    // raw characters, as it runs over the whole of a large paste.
    const char16_t* p = reinterpret_cast<const char16_t*>(text.constData());
    const qsizetype size = text.size();
    const auto lineEnd = [](char16_t c) { return c == u'\n' || c == u'\r'; };
    const auto space = [](char16_t c) {
        return c == u' ' || (c >= u'\t' && c <= u'\r') || (c > 0x7F && QChar::isSpace(c));
    };
    const auto afterEnd = [&](qsizetype i) {
        return p[i] == u'\r' && i + 1 < size && p[i + 1] == u'\n' ? i + 2 : i + 1;
    };
    int rows = 0;
    qsizetype i = 0;
    while (i < size) {
        char16_t separator = u',';
        for (qsizetype j = i; j < size && !lineEnd(p[j]); ++j) {
            if (p[j] == u'\t') {
                separator = u'\t';
                break;
            }
        }
        const qsizetype start = i;
        bool quoted = false;
        bool fieldHasText = false;
        bool content = false;
        while (i < size) {
            const char16_t c = p[i];
            if (quoted) {
                if (c == u'"') {
                    if (i + 1 < size && p[i + 1] == u'"')
                        ++i;
                    else
                        quoted = false;
                }
                ++i;
                continue;
            }
            if (lineEnd(c)) {
                i = afterEnd(i);
                break;
            }
            if (c == separator) {
                fieldHasText = false;
            } else if (!fieldHasText) {
                if (c == u'"') {
                    quoted = true;
                    content = true;
                } else if (!space(c)) {
                    fieldHasText = true;
                    content = true;
                }
            }
            ++i;
        }
        if (quoted) {
            // As in next(): an unclosed quote ends at its own line.
            i = start;
            content = false;
            while (i < size && !lineEnd(p[i])) {
                if (!space(p[i]))
                    content = true;
                ++i;
            }
            if (i < size)
                i = afterEnd(i);
        }
        if (content)
            ++rows;
    }
    return rows;
}

bool PasteReader::hasContent(const QString& text)
{
    for (const QChar c : text) {
        if (!c.isSpace())
            return true;
    }
    return false;
}

QString PasteReader::asciiDigits(const QString& text)
{
    QString out = text;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u >= 0x0660 && u <= 0x0669)
            c = QChar(u'0' + (u - 0x0660));
        else if (u >= 0x06F0 && u <= 0x06F9)
            c = QChar(u'0' + (u - 0x06F0));
        else if (u == 0x066B)
            c = QLatin1Char('.');
        else if (u == 0x066C)
            c = QLatin1Char(',');
    }
    return out;
}
