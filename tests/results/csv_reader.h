// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// An independent RFC 4180 reader for checking what the program writes: quoted fields may hold
// commas, doubled quotes and line breaks; records end in CRLF. Returns nothing when the text
// breaks the format (a quote inside an unquoted field, an unterminated quote, a bare LF).
inline std::optional<QList<QStringList>> ReadCsv(const QString &text)
{
    QList<QStringList> records;
    QStringList record;
    QString field;
    qsizetype i = 0;
    bool fieldStarted = false;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (!fieldStarted && c == u'"') {
            ++i;
            for (;;) {
                if (i >= text.size()) {
                    return std::nullopt;
                }
                if (text.at(i) == u'"') {
                    if (i + 1 < text.size() && text.at(i + 1) == u'"') {
                        field += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text.at(i++);
            }
            fieldStarted = true;
            if (i < text.size() && text.at(i) != u',' && text.at(i) != u'\r') {
                return std::nullopt;
            }
            continue;
        }
        if (c == u',') {
            record.append(field);
            field.clear();
            fieldStarted = false;
            ++i;
        } else if (c == u'\r') {
            if (i + 1 >= text.size() || text.at(i + 1) != u'\n') {
                return std::nullopt;
            }
            record.append(field);
            records.append(record);
            record.clear();
            field.clear();
            fieldStarted = false;
            i += 2;
        } else if (c == u'"' || c == u'\n') {
            return std::nullopt;
        } else {
            field += c;
            fieldStarted = true;
            ++i;
        }
    }
    if (fieldStarted || !record.isEmpty()) {
        return std::nullopt; // the last record lacks its CRLF
    }
    return records;
}
