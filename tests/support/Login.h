#pragma once

#include "connection/LoginFields.h"

class LoginWindow;

// Stores the fields as the login window remembers them between runs.
void rememberLogin(const LoginFields &fields);
// Puts the fields into the login window's boxes.
void enterLogin(LoginWindow *window, const LoginFields &fields);
