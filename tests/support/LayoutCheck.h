#pragma once

#include <QStringList>

class QWidget;

// What a user would see wrong in a window's layout, one line each: a control
// that reaches out of the window or frame that holds it, two controls that
// overlap, a caption or label cut short. Empty when nothing is.
QStringList layoutProblems(const QWidget *window);
