#include "app/state/ApplicationId.h"

namespace tarn {

QString applicationId() { return QStringLiteral(TARN_APP_ID); }

}  // namespace tarn
