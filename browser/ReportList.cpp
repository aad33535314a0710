#include "browser/ReportList.h"

#include <QHeaderView>
#include <QKeyEvent>

ReportList::ReportList(QWidget *parent)
    : QTreeWidget(parent)
{
    setColumnCount(1);
    setHeaderLabels({ QString() });
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setSortingEnabled(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The column keeps the width it is given; the user drags its edge to see long names.
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            emit chosen();
    });
}

void ReportList::setColumn(const QString &header)
{
    headerItem()->setText(0, header);
}

QTreeWidgetItem *ReportList::addRow(const QString &text)
{
    auto *row = new QTreeWidgetItem(this, { text });
    if (!currentItem())
        setCurrentItem(row);
    return row;
}

std::optional<QString> ReportList::selectedText() const
{
    if (const QTreeWidgetItem *row = currentItem())
        return row->text(0);
    return std::nullopt;
}

void ReportList::keyPressEvent(QKeyEvent *event)
{
    const QTreeWidgetItem *before = currentItem();
    QTreeWidget::keyPressEvent(event);
    if (currentItem() && currentItem() != before)
        emit chosen();
}
