// SPDX-License-Identifier: MIT
#pragma once

#include <QLabel>
#include <QString>

namespace main_window
{

/// A label that always shows its caption as plain text (names come from users, so markup is
/// never interpreted) and keeps a free tag text (the record label keeps its best rpm there).
/// A caption wider than the label is drawn in a smaller font rather than cut off.
class TagLabel : public QLabel
{
    Q_OBJECT
public:
    explicit TagLabel(QWidget *parent = nullptr);

    QString tag() const { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag; }

    void setBold(bool bold);
    bool bold() const { return font().bold(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_tag;
};

} // namespace main_window
