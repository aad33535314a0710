#include "common/ErrorReport.h"

#include "common/BuildConfig.h"
#include "platform/MessageBoxes.h"

namespace ErrorReport {

QString compose(const QString &description, const QString &location, int line)
{
    return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") + QString::number(line)
        + QStringLiteral("\r\r") + QStringLiteral("Please email screenshot of this message to ")
        + QString::fromUtf8(BuildConfig::SupportAddress);
}

void show(const QString &description, const QString &location, int line, QWidget *parent)
{
    MessageBoxes::instance().inform(parent, compose(description, location, line), Title, MessageBoxes::Icon::Warning);
}

} // namespace ErrorReport
