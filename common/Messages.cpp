#include "common/Messages.h"

#include "common/AppTitle.h"
#include "platform/MessageBoxes.h"

#include <QLocale>

namespace Messages {

void show(QWidget *parent, const QString &text, const QString &details)
{
    MessageBoxes::instance().inform(parent, text, AppTitle::text(), MessageBoxes::Icon::None, details);
}

QString visibleText(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if (unit < 0x20)
            shown += QChar(0x2400 + unit);
        else if (unit == 0x7f)
            shown += QChar(0x2421);
        else if ((unit >= 0x80 && unit < 0xa0) || unit == 0x2028 || unit == 0x2029)
            shown += QStringLiteral("<U+%1>").arg(int(unit), 4, 16, QLatin1Char('0')).toUpper();
        else
            shown += c;
    }
    return shown;
}

QString number(qint64 count)
{
    QLocale locale = QLocale::system();
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString(count);
}

QString counted(qint64 count, const QString &singular, const QString &plural)
{
    return number(count) + QLatin1Char(' ') + (count == 1 ? singular : plural);
}

} // namespace Messages
