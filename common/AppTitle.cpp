#include "common/AppTitle.h"

#include "common/BuildConfig.h"

#include <QCoreApplication>

namespace AppTitle {

namespace {
QString applicationTitle;
constexpr qsizetype LongestTitle = 40;
} // namespace

QString titleFor(const QString &productTitle)
{
    QString title = productTitle;
    while (title.size() > LongestTitle) {
        const qsizetype lastBlank = title.lastIndexOf(QLatin1Char(' '));
        // A title with no blank left cannot lose a whole word: cut it at the limit.
        title = lastBlank >= 0 ? title.left(lastBlank) : title.left(LongestTitle);
    }
    return title;
}

void set()
{
    applicationTitle = titleFor(QString::fromUtf8(BuildConfig::ProductTitle));
    QCoreApplication::setApplicationName(applicationTitle);
}

QString text()
{
    return applicationTitle.isEmpty() ? QString::fromUtf8(BuildConfig::ProductTitle) : applicationTitle;
}

} // namespace AppTitle
