#include "burstrecord.h"

#include <QDebug>

#include <algorithm>

namespace BurstRecord {

namespace {

const QLatin1String kEndWord("END");
const QString kEndRecord = QStringLiteral("END\r\n");
const QLatin1String kResponseWord("Response");
const QLatin1String kDateWord("Date");
const QLatin1String kValueSeparator("__");
const QLatin1String kLineEnd("\r\n");
constexpr QChar kValueMark = QLatin1Char('=');

// A stretch of the line, by position: the line is read in place, so that a
// million lines do not make millions of temporary strings.
struct Span
{
    int from = 0;
    int to = 0;
    int size() const { return to - from; }
};

// What decoding needs of a line, gathered in one pass over it: which of the
// three words it holds, and its second and third parts (between the first
// three "&", or the last "&" and the line's end).
struct Scan
{
    bool end = false;
    bool response = false;
    bool date = false;
    int separators = 0;
    Span parts[2];
};

bool wordAt(const QChar *text, int size, int at, QLatin1String word)
{
    if (size - at < word.size())
        return false;
    return std::equal(word.begin(), word.end(), text + at,
                      [](char letter, QChar c) { return c == QLatin1Char(letter); });
}

Scan scan(const QString &line)
{
    Scan found;
    const QChar *text = line.constData();
    const int size = line.size();
    for (int at = 0; at < size && !found.end; ++at) {
        switch (text[at].unicode()) {
        case 'E':
            found.end = wordAt(text, size, at, kEndWord);
            break;
        case 'R':
            found.response = found.response || wordAt(text, size, at, kResponseWord);
            break;
        case 'D':
            found.date = found.date || wordAt(text, size, at, kDateWord);
            break;
        case '&':
            // The first "&" opens the second part; each of the next two ends a part.
            if (found.separators < 3) {
                if (found.separators > 0)
                    found.parts[found.separators - 1].to = at;
                if (found.separators < 2)
                    found.parts[found.separators] = {at + 1, size};
                ++found.separators;
            }
            break;
        default:
            break;
        }
    }
    return found;
}

// The text between the first "=" of a part and the next "=" (or the end of the
// part). False when the part has no "=" at all.
bool valueOf(const QChar *text, const Span &part, Span &value)
{
    const QChar *mark = std::find(text + part.from, text + part.to, kValueMark);
    if (mark == text + part.to)
        return false;
    value.from = int(mark - text) + 1;
    value.to = int(std::find(mark + 1, text + part.to, kValueMark) - text);
    return true;
}

QChar *append(QChar *out, const QChar *text, const Span &span)
{
    return std::copy(text + span.from, text + span.to, out);
}

QChar *append(QChar *out, QLatin1String latin)
{
    return std::transform(latin.begin(), latin.end(), out, [](char c) { return QLatin1Char(c); });
}

} // namespace

QString decode(const QString &line)
{
    QString record;
    decode(line, record);
    return record;
}

void decode(const QString &line, QString &record)
{
    const Scan found = scan(line);
    // The station closes its dump with a line holding this word; it is forwarded
    // as a record of its own so the platform sees where the burst ended.
    if (found.end) {
        record = kEndRecord;
        return;
    }

    // The field names are only checked for presence; the values are taken by
    // position, which is how the station lays its lines out.
    if (!found.response || !found.date) {
        qDebug("Exception : no response and date fields");
        record.clear();
        return;
    }

    const QChar *text = line.constData();
    Span response;
    Span date;
    if (found.separators < 2 || !valueOf(text, found.parts[0], response)
        || !valueOf(text, found.parts[1], date)) {
        qDebug("Exception");
        record.clear();
        return;
    }

    const bool dateHasLineEnd = QStringView(line).mid(date.from, date.size()).endsWith(kLineEnd);
    record.resize(response.size() + kValueSeparator.size() + date.size()
                  + (dateHasLineEnd ? 0 : kLineEnd.size()));
    QChar *out = append(record.data(), text, response);
    out = append(append(out, kValueSeparator), text, date);
    if (!dateHasLineEnd)
        append(out, kLineEnd);
}

} // namespace BurstRecord
