#pragma once
// Module start-up and finalisation: the units' initialisations in their fixed order, the
// registries first, and the finalisations in reverse. Nested calls are counted, so only the
// outermost pair does the work.

void InitializeModules();
void FinalizeModules();
