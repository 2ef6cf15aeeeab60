#pragma once

#include <string>

// The folder that holds Option.ini, Client.db and the daily logs: `home` when given (--home),
// else $HALVANE_HOME, else the folder of the running executable. Returned without a trailing
// separator, made absolute.
std::string ProgramFolder(const std::string& home = {});
