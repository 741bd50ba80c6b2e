#pragma once

// The captioned boxes of one record and how they are laid out, shared by the form view and
// the record editor. Widgets only: it reads no data and says nothing.

#include <QList>
#include <QSize>
#include <QString>
#include <QWidget>

class QFont;
class QGroupBox;
class QLabel;
class QLineEdit;

// The surface the rows stand on. A screen reader meets only its captions and boxes: the
// hidden templates and the frames, which only draw, are left out of what it reads.
class cFieldSurface : public QWidget {
    Q_OBJECT
public:
    explicit cFieldSurface(QWidget* parent = nullptr);
};

// The captioned boxes of one record, a row a column, as the main window's form view and
// the record editor show them. Element 0 of each array is the hidden template the others
// copy their colours from; element i belongs to column i.
class cFieldRows {
public:
    QList<QLabel*> Label;
    QList<QGroupBox*> Frame;
    QList<QLineEdit*> Text;

    // The templates, hidden, on surface.
    void CreateTemplates(QWidget* surface, QLineEdit* box);
    // Adds the row of caption with box (made by the caller, parented to surface); the box is
    // named by the caption for a screen reader and follows the previous box in Tab order.
    void AddRow(QWidget* surface, const QString& caption, QLineEdit* box, const QFont& font);
    // Removes rows 1 … n.
    void Clear();
    int Count() const { return int(Text.size()) - 1; }

    // 75-twip margins and gaps; each row as high as the taller of a caption and a box, both
    // centred in it; every box 150 twips right of the widest caption and 75 twips from the
    // right edge of width. A width too narrow for a box leaves the boxes where they were.
    // Returns the width and height the rows need.
    QSize Layout(int width) const;
};
