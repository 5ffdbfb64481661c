#pragma once

class QCoreApplication;

// Loads the toolkit's own Spanish texts (file dialogs, the print dialog, standard buttons),
// with the program's own Spanish for the few the system's catalogue leaves in English,
// so that no dialog of this Spanish program speaks English. Returns false when the
// system has no Spanish translation of the toolkit.
bool InstallSpanishToolkitTexts(QCoreApplication& app);
