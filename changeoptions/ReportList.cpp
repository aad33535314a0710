#include "changeoptions/ReportList.h"

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
    // A click that moved the selection has sent chosen() already; one on the
    // row that was selected chooses it again.
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex &index) {
        if (index.isValid() && m_selectedAtPress.isValid() && currentIndex() == m_selectedAtPress)
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

template <typename Handle>
void ReportList::following(Handle &&handle)
{
    const QPersistentModelIndex before = currentIndex();
    handle();
    if (currentIndex().isValid() && currentIndex() != before)
        emit chosen();
}

void ReportList::mousePressEvent(QMouseEvent *event)
{
    m_selectedAtPress = currentIndex();
    following([&] { QTreeWidget::mousePressEvent(event); });
}

void ReportList::mouseMoveEvent(QMouseEvent *event)
{
    following([&] { QTreeWidget::mouseMoveEvent(event); });
}

void ReportList::mouseReleaseEvent(QMouseEvent *event)
{
    following([&] { QTreeWidget::mouseReleaseEvent(event); });
}

void ReportList::keyPressEvent(QKeyEvent *event)
{
    following([&] { QTreeWidget::keyPressEvent(event); });
}
