#pragma once

#include <QTreeWidget>

#include <optional>

// A one-column list in report view: a header with the column's text, plain text
// rows, no tree decoration and no sorting of its own, so rows stay in the order
// they were added.
class ReportList : public QTreeWidget {
    Q_OBJECT

public:
    explicit ReportList(QWidget *parent = nullptr);

    // Names the one column and sets its width in pixels.
    void setColumn(const QString &header);
    void setColumnWidth(int width) { QTreeWidget::setColumnWidth(0, width); }

    // Adds a row at the end. A list without a selected row makes its first row
    // the selected one; the selection otherwise stays where the user put it.
    QTreeWidgetItem *addRow(const QString &text);
    // The text of the selected row; an empty optional when no row is selected.
    std::optional<QString> selectedText() const;

signals:
    // The user chose a row: the selected row moved by any mouse gesture (a
    // press, a drag, a right click) or key, or a click on the selected row.
    // Rows chosen in code send nothing.
    void chosen();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Runs the list's own handling of an event and sends chosen() when it moved the selected row.
    template <typename Handle>
    void following(Handle &&handle);

    QPersistentModelIndex m_selectedAtPress; // the row selected when the mouse button went down
};
