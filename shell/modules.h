// The one place that starts the modules in their order and stops them in the
// reverse order.
#pragma once

void ModulesStart();
void ModulesStop();
