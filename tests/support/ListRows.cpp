#include "support/ListRows.h"

#include <QTest>
#include <QTreeWidget>

QStringList rowTexts(const QTreeWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(0);
    return texts;
}

QString currentRowText(const QTreeWidget *list)
{
    return list->currentItem() ? list->currentItem()->text(0) : QStringLiteral("<none>");
}

void fillRows(QTreeWidget *list, const QStringList &texts)
{
    list->clear();
    for (const QString &text : texts)
        list->addTopLevelItem(new QTreeWidgetItem(QStringList { text }));
    if (list->topLevelItemCount())
        list->setCurrentItem(list->topLevelItem(0));
}

bool selectRow(QTreeWidget *list, const QString &text)
{
    const auto found = list->findItems(text, Qt::MatchExactly);
    if (found.isEmpty())
        return false;
    list->setCurrentItem(found.first());
    return true;
}

bool clickRow(QTreeWidget *list, const QString &text)
{
    const auto found = list->findItems(text, Qt::MatchExactly);
    if (found.isEmpty())
        return false;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
    return true;
}
