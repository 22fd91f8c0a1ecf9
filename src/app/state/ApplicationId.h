#pragma once

#include <QString>

namespace tarn {

// The program's application ID, in reverse-domain form: the name of its installed
// desktop entry and icon, its windows' class, and the desktop entry its
// notifications name. The build sets it in one place (TARN_APP_ID).
QString applicationId();

}  // namespace tarn
