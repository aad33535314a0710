#pragma once

#include <QString>

class QWidget;

// The common error report: one modal warning box naming the failure, the
// handler and the line, with a request to send a screenshot to support.
namespace ErrorReport {

// Location texts of the seven reporting handlers.
inline const QString LoginWindowLoad = QStringLiteral("in Quorvel2021/08/31.Form1.Form_Load ");
inline const QString LoginNext = QStringLiteral("in Quorvel2021/08/31.Form1.PushButton3_Click ");
inline const QString LoginHelp = QStringLiteral("in Quorvel2021/08/31.Form1.PushButton4_Click ");
inline const QString LoginTestConnection = QStringLiteral("in Quorvel2021/08/31.Form1.PushButton5_Click ");
inline const QString ChangeOptionsLoad = QStringLiteral("in Quorvel2021/08/31.Form2.Form_Load ");
inline const QString ChangeOptionsStartChanging = QStringLiteral("in Quorvel2021/08/31.Form2.PushButton1_Click ");
inline const QString ChangeOptionsSwitchDatabase = QStringLiteral("in Quorvel2021/08/31.Form2.PushButton5_Click ");
// The two list handlers of the change options window report in the same form.
inline const QString ChangeOptionsTableChosen = QStringLiteral("in Quorvel2021/08/31.Form2.ListView1_Click ");
inline const QString ChangeOptionsFieldChosen = QStringLiteral("in Quorvel2021/08/31.Form2.ListView2_Click ");

inline const QString Title = QStringLiteral("Application Error");

// The message text, exactly: description, CR LF, location, "at line ", the
// number, CR CR, the request with the support address.
QString compose(const QString &description, const QString &location, int line);

// Shows the report and returns when the user has pressed OK.
void show(const QString &description, const QString &location, int line, QWidget *parent = nullptr);

} // namespace ErrorReport
