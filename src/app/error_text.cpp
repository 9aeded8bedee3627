#include "app/error_text.h"

#include "core/native_error.h"

namespace sayloom {

QString warningText(const std::exception& error) { return QString::fromStdString(errorDescription(error)); }

QString currentExceptionText() {
  try {
    throw;
  } catch (const std::exception& error) {
    return warningText(error);
  } catch (...) {
    return QStringLiteral("Unknown error");
  }
}

}  // namespace sayloom
