#include "casing/PreviewListConversion.h"

#include <QTreeWidget>

void ConvertPreviewList(QTreeWidget *list, Case::Mode mode)
{
    const int count = list->topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem *item = list->topLevelItem(i);
        item->setText(0, Case::ConvertForStorage(mode, item->text(0)));
    }
}
