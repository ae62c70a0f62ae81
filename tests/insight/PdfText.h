#pragma once

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <algorithm>

// A printed PDF read back the way a reader's tools see it, through
// poppler's command-line tools: its pages, its text, and each word with its
// place on the page.
namespace PdfText {

struct Word
{
    QString text;
    double xMin = 0;
    double xMax = 0;
    double yMin = 0;
    double yMax = 0;
    int page = 0;
    // The middle of the word's height: letters of different fonts on one
    // baseline have different boxes but nearly the same middle.
    double middle() const { return (yMin + yMax) / 2; }
};

inline QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

inline int pages(const QString& pdf)
{
    static const QRegularExpression line(QStringLiteral("Pages:\\s+(\\d+)"));
    return line.match(run(QStringLiteral("pdfinfo"), {pdf})).captured(1).toInt();
}

// Arabic presentation forms folded to their letters, bidi controls dropped.
inline QString folded(const QString& text)
{
    QString out = text.normalized(QString::NormalizationForm_KC);
    static const QRegularExpression controls(
        QStringLiteral("[\\x{200E}\\x{200F}\\x{202A}-\\x{202E}\\x{2066}-\\x{2069}]"));
    return out.remove(controls);
}

// The whole text, pages apart by form feeds; `option` as pdftotext takes it.
inline QString text(const QString& pdf, const QString& option = QStringLiteral("-layout"))
{
    return run(QStringLiteral("pdftotext"), {option, pdf, QStringLiteral("-")});
}

inline QList<Word> words(const QString& pdf)
{
    const QString xml =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    static const QRegularExpression item(
        QStringLiteral("<page |<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                       "yMax=\"([\\d.]+)\">([^<]*)</word>"));
    QList<Word> found;
    int page = 0;
    for (auto it = item.globalMatch(xml); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(0).startsWith(QLatin1String("<page"))) {
            ++page;
            continue;
        }
        Word word;
        word.xMin = m.captured(1).toDouble();
        word.yMin = m.captured(2).toDouble();
        word.xMax = m.captured(3).toDouble();
        word.yMax = m.captured(4).toDouble();
        word.text = m.captured(5)
                        .replace(QLatin1String("&amp;"), QLatin1String("&"))
                        .replace(QLatin1String("&lt;"), QLatin1String("<"))
                        .replace(QLatin1String("&gt;"), QLatin1String(">"))
                        .replace(QLatin1String("&quot;"), QLatin1String("\""));
        word.page = page;
        found << word;
    }
    return found;
}

inline bool isLatinOrDigit(const QString& text)
{
    static const QRegularExpression ltr(QStringLiteral("[0-9A-Za-z]"));
    return text.contains(ltr);
}

// Every printed line in reading order: the words of one baseline from the
// right edge to the left. The writer places each Arabic letter on its own,
// so letters that touch are joined back into their word (and folded to base
// letters); numbers and Latin words come whole.
inline QList<QStringList> linesRightToLeft(const QList<Word>& all)
{
    QList<QList<Word>> lines;
    for (const Word& word : all) {
        auto line = std::find_if(lines.begin(), lines.end(), [&](const QList<Word>& l) {
            return l.first().page == word.page && std::abs(l.first().middle() - word.middle()) < 3;
        });
        if (line == lines.end())
            lines.append(QList<Word>{word});
        else
            line->append(word);
    }
    QList<QStringList> read;
    for (QList<Word> line : lines) {
        std::sort(line.begin(), line.end(),
                  [](const Word& a, const Word& b) { return a.xMax > b.xMax; });
        QStringList tokens;
        double left = 1e9;
        bool joinable = false;
        for (const Word& word : std::as_const(line)) {
            const bool arabic = !isLatinOrDigit(word.text);
            if (arabic && joinable && left - word.xMax < 1.0)
                tokens.last() += folded(word.text);
            else
                tokens << folded(word.text);
            joinable = arabic;
            left = word.xMin;
        }
        read << tokens;
    }
    return read;
}

// The line holding `token` (folded), in reading order; empty when none.
inline QStringList lineWith(const QList<QStringList>& lines, const QString& token)
{
    for (const QStringList& line : lines) {
        if (line.contains(token))
            return line;
    }
    return {};
}

// PNG pages of `pdf` named `stem`-N.png in `dir` (at 70 dpi), for looking at.
inline QStringList toPng(const QString& pdf, const QString& dir, const QString& stem)
{
    QDir().mkpath(dir);
    run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("70"),
                                     QStringLiteral("-png"), pdf, dir + QLatin1Char('/') + stem});
    QStringList written;
    for (const QFileInfo& file :
         QDir(dir).entryInfoList({stem + QStringLiteral("-*.png")}, QDir::Files, QDir::Name))
        written << file.filePath();
    return written;
}

} // namespace PdfText
