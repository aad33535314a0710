#pragma once

#include "connection/LoginFields.h"

#include <QString>

// Login fields written on one line, as the tests and the benchmark against a
// TDS server take them from the environment:
//   server=HOST;port=PORT;user=NAME;database=NAME   (local=1 in place of the port)
// The password is never part of it: it comes from VANTRELL_PASSWORD.
LoginFields loginFieldsFromLine(const QString &line);
