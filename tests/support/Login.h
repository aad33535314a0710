#pragma once

#include "connection/LoginFields.h"

class Form1;

// Stores the fields as the login window remembers them between runs.
void rememberLogin(const LoginFields &fields);
// Puts the fields into the login window's boxes.
void enterLogin(Form1 *window, const LoginFields &fields);
