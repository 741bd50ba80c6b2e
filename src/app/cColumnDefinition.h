#pragma once
// One column's stored settings as plain values; cSetting reads and writes them, no widgets here.
#include <QString>

// How one field of the record source is shown as a column.
class cColumnDefinition {
public:
    const QString& Caption() const { return m_caption; }
    void setCaption(const QString& value) { m_caption = value; }
    // "Show" when the column is shown, empty when hidden.
    const QString& Visible() const { return m_visible; }
    void setVisible(const QString& value) { m_visible = value; }
    const QString& FieldName() const { return m_fieldName; }
    void setFieldName(const QString& value) { m_fieldName = value; }
    // "Auto", "n%" of the window's inner width, or twips.
    const QString& Width() const { return m_width; }
    void setWidth(const QString& value) { m_width = value; }
    const QString& Action() const { return m_action; }
    void setAction(const QString& value) { m_action = value; }
    const QString& Format() const { return m_format; }
    void setFormat(const QString& value) { m_format = value; }

    bool operator==(const cColumnDefinition&) const = default;

private:
    QString m_caption;
    QString m_visible;
    QString m_fieldName;
    QString m_width;
    QString m_action;
    QString m_format;
};
