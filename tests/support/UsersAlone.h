#pragma once

#include <QString>

#ifdef Q_OS_WIN
// True when the file or folder's access list is the user's alone: one entry,
// allowing the user who runs the test, and nothing taken in from above.
bool isUsersAlone(const QString &path);
#endif
