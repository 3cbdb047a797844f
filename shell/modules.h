// The one place that starts the modules in their order and stops them in the
// reverse order, and that reports what their tables hold.
#pragma once

#include <string>

void ModulesStart();
void ModulesStop();
// Every module's table counts, then the process's heap bytes, resident bytes
// and open descriptors, as one line for the log:
// "scripts 3, threads 4, models 210, ..., heap 123, resident 456, descriptors 7".
std::string ModulesResourceLine();
