#include "changeoptions/PreviewListConversion.h"

#include <QTreeWidget>

void PreviewListConversion::convert(QTreeWidget *list, Case::Mode mode, const WordRules *wordRules)
{
    const int count = list->topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem *item = list->topLevelItem(i);
        item->setText(
            0, wordRules ? wordRules->convert(mode, item->text(0)) : Case::convertForStorage(mode, item->text(0)));
    }
}
