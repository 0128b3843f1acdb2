// SPDX-License-Identifier: MIT
#include "results/plain_text.h"

namespace results
{

namespace
{

    constexpr char16_t kReplacement = 0xFFFD;

    // Copies only when something has to change: names are nearly always fine.
    template <typename Bad> QString replaced(const QString &text, Bad bad)
    {
        QString out;
        bool changed = false;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const qsizetype pair = bad(text, i);
            if (pair == 0) {
                if (changed) {
                    out.append(text[i]);
                }
                continue;
            }
            if (pair > 0) {
                if (changed) {
                    out.append(text.mid(i, pair));
                }
                i += pair - 1;
                continue;
            }
            if (!changed) {
                changed = true;
                out.reserve(text.size());
                out.append(text.left(i));
            }
            out.append(QChar(kReplacement));
        }
        return changed ? out : text;
    }

    // 2: a surrogate pair starts at i; -1: a character to replace; 0: one to keep.
    qsizetype surrogate(const QString &text, qsizetype i)
    {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            return 2;
        }
        return c.isSurrogate() ? -1 : 0;
    }

} // namespace

QString WellFormed(const QString &text) { return replaced(text, surrogate); }

QString WithoutControls(const QString &text)
{
    return replaced(text, [](const QString &t, qsizetype i) -> qsizetype {
        const char16_t c = t[i].unicode();
        if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0x7F) {
            return -1;
        }
        return surrogate(t, i);
    });
}

} // namespace results
